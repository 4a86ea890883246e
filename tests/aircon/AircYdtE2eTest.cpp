// Whole polls of the precision air-conditioners over YD/T 1363 (and the DME3000 over Modbus
// RTU) as a host makes them: both plug-ins loaded with dlopen, a serial channel on a
// pseudo-terminal to the simulated unit at address 1 with a silent point at address 2 beside
// it, SQLite databases; every check reads rows back from SQLite.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AircYdtMaps.h"
#include "E2eRig.h"
#include "GbkText.h"
#include "Limits.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace {


struct Kind {
    const char* what;
    int type, variant;
    std::function<void(qxsim::PtySim&, qxsim::YdtDevice&, qxsim::ModbusSlave&)> serve;  // address 1
    const char* name;                           // tbSMType's Name
    int classConst, rows;                       // its category value, tbSMDef rows
    const char* table;
    std::string cols;                           // some value columns
    std::string row;                            // ... as the unit gives them
    std::string brief;                          // the summary of an answered poll
    bool st;                                    // the summary row's St follows the state
};

class AircYdtE2e : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig.Load()); }
    void TearDown() override {
        rig.Close();
        if (pty) pty->Stop();
    }
    ISerBase* Open(const std::function<void(qxsim::PtySim&)>& serve) {
        pty.reset(new qxsim::PtySim);
        serve(*pty);
        if (!pty->Start()) return nullptr;
        return rig.Channel(pty->Definition(), qxtest::E2eRig::kSerial | (pty->Number() % 10));
    }
    std::string Q(TestDb& d, const std::string& what, const char* table, int sid) {
        return d.Str("select " + what + " from " + table + " where SID=" + std::to_string(sid) +
                     " order by rowid desc limit 1");
    }

    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    std::unique_ptr<qxsim::PtySim> pty;
    qxsim::YdtDevice ydt{1, 0x60, 0x21};
    qxsim::ModbusSlave mb{1};
};

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> k = {
        {"Emerson", 0x801, 0,
         [](qxsim::PtySim& p, qxsim::YdtDevice& d, qxsim::ModbusSlave& m) {
             qxsim::SetEmerson(d, qxsim::EmersonUnit());
             qxsim::ServeYdt(p, d);
         },
         "艾默生精密空调 QX-EMERSON", 2048, 27, "tbEmerson",
         "tem||','||hum||','||pl||','||sftemset||','||status||','||warn||','||stfansw||','||sthumi",
         "235,450,500,180,1,0,1,0", "温度:23.5,湿度:45.0", true},
        {"EVO DX", 0x80E, 0,
         [](qxsim::PtySim& p, qxsim::YdtDevice& d, qxsim::ModbusSlave& m) {
             qxsim::EvoDxUnit u;
             u.alarms[0] = 1;
             qxsim::SetEvoDx(d, u);
             qxsim::ServeYdt(p, d);
         },
         "CyberMate QX-EVO-CyberMate-DX", 2048, 52, "tbEvoCyberDx",
         "TemInd1||','||TemOutd||','||HumOutd||','||HumIndAvg||','||AStTemRH||','||AStTemRL||','||RStHumSt",
         "231,0,32768,453,1,0,3", "室内平均温度:23.3, 平均湿度:45.3", false},
        {"DME3000", 0x809, 0,
         [](qxsim::PtySim& p, qxsim::YdtDevice& d, qxsim::ModbusSlave& m) {
             qxsim::SetDme3000(d, qxsim::Dme3000Unit());
             qxsim::ServeYdt(p, d);
         },
         "UPS QX-DME3000", 768, 31, "tbDME3000",
         "tem||','||hum||','||temout||','||temset||','||humset||','||s_pow||','||s_fj||','||s_zl||','||s_mstate||','||s_mmode",
         "235,450,310,240,500,1,1,0,1,1", "空调状态：开", false},
        {"DME3000 over Modbus", 0x809, 1,
         [](qxsim::PtySim& p, qxsim::YdtDevice& d, qxsim::ModbusSlave& m) {
             qxsim::SetDme3000Modbus(m, qxsim::Dme3000Regs());
             qxsim::ServeModbusRtu(p, m);
         },
         "UPS QX-DME3000", 768, 31, "tbDME3000",
         "tem||','||hum||','||temout||','||temset||','||humset||','||s_pow||','||s_fj||','||s_zl||','||s_mstate||','||s_mmode",
         "235,450,0,240,500,0,1,1,0,0", "空调状态：开", false},  // running: its fan runs
        {"T-MASTER", 0x80C, 0,
         [](qxsim::PtySim& p, qxsim::YdtDevice& d, qxsim::ModbusSlave& m) {
             d.SetVersion(0x20);
             qxsim::SetTeMaster(d, qxsim::TeMasterUnit());
             qxsim::ServeYdt(p, d);
         },
         "精密空调 QX-TEMaster", 768, 6, "tbTEMaster",
         "tem||','||hum||','||worktime||','||onoff||','||stfj||','||stys1||','||workmode||','||almst1",
         "235,450,1234,1,1,0,2,255", "空调状态：开, 温度：23.5℃, 湿度：45.0%", false},
    };
    return k;
}

}  // namespace

