// Whole polls of the leak detectors through the loaded plug-ins, a serial channel and the
// simulated detector; rows read back from SQLite.
#include "IoModules.h"
#include "ModbusHost.h"

namespace {

class Leaks : public iotest::ModbusHost {
protected:
    bool StartLeak(int sid, int type, int variant, int ext1 = 0) {
        if (!Start(sid, type, variant, ext1)) return false;
        leak.Serve(pty);
        return true;
    }
    std::string Row(int sid) {
        return db.Str("select State||'|'||Kind||'|'||Status||'|'||LineRB||'|'||LineYG||'|'||Locate||'|'||"
                      "Lmd||'|'||Cable from tbLeak where SID=" + std::to_string(sid));
    }
    qxsim::LeakDetector leak{1};
};

TEST_F(Leaks, LocatingModelWritesItsCableOnceAndReportsWater) {
    if (!StartLeak(51, 0x602, 1, 300)) return;
    ASSERT_EQ(0x600, h->GetType());
    qxsim::Leak dry;
    dry.cable = 0;
    leak.Set(1, dry);

    // The first poll writes 300 into register 8, which the next read gives back (x 1.3).
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(std::vector<uint16_t>{300}, leak.LengthWrites());
    EXPECT_EQ(-300, item->Get().Ext1);
    EXPECT_EQ("0|1|0|0|0|0|0|390", Row(51));
    EXPECT_EQ(Hex("漏水状态:0 (正常)"), Hex(db.Str("select Brief from tbSMBrief where SID=51")));

    qxsim::Leak wet;
    wet.water = true;
    wet.position = 100;
    wet.cable = 300;
    wet.lmd = 4;
    leak.Set(1, wet);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(std::vector<uint16_t>{300}, leak.LengthWrites());
    EXPECT_EQ("0|1|1|0|0|130|4|390", Row(51));
    EXPECT_EQ(Hex("漏水状态:1 泄漏位置:13.0米 (报警)"),
              Hex(db.Str("select Brief from tbSMBrief where SID=51")));
    EXPECT_EQ(2, hist.Int("select count(*) from tbLeak where SID=51"));
    EXPECT_EQ(130, hist.Int("select Locate from tbLeak where SID=51 order by DID desc limit 1"));

    // Faults of the detector: the row cleared, the fault named.
    for (qxsim::Fault f : {qxsim::Fault::Exception, qxsim::Fault::Silence, qxsim::Fault::BadCheck,
                           qxsim::Fault::Short, qxsim::Fault::Garbage}) {
        pty.InjectFault(f, 1);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0|0|0|0|0|0|0", Row(51));
        EXPECT_EQ(Hex("漏水状态(故障),通讯中断"), Hex(db.Str("select Brief from tbSMBrief where SID=51")));
    }
    pty.InjectFault(qxsim::Fault::Split, 1);
    EXPECT_EQ(1, Poll());
    EXPECT_EQ("0|1|1|0|0|130|4|390", Row(51));
}

TEST_F(Leaks, PlainDetectorBesideASilentTwin) {
    if (!StartLeak(52, 0x600, 2)) return;
    qxsim::Leak l;
    l.state = 2;
    l.lmd = 9;
    leak.Set(2, l);
    qxhost::PointItem twin(53, 0x600);
    twin.Name("P2").Port(ch->GetType() & 0xFFFF).Addr(2).Variant(2).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    int bits[1] = {0};
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits));
    // State 2 of the detector: a wire fault, stored corrected.
    EXPECT_EQ("0|0|1|1|1|0|0|0", Row(52));
    EXPECT_EQ("2|0|0|0|0|0|0|0", Row(53));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=52"));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=53"));

    // A register write of the host goes to the detector and is echoed.
    uint16_t value = 77;
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(ch, 1, 6 << 16 | 0x1000, &value, 2));
    EXPECT_EQ(77, leak.Slave().Holding(0x1000));
    h->DoItem(twin, 0);
    EXPECT_EQ(0, h->DoFunc(ch, 2, 6 << 16 | 0x1000, &value, 2));
}

}  // namespace
