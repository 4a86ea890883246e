// Whole polls of the Modbus precision and in-row air-conditioners as a host makes them: both
// plug-ins loaded with dlopen, a serial channel on a pseudo-terminal to the simulated unit
// (unit 1, with a silent unit 2 on the same line), the host's SQLite databases; every check
// reads rows back from SQLite.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "AircModbusMaps.h"
#include "E2eRig.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

struct Case {
    const char* what;
    int type;
    int variant;
    int kind;     // tbSMType Kind
    int defs;     // tbSMDef rows
    const char* table;
    const char* columns;  // SQL expression of the stored values
    std::function<void(qxsim::ModbusSlave&)> lay;
    const char* row;      // the stored values of a poll of the unit at rest
    const char* brief;    // its summary
};

const Case kCases[] = {
    {"GI", 0x806, 0, 2048, 23, "tbLinegi", "gz23||','||gz54||','||aircstate||','||sfwd||','||hfwd||','||hfsd||','||wdset||','||sdset||','||zrset",
     [](qxsim::ModbusSlave& s) { qxsim::SetLineGi(s, qxsim::LineGi()); },
     "0,0,1,180,245,505,240,500,0", "回风温度24.5℃, 回风湿度50.5%"},
    {"GT", 0x805, 0, 2048, 12, "tbLinegt", "hfwdgz||','||flkglbj||','||aircstate||','||hfwd||','||hfsd||','||sfwd||','||sdset2",
     [](qxsim::ModbusSlave& s) { qxsim::SetLineGt(s, qxsim::LineGt()); },
     "0,0,1,240,480,180,550", "回风温度24.0℃,回风湿度48.0%"},
    {"PeX", 0x808, 0, 2048, 2, "tbPex", "unit||','||ds||','||s_fj||','||s_zl||','||s_jsq||','||s_tem||','||r_tem||','||r_hum||','||temset||','||humset",
     [](qxsim::ModbusSlave& s) { qxsim::SetPex(s, qxsim::Pex(), 0); },
     "1,3,1,1,0,180,235,450,240,500", ""},
    {"PeX variant 1", 0x808, 1, 2048, 2, "tbPex", "unit||','||ds||','||s_fj||','||s_zl||','||s_jsq||','||s_tem||','||r_tem||','||r_hum||','||temset||','||humset",
     [](qxsim::ModbusSlave& s) { qxsim::SetPex(s, qxsim::Pex(), 1); },
     "0,0,0,0,0,180,235,450,240,500", ""},
    {"Hiross", 0x80D, 0, 3584, 11, "tbCyberHiross", "r00||','||r01||','||r11||','||r12||','||R0b||','||st0||','||V07||','||s00||','||s06",
     [](qxsim::ModbusSlave& s) {
         qxsim::Hiross m;
         m.r[11] = 11, m.st[0] = 20, m.v[7] = 77;
         qxsim::SetHiross(s, m);
     },
     "1,1,235,480,11,20,77,1,0", "当前温度:23.5  当前湿度:48.0 状态:1"},
    {"Matrix", 0x80A, 0, 2048, 16, "tbMatrix", "tem||','||hum||','||settem||','||sethum||','||fj||','||ys1||','||ys2||','||lfj2gz",
     [](qxsim::ModbusSlave& s) { qxsim::SetMatrix(s, qxsim::Matrix()); },
     "235,480,240,500,1,1,0,0", ""},
    {"Station", 0x80B, 0, 2048, 6, "tbStation", "temset||','||humset||','||tem||','||hum||','||fj||','||ys1||','||ys2||','||jr1||','||gsbj",
     [](qxsim::ModbusSlave& s) { qxsim::SetStation(s, qxsim::Station(), 0); },
     "240,500,235,480,1,1,1,0,0", ""},
    {"Station variant 1", 0x80B, 1, 2048, 6, "tbStation", "temset||','||humset||','||tem||','||hum||','||fj||','||ys1||','||ys2||','||jr1||','||gsbj",
     [](qxsim::ModbusSlave& s) { qxsim::SetStation(s, qxsim::Station(), 1); },
     "240,500,235,480,1,1,1,0,0", ""},
};

// One driver's unit on a pseudo-terminal and its point (SID 81, unit 1), and a silent twin
// of the same type (SID 82, unit 2) on the same line.
struct Bench {
    explicit Bench(const Case& c) : c(c), item(81, c.type), twin(82, c.type) {}
    void Start() {
        c.lay(slave);
        qxsim::ServeModbusRtu(pty, slave);
        ASSERT_TRUE(pty.Start());
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        ch = rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | pty.Number());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(c.type);
        ASSERT_NE(nullptr, h);
        item.Name("AC-1").Port(1).Addr(1).Variant(c.variant).Ser(ch);
        twin.Name("AC-2").Port(1).Addr(2).Variant(c.variant).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    }
    ~Bench() {
        rig.Close();
        pty.Stop();
    }
    int Poll(qxhost::PointItem& p, int* bits, int wait = 0) { return rig.Poll(h, p, ch, bits, 0, wait); }
    std::string Row(TestDb& d, int sid) {
        return d.Str(std::string("select ") + c.columns + " from " + c.table + " where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) { return rig.db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)); }

    const Case& c;
    qxsim::ModbusSlave slave{1};
    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem item, twin;
};

}  // namespace