TEST_P(AircYdtE2e, UnitBesideASilentPoint) {
    const Kind& k = Kinds()[GetParam()];
    ISerBase* ch = Open([&](qxsim::PtySim& p) { k.serve(p, ydt, mb); });
    if (!ch) GTEST_SKIP() << "no pseudo-terminal available";
    {
        ISMBase* h = rig.Handler(k.type);
        ASSERT_NE(nullptr, h);
        const std::string type = std::to_string(k.type);
        EXPECT_EQ(std::string(k.name), db.Str("select Name from tbSMType where Type=" + type));
        EXPECT_EQ(k.classConst, db.Int("select Kind from tbSMType where Type=" + type));
        EXPECT_EQ(k.rows, db.Int("select count(*) from tbSMDef where Type=" + type));

        qxhost::PointItem good(71, k.type), silent(72, k.type);
        good.Name("AC-1").Port(1).Addr(1).Variant(k.variant).Ser(ch);
        silent.Name("AC-2").Port(1).Addr(2).Variant(k.variant).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, good));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, silent));
        int bits[3] = {0, 0, 0};
        for (int round = 0; round < 2; round++) {
            ASSERT_EQ(1, rig.Poll(h, good, ch, bits, 0, 20)) << round;
            EXPECT_EQ(0, rig.Poll(h, silent, ch, bits, 0, 20)) << round;
        }
        EXPECT_EQ(k.row, Q(db, k.cols, k.table, 71));
        EXPECT_EQ(k.row, Q(hist, k.cols, k.table, 71));
        EXPECT_EQ(2, hist.Int(std::string("select count(*) from ") + k.table + " where SID=71"));
        EXPECT_EQ("0", Q(db, "State", k.table, 71));
        EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=71"));
        EXPECT_EQ(std::string(k.brief), db.Str("select Brief from tbSMBrief where SID=71"));
        if (k.st) {
            EXPECT_EQ(0, db.Int("select St from tbSMBrief where SID=71"));
        }

        // The silent point: state 2 everywhere, its values zero, and a summary that says the
        // unit did not answer instead of showing cleared values or an "off".
        EXPECT_EQ("2", Q(db, "State", k.table, 72));
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=72"));
        EXPECT_EQ("2", Q(hist, "State", k.table, 72));
        for (char c : Q(db, k.cols, k.table, 72)) EXPECT_TRUE(c == '0' || c == ',') << c;
        const std::string brief = db.Str("select Brief from tbSMBrief where SID=72");
        EXPECT_EQ(std::string("精密空调,通讯中断"), brief);
        if (k.st) {
            EXPECT_EQ(2, db.Int("select St from tbSMBrief where SID=72"));
        }
        EXPECT_EQ(0, db.Failures()) << db.Error();
        EXPECT_EQ(0, hist.Failures()) << hist.Error();
    }
}

std::string UnitName(const ::testing::TestParamInfo<size_t>& i) {
    static const char* const kNames[] = {"Emerson", "EvoDx", "Dme3000", "Dme3000Modbus", "TeMaster"};
    return kNames[i.param];
}
INSTANTIATE_TEST_SUITE_P(Units, AircYdtE2e, ::testing::Range<size_t>(0, 5), UnitName);

TEST_F(AircYdtE2e, Dme3000CommandsReachTheUnit) {
    qxsim::YdtDevice& dev = ydt;
    qxsim::SetDme3000(dev, qxsim::Dme3000Unit());
    ISerBase* ch = Open([&](qxsim::PtySim& p) { qxsim::ServeYdt(p, dev); });
    if (!ch) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = rig.Handler(0x809);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem item(73, 0x809);
    item.Name("AC").Port(1).Addr(1).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
    h->DoItem(item, 0);
    uint16_t v = 0;
    EXPECT_EQ(1, h->DoFunc(1 << 16, &v, 2));
    v = 0x0123;
    EXPECT_EQ(1, h->DoFunc(2 << 16 | 5, &v, 2));
    EXPECT_EQ(0, h->DoFunc(3 << 16, &v, 2));
    EXPECT_EQ(std::vector<std::string>{"1F"}, dev.Infos(0x45));
    EXPECT_EQ(std::vector<std::string>{"000000050123"}, dev.Infos(0x49));
    dev.SetRtn(0x45, 4);
    EXPECT_EQ(0, h->DoFunc(1 << 16, &v, 2)) << "refused by the unit";
}

namespace {

// One poll as the reference host makes it: the limit check of the type's definition rows over
// fields 1 to DataSize decides the alarm bits and the state passed to DataUpd.
int HostPoll(qxtest::E2eRig& rig, ISMBase* h, qxhost::PointItem& item, ISerBase* ch) {
    h->DoItem(item, 0);
    const int got = h->DataGet(ch, item.Get().Addr, 20);
    std::vector<int32_t> bits;
    int alarms = 0;
    if (got == 1)
        alarms = qxhost::CheckLimits(qxhost::LoadLimits(rig.db, h->GetType()), h->DataSize(),
                                     [h](int f) { return h->DataVal(f); }, bits);
    int snap = 0;
    EXPECT_EQ(1, h->DataUpd(alarms ? 1 : 0, got == 1 ? bits.data() : nullptr, &snap, -1, &rig.hist));
    return got;
}

}  // namespace

