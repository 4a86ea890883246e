// Whole polls of the W70XX, W7017 and KW7 I/O modules through the loaded plug-ins, a serial
// channel and the simulated module; rows, point states and summaries read back from SQLite.
#include "IoModules.h"
#include "ModbusHost.h"
#include "TextIoModules.h"

namespace {

class IoModulesE2e : public iotest::ModbusHost {
protected:
    // The point rows of one item (keyed by SIDD and Fld) and a name of the item's point n.
    void PointRows(int sid, int n) {
        for (int f = 1; f <= n; f++)
            db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(900,0," +
                   std::to_string(f) + "," + std::to_string(sid) + ",-1)");
    }
    void Name(int sid, int type, int fld, const std::string& sqlText) {
        db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(" + std::to_string(sid) + "," +
               std::to_string(fld) + "," + sqlText + "," + std::to_string(type) + ")");
        h->RegDb(&db, 0);
    }
    std::string Points(int sid, int from, int to) {
        std::string cols = "State";
        for (int f = from; f <= to; f++) {
            char c[24];
            snprintf(c, sizeof(c), "||'|'||D%02d", f);
            cols += c;
        }
        return db.Str("select " + cols + " from tbDio where SID=" + std::to_string(sid));
    }
    std::string States(int sid) {
        return db.Str("select group_concat(State,'') from (select State from tbSubSysDetail where SIDD=" +
                      std::to_string(sid) + " order by Fld)");
    }
    std::string Brief(int sid) {
        return Hex(db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)));
    }
    // A second point of the type at address 2, which no module answers.
    void SilentTwin(qxhost::PointItem& twin, int variant, int ext1 = 0) {
        twin.Name("P2").Port(ch->GetType() & 0xFFFF).Addr(2).Variant(variant).Ext(ext1, 0).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    }
};

TEST_F(IoModulesE2e, RelayModuleRowsStatesCommandsAndFaults) {
    if (!Start(61, 0x904, 2)) return;
    qxsim::IoModule io(1);
    io.Serve(pty);
    io.SetInputs(0x00FF);
    io.SetCoils(0x05);
    PointRows(61, 12);
    Name(61, 2308, 2, "'Pump ''north'''");

    // Input D02 and relay D09 (switched on) out of limits: the input alarms, the relay of this
    // module is no alarm.
    ASSERT_EQ(1, Poll(1 << 1 | 1 << 8, 1));
    EXPECT_EQ("1|1|1|1|1|1|1|0|0|1|0|1|0|0", Points(61, 1, 13));
    EXPECT_EQ("010000000000", States(61));
    EXPECT_EQ(Hex("Pump 'north':告警 (其他正常)"), Brief(61));
    ASSERT_EQ(1, Poll(1 << 8, 1));
    EXPECT_EQ("0|1|1", Points(61, 1, 2));
    EXPECT_EQ("000000000000", States(61));
    EXPECT_EQ(Hex("(全部正常)"), Brief(61));

    // The relays switched by the host, then read back.
    uint8_t on = 1;
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(ch, 1, 5 << 16 | 1, &on, 1));
    EXPECT_TRUE(io.Slave().Coil(1));
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x46 << 16, &on, 1));
    io.SetVendorReply(qxsim::Hex("01 46 C6 01"));
    EXPECT_EQ(0, h->DoFunc(ch, 1, 0x46 << 16, &on, 1));
    EXPECT_EQ(qxsim::Hex("01 01"), io.VendorValues());
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|1|1|1", Points(61, 9, 11));
    EXPECT_EQ(Hex("(全部正常)"), Brief(61));

    for (qxsim::Fault f : {qxsim::Fault::Exception, qxsim::Fault::Silence, qxsim::Fault::BadCheck,
                           qxsim::Fault::Short, qxsim::Fault::Garbage}) {
        pty.InjectFault(f, 1);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0|0|0", Points(61, 1, 3));
        EXPECT_EQ("222222222222", States(61));
        EXPECT_EQ(Hex("(故障),通讯中断"), Brief(61));
    }
    pty.InjectFault(qxsim::Fault::Split, 1);
    EXPECT_EQ(1, Poll());
    EXPECT_EQ("0|1|1|1", Points(61, 1, 3));

    qxhost::PointItem twin(62, 0x904);
    ASSERT_NO_FATAL_FAILURE(SilentTwin(twin, 2));
    int bits[1] = {0};
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits));
    EXPECT_EQ("2|0", Points(62, 1, 1));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|1", Points(61, 1, 1));
}

TEST_F(IoModulesE2e, AnalogModuleTemperatureBesideASilentTwin) {
    if (!Start(63, 0x90B)) return;
    qxsim::IoModule io(1);
    io.Serve(pty);
    const uint16_t regs[8] = {1000, 1000, 3, 4, 5, 40, 20000, 8};
    io.SetRegisters(regs);
    qxhost::PointItem twin(64, 0x90B);
    ASSERT_NO_FATAL_FAILURE(SilentTwin(twin, 0));
    int bits[1] = {0};
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits));
    EXPECT_EQ("0|2521|0|3|4|5|1|0|8|0", Points(63, 1, 9));
    EXPECT_EQ("2|0|0", Points(64, 1, 2));
    EXPECT_EQ(1, hist.Int("select count(*) from tbDio where SID=63 and D01=2521"));
}