TEST(AircModbusE2e, EveryDriverStoresItsRowsBesideASilentTwin) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        Bench b(c);
        ASSERT_NO_FATAL_FAILURE(b.Start());
        TestDb& db = b.rig.db;
        const std::string type = std::to_string(c.type);
        EXPECT_EQ(c.kind, db.Int("select Kind from tbSMType where Type=" + type));
        EXPECT_EQ(c.defs, db.Int("select count(*) from tbSMDef where Type=" + type));

        int bits[2] = {0, 0};
        ASSERT_EQ(1, b.Poll(b.item, bits));
        EXPECT_EQ(c.row, b.Row(db, 81));
        EXPECT_EQ(c.row, b.Row(b.rig.hist, 81));
        EXPECT_EQ(0, db.Int("select State from " + std::string(c.table) + " where SID=81"));
        EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=81"));
        EXPECT_EQ(Hex(c.brief), Hex(b.Brief(81)));

        // The twin does not answer: its own row says so, the answering point's stays.
        EXPECT_EQ(0, b.Poll(b.twin, bits));
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=82"));
        EXPECT_EQ(2, b.rig.hist.Int("select State from " + std::string(c.table) + " where SID=82"));
        const std::string silent = b.Brief(82);
        EXPECT_EQ(Hex("空调(故障),通讯中断"), Hex(silent));
        EXPECT_EQ(std::string::npos, silent.find("正常"));
        EXPECT_EQ(c.row, b.Row(db, 81));

        // The answering point again: its values, not the twin's cleared ones.
        ASSERT_EQ(1, b.Poll(b.item, bits));
        EXPECT_EQ(c.row, b.Row(db, 81));
        EXPECT_EQ(0, db.Failures()) << db.Error();
    }
}

TEST(AircModbusE2e, FaultyRepliesFailThePollAndASplitOneIsGathered) {
    Bench b(kCases[5]);  // Matrix: two requests, both required
    ASSERT_NO_FATAL_FAILURE(b.Start());
    int bits[2] = {0, 0};
    for (qxsim::Fault f : {qxsim::Fault::BadCheck, qxsim::Fault::Exception, qxsim::Fault::Short,
                           qxsim::Fault::Garbage, qxsim::Fault::Silence}) {
        b.pty.InjectFault(f, 1);
        EXPECT_EQ(0, b.Poll(b.item, bits)) << (int)f;
        EXPECT_EQ(2, b.rig.db.Int("select State from tbSubSysDetail where SID=81")) << (int)f;
    }
    b.pty.InjectFault(qxsim::Fault::Split, 2);
    EXPECT_EQ(1, b.Poll(b.item, bits));
    EXPECT_EQ(kCases[5].row, b.Row(b.rig.db, 81));
}

TEST(AircModbusE2e, StationWaitsWithWaitZero) {
    Bench b(kCases[6]);
    ASSERT_NO_FATAL_FAILURE(b.Start());
    int bits[2] = {0, 0};
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(1, b.Poll(b.item, bits, 0));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 4 * 200) << "200 ms before each of the four replies";
}

TEST(AircModbusE2e, HirossAnsweringOnlyItsFirstBlockBesideAFullOne) {
    qxsim::ModbusSlave full(1), partial(1);
    qxsim::Hiross m;
    m.st[0] = 20, m.v[9] = 99;
    qxsim::SetHiross(full, m);
    m.r[0] = 0x0045;
    qxsim::SetHiross(partial, m);
    qxsim::PtySim p1, p2;
    qxsim::ServeHiross(p1, full, false);
    qxsim::ServeHiross(p2, partial, true);
    ASSERT_TRUE(p1.Start());
    ASSERT_TRUE(p2.Start());
    {
        qxtest::E2eRig rig;
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        ISerBase* c1 = rig.Channel(p1.Definition(), qxtest::E2eRig::kSerial | p1.Number());
        ISerBase* c2 = rig.Channel(p2.Definition(), qxtest::E2eRig::kSerial | p2.Number());
        ASSERT_TRUE(c1 && c2);
        ISMBase* h = rig.Handler(0x80D);
        qxhost::PointItem a(91, 0x80D), b(92, 0x80D);
        a.Name("H-1").Port(1).Addr(1).Ser(c1);
        b.Name("H-2").Port(2).Addr(1).Ser(c2);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, a));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, b));
        int bits[2] = {0, 0};
        const char* cols = "select r00||','||s00||','||s02||','||s06||','||st0||','||v09 from tbCyberHiross where SID=";
        ASSERT_EQ(1, rig.Poll(h, a, c1, bits));
        EXPECT_EQ("1,1,0,0,20,99", rig.db.Str(std::string(cols) + "91"));
        ASSERT_EQ(1, rig.Poll(h, b, c2, bits)) << "the first block is enough";
        EXPECT_EQ("69,1,1,1,0,0", rig.db.Str(std::string(cols) + "92")) << "never read: 0, not the other point's";
        EXPECT_EQ(Hex("当前温度:23.5  当前湿度:48.0 状态:69"),
                  Hex(rig.db.Str("select Brief from tbSMBrief where SID=92")));
        rig.Close();
    }
    p1.Stop();
    p2.Stop();
}

TEST(AircModbusE2e, AnAlarmCaptionHoldingAQuoteIsAppendedIntact) {
    Bench b(kCases[0]);  // GI
    ASSERT_NO_FATAL_FAILURE(b.Start());
    b.rig.db.Run("update tbSMDef set Note='过滤器''堵塞' where Type=2054 and Fld=1");
    int bits[2] = {1, 0};  // field 1 out of limits
    b.item.Get();
    b.h->DoItem(b.item, 0);
    ASSERT_EQ(1, b.h->DataGet(b.ch, 1, 0));
    ASSERT_EQ(1, b.h->DataUpd(1, bits, nullptr, -1, &b.rig.hist));
    EXPECT_EQ(Hex("回风温度24.5℃, 回风湿度50.5%告警:过滤器'堵塞"), Hex(b.Brief(81)));
    EXPECT_EQ(1, b.rig.db.Int("select State from tbSubSysDetail where SID=81"));
}