// Every alarm and lock state of the DME3000 reaches the host: its limit check marks the field,
// the point is stored in alarm and the summary names the caption (three at a time: the summary
// names at most three). The unit's own state and work mode are no alarms, whatever their value.
TEST_F(AircYdtE2e, Dme3000EveryAlarmAndLockReachesTheHost) {
    qxsim::Dme3000Unit running;  // on, fan running, values within the rows' limits
    running.tem = 320;
    running.temout = 400;
    qxsim::SetDme3000(ydt, running);
    ISerBase* ch = Open([&](qxsim::PtySim& p) { qxsim::ServeYdt(p, ydt); });
    if (!ch) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = rig.Handler(0x809);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem item(74, 0x809);
    item.Name("AC").Port(1).Addr(1).Variant(0).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
    auto state = [&] { return db.Int("select State from tbSubSysDetail where SID=74"); };
    auto brief = [&] { return db.Str("select Brief from tbSMBrief where SID=74"); };

    // A running unit without alarms, in its first and its last state and work mode.
    for (uint8_t mode : {0x09, 0x3F}) {
        SCOPED_TRACE(mode);
        qxsim::Dme3000Unit u = running;
        u.mode = mode;
        qxsim::SetDme3000(ydt, u);
        ASSERT_EQ(1, HostPoll(rig, h, item, ch));
        EXPECT_EQ(mode & 7, db.Int("select s_mstate from tbDME3000 where SID=74"));
        EXPECT_EQ(mode >> 3, db.Int("select s_mmode from tbDME3000 where SID=74"));
        EXPECT_EQ(0, state());
        EXPECT_EQ("0", Q(db, "State", "tbDME3000", 74));
        EXPECT_EQ(std::string("空调状态：开"), brief());
    }

    struct Alarm {
        int fld;
        const char* column;
        const char* caption;
    };
    const Alarm alarms[] = {
        {7, "s_gy", "高压报警"},           {8, "s_dy", "低压报警"},
        {9, "s_gw", "高温报警"},           {10, "s_dw", "低温报警"},
        {11, "s_gs", "高湿报警"},          {12, "s_ds", "低湿报警"},
        {13, "s_elec", "电源故障报警"},    {19, "s_usr1", "用户自定义1报警"},
        {20, "s_usr2", "用户自定义2报警"}, {21, "s_mainmt", "主风机维护报警"},
        {22, "s_hummt", "加湿器维护报警"}, {23, "s_filtmt", "过滤网维护报警"},
        {24, "s_commfault", "通讯故障报警"}, {25, "s_panfrost", "盘管冻结报警"},
        {26, "s_humfault", "加湿器故障报警"}, {27, "s_senlost", "传感器板丢失报警"},
        {28, "s_exhaust", "排气温度故障报警"}, {29, "s_powlost", "电源丢失故障报警"},
        {30, "s_powlow", "电源过欠压报警"}, {31, "s_phaselost", "电源缺相报警"},
        {32, "s_freqlost", "电源频率偏移报警"}, {33, "s_leak", "地板溢水报警"},
        {34, "s_englost", "节能卡故障"},   {37, "s_vhlock", "高压锁定"},
        {38, "s_vllock", "低压锁定"},      {39, "s_exhaustlock", "排气锁定"},
    };
    const size_t n = sizeof alarms / sizeof alarms[0];
    for (size_t first = 0; first < n; first += 3) {
        const size_t end = std::min(n, first + 3);
        qxsim::Dme3000Unit u = running;
        std::string captions;
        for (size_t i = first; i < end; i++) {
            ASSERT_TRUE(u.Raise(alarms[i].fld)) << alarms[i].fld;
            captions += (i > first ? " " : "") + std::string(alarms[i].caption);
        }
        SCOPED_TRACE(alarms[first].column);
        qxsim::SetDme3000(ydt, u);
        ASSERT_EQ(1, HostPoll(rig, h, item, ch));
        for (size_t i = first; i < end; i++) EXPECT_EQ("1", Q(db, alarms[i].column, "tbDME3000", 74));
        EXPECT_EQ(1, state());
        EXPECT_EQ("1", Q(db, "State", "tbDME3000", 74));
        EXPECT_EQ("1", Q(hist, "State", "tbDME3000", 74));
        EXPECT_EQ(std::string("空调状态：开告警:") + captions + (end - first == 3 ? "..." : ""), brief());
    }

    // Cleared again: back to normal.
    qxsim::SetDme3000(ydt, running);
    ASSERT_EQ(1, HostPoll(rig, h, item, ch));
    EXPECT_EQ(0, state());
    EXPECT_EQ(std::string("空调状态：开"), brief());
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}
