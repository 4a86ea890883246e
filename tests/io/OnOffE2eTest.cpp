// Whole polls of the switch-input module through the loaded plug-ins, a serial channel and the
// simulated Modbus module; rows read back from SQLite.
#include "ModbusHost.h"

namespace {

using Switches = iotest::ModbusHost;

TEST_F(Switches, InputsSummaryAndHourlyHistory) {
    if (!Start(41, 0x203)) return;  // any code of the category
    ASSERT_EQ(0x200, h->GetType());
    EXPECT_EQ("QX-PD220-6 QX-PD220-6", db.Str("select Name from tbSMType where Type=512"));
    const uint8_t inputs[6] = {0, 1, 0, 0, 0, 0xFF};
    qxsim::SetOnOff(slave, inputs);

    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|0|1|0|0|0|255",
              db.Str("select State||'|'||sd1||'|'||sd2||'|'||sd3||'|'||sd4||'|'||sd5||'|'||sd6 "
                     "from tbOnoff where SID=41"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(Hex("正常,断开,正常,正常,正常,断开"),
              Hex(db.Str("select Brief from tbSMBrief where SID=41")));

    // Normal again ten minutes later (by the row's age): no second row. An alarm always
    // adds one; a normal state an hour after the newest row adds one too.
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(1, hist.Int("select count(*) from tbOnoff where SID=41"));
    ASSERT_EQ(1, Poll(0, 1));
    EXPECT_EQ(2, hist.Int("select count(*) from tbOnoff where SID=41"));
    hist.Run("update tbOnoff set DateUpd=datetime('now','localtime','-61 minutes')");
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(3, hist.Int("select count(*) from tbOnoff where SID=41"));

    // A fault of the module: the row is cleared and the summary names the lost link.
    for (qxsim::ModbusFault f : {qxsim::ModbusFault::Exception, qxsim::ModbusFault::Silence,
                                 qxsim::ModbusFault::BadCrc, qxsim::ModbusFault::Short}) {
        slave.FaultOnce(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0|0", db.Str("select State||'|'||sd2||'|'||sd6 from tbOnoff where SID=41"));
        EXPECT_EQ(Hex("通讯中断"), Hex(db.Str("select Brief from tbSMBrief where SID=41")));
    }
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|1", db.Str("select State||'|'||sd2 from tbOnoff where SID=41"));
}

TEST_F(Switches, SilentTwinBesideAnsweringPoint) {
    if (!Start(42, 0x200)) return;
    const uint8_t inputs[6] = {1, 0, 0, 0, 0, 0};
    qxsim::SetOnOff(slave, inputs);
    qxhost::PointItem twin(43, 0x200);
    twin.Name("P2").Port(ch->GetType() & 0xFFFF).Addr(2).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    int bits[1] = {0};
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|1", db.Str("select State||'|'||sd1 from tbOnoff where SID=42"));
    EXPECT_EQ("2|0", db.Str("select State||'|'||sd1 from tbOnoff where SID=43"));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=43"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=42"));
}

}  // namespace