TEST_F(IoModulesE2e, Kw7RowsRelaysAndMalformedReplies) {
    if (!Start(65, 0x907, 1)) return;
    qxsim::Kw7Module kw7(1);
    kw7.Serve(pty);
    kw7.SetLayout(4, 2);
    kw7.SetPoints(0x03FF, 0x15);
    PointRows(65, 16);
    Name(0, 2311, 10, "'Door ''1'''");

    // Input D10 and relay D11 (closed) out of limits: the input alarms, the relay of this
    // layout (10 inputs, 6 relays) is no alarm.
    ASSERT_EQ(1, Poll(1 << 9 | 1 << 10, 1));
    EXPECT_EQ("1|1|1|1|0|1|0", Points(65, 9, 14));
    EXPECT_EQ(0, db.Int("select Dio from tbDio where SID=65"));
    EXPECT_EQ("0000000001000000", States(65));
    EXPECT_EQ(Hex("Door '1':告警 (其他正常)"), Brief(65));

    int on = 1;
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x70 << 16 | 9, &on, 4));
    EXPECT_EQ(0x215, kw7.Outputs());
    int v = 0x1A;
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x60 << 16, &v, 4));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|1|0|1|0", Points(65, 11, 14));

    for (auto m : {qxsim::Kw7Module::Malformed::NoBang, qxsim::Kw7Module::Malformed::NoCr,
                   qxsim::Kw7Module::Malformed::BadDigit, qxsim::Kw7Module::Malformed::Unframed}) {
        kw7.SetMalformed(m);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0|0", Points(65, 1, 2));
        EXPECT_EQ(Hex("(故障),通讯中断"), Brief(65));
    }
    kw7.SetMalformed(qxsim::Kw7Module::Malformed::None);

    // The address changed to 5 by the host: the old address is silent, the new one answers.
    int five = 5;
    EXPECT_EQ(1, h->DoFunc(ch, 1, 0x80 << 16, &five, 4));
    EXPECT_EQ(5, kw7.Address());
    EXPECT_EQ(0, Poll());
    qxhost::PointItem moved(66, 0x907);
    moved.Name("P3").Port(ch->GetType() & 0xFFFF).Addr(5).Variant(1).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, moved));
    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(h, moved, ch, bits));
    EXPECT_EQ("0|1", Points(66, 1, 1));
}

}  // namespace

namespace {

// The BLE scanner and a second scanner that says nothing, each on a pseudo-terminal of its own.
class BleScanners : public ::testing::Test {
protected:
    void TearDown() override {
        rig.Close();
        live.Stop();
        mute.Stop();
    }
    ISerBase* Open(qxsim::PtySim& p) {
        if (!p.Start()) return nullptr;
        return rig.Channel(p.Definition(), qxtest::E2eRig::kSerial | (p.Number() % 10));
    }
    std::string Row(int sid) {
        return db.Str("select State||'|'||Dio||'|'||D01||'|'||D02||'|'||D05||'|'||D06 from tbDio "
                      "where SID=" + std::to_string(sid));
    }
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    qxsim::PtySim live, mute;
};

TEST_F(BleScanners, TagsHeardBesideASilentScanner) {
    ASSERT_NO_FATAL_FAILURE(rig.Load());
    qxsim::BleScanner ble;
    ble.Serve(live);
    ble.SetTag("D4F51378E69E", 1023, 600);  // slot 1
    ble.SetTag("D4F51378E929", 1023, 100);  // slot 3
    ISerBase* ch = Open(live);
    ISerBase* quiet = Open(mute);
    if (!ch || !quiet) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = rig.Handler(0x90C);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem item(67, 0x90C), twin(68, 0x90C);
    item.Name("BLE").Port(ch->GetType() & 0xFFFF).Ser(ch);
    twin.Name("BLE2").Port(quiet->GetType() & 0xFFFF).Ser(quiet);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    for (int f = 1; f <= 16; f++)
        db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(900,0," + std::to_string(f) +
               ",67,-1)");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(0,2,'Rack ''7'' load',2316)");
    h->RegDb(&db, 0);

    int bits[1] = {1 << 1};
    ASSERT_EQ(1, rig.Poll(h, item, ch, bits, 1));
    EXPECT_EQ((std::vector<std::string>{"AT+IMME1", "AT+ROLE1", "AT", "AT+DISI?"}), ble.Commands());
    EXPECT_EQ("1|5|2518|1|2518|0", Row(67));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SIDD=67 and Fld=2"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SIDD=67 and Fld=1"));
    EXPECT_EQ(Hex("Rack '7' load:告警 (其他正常)"), Hex(db.Str("select Brief from tbSMBrief where SID=67")));

    // The first tag gone quiet: its points keep their row; the third's change.
    ble.ClearTags();
    ble.SetTag("D4F51378E929", 0, 900);
    bits[0] = 0;
    ASSERT_EQ(1, rig.Poll(h, item, ch, bits));
    EXPECT_EQ("AT", ble.Commands()[4]);
    EXPECT_EQ("0|4|2518|1|0|1", Row(67));
    EXPECT_EQ(2, hist.Int("select count(*) from tbDio where SID=67"));

    // A scan the module does not confirm: no reading, the fault is shown.
    ble.SetConfirm(false);
    EXPECT_EQ(0, rig.Poll(h, item, ch, bits));
    EXPECT_EQ(Hex("(故障),通讯中断"), Hex(db.Str("select Brief from tbSMBrief where SID=67")));
    EXPECT_EQ(2, hist.Int("select count(*) from tbDio where SID=67"));

    EXPECT_EQ(0, rig.Poll(h, twin, quiet, bits));
    EXPECT_EQ(Hex("(故障),通讯中断"), Hex(db.Str("select Brief from tbSMBrief where SID=68")));
    EXPECT_EQ(0, hist.Int("select count(*) from tbDio where SID=68"));
}

}  // namespace
