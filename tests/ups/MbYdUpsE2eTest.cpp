// Whole polls of the Symmetra and Galaxy 5000 Modbus UPS and the Hipulse U series YD/T 1363
// UPS as a host makes them: both plug-ins loaded with dlopen, a serial channel of qxSer on a
// pseudo-terminal to each simulated unit, the host's SQLite databases. Each type has a
// healthy point and a silent twin; every check reads rows back from SQLite.
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "E2eRig.h"
#include "GbkText.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "YdtDevice.h"
#include "YdtUps.h"
#include "gtest/gtest.h"

namespace {

using qxtest::Gbk;

// One unit behind its own pseudo-terminal and channel, and its point. Declared after the
// device model it serves, so that the terminal stops before the model goes.
struct Unit {
    ~Unit() { pty.Stop(); }
    qxsim::PtySim pty;
    ISerBase* ch = nullptr;
    std::unique_ptr<qxhost::PointItem> item;
    int Sid() const { return item->Get().SID; }
};

class MbYdUpsE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig.Load()); }
    void TearDown() override { rig.Close(); }

    // Serves the unit (serve puts the device model on the terminal), opens its channel and
    // registers point sid of the type with the handler.
    void Add(Unit& u, ISMBase* h, int sid, int type, const std::function<void(qxsim::PtySim&)>& serve) {
        serve(u.pty);
        if (!u.pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        u.ch = rig.Channel(u.pty.Definition(), qxtest::E2eRig::kSerial | u.pty.Number());
        ASSERT_NE(nullptr, u.ch);
        u.item.reset(new qxhost::PointItem(sid, type));
        u.item->Name("UPS").Port(u.ch->GetType() & 0xFFFF).Addr(1).Ser(u.ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *u.item));
    }

    // One poll as the host makes it: DataGet's result and DataUpd's.
    std::pair<int, int> Poll(ISMBase* h, Unit& u, int wait) {
        h->DoItem(*u.item, 0);
        const int got = h->DataGet(u.ch, u.item->Get().Addr, wait);
        int bits[2] = {0, 0};
        return {got, h->DataUpd(0, got ? bits : nullptr, nullptr, -1, &hist)};
    }

    long long Cur(const char* table, const Unit& u, const std::string& col) {
        return db.Int("select " + col + " from " + table + " where SID=" + std::to_string(u.Sid()));
    }
    long long Detail(const Unit& u) {
        return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(u.Sid()));
    }
    long long HistCount(const char* table, const Unit& u) {
        return hist.Int(std::string("select count(*) from ") + table + " where SID=" + std::to_string(u.Sid()));
    }
    std::string Brief(const Unit& u) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(u.Sid()));
    }
    // The summary of a unit that did not answer says nothing is normal.
    void ExpectNoNormalWord(const Unit& u) {
        const std::string brief = Brief(u);
        EXPECT_EQ(std::string::npos, brief.find(Gbk("正常"))) << Hex(brief);
    }

    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
};

}  // namespace

TEST_F(MbYdUpsE2e, SymmetraCountsFailuresPerPoint) {
    ISMBase* h = rig.Handler(0x307);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(Hex(Gbk("施耐德Symmetra系列及兼容...")), Hex(db.Str("select Note from tbSMType where Type=775")));
    EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Type=775"));

    qxsim::ModbusSlave good(1), dead(1);
    qxsim::SymmetraUps figures;
    figures.reg3 = 0x00C9;
    qxsim::SetSymmetraUps(good, figures);
    qxsim::SetSymmetraUps(dead, figures);
    Unit a, b;
    ASSERT_NO_FATAL_FAILURE(Add(a, h, 71, 0x307, [&](qxsim::PtySim& p) { qxsim::ServeModbusRtu(p, good); }));
    ASSERT_NO_FATAL_FAILURE(Add(b, h, 72, 0x307, [&](qxsim::PtySim& p) { qxsim::ServeModbusRtu(p, dead); }));

    EXPECT_EQ(std::make_pair(1, 1), Poll(h, a, 0));
    EXPECT_EQ(std::make_pair(1, 1), Poll(h, b, 0));
    EXPECT_EQ(2300, Cur("tbUps", a, "Vin1"));
    EXPECT_EQ(2320, Cur("tbUps", a, "Vin3"));
    EXPECT_EQ(253, Cur("tbUps", a, "Tem"));
    EXPECT_EQ(201, Cur("tbUps", a, "status"));
    EXPECT_EQ(1, Cur("tbUps", a, "b7"));
    EXPECT_EQ(1, Cur("tbUps", a, "Pout is null"));
    EXPECT_EQ(Hex(Gbk("输入电压1:230.0V,输入电压2:231.0V,输入电压3:232.0V")), Hex(Brief(a)));
    EXPECT_EQ(1, HistCount("tbUps", a));
    EXPECT_EQ(2730, hist.Int("select Vbatt from tbUps where SID=71"));

    // b falls silent while a keeps answering: b is reported on its own third update.
    dead.SetFault(qxsim::ModbusFault::Silence);
    for (int round = 1; round <= 3; round++) {
        EXPECT_EQ(std::make_pair(0, round == 3 ? 1 : 0), Poll(h, b, 0)) << round;
        EXPECT_EQ(std::make_pair(1, 1), Poll(h, a, 0)) << round;
        EXPECT_EQ(round == 3 ? 2 : 0, Detail(b)) << round;
        EXPECT_EQ(0, Detail(a)) << round;
    }
    EXPECT_EQ(2, Cur("tbUps", b, "State"));
    EXPECT_EQ(0, Cur("tbUps", b, "Vin1"));
    EXPECT_EQ(2, HistCount("tbUps", b));
    EXPECT_EQ(2, hist.Int("select State from tbUps where SID=72 order by DID desc limit 1"));
    ExpectNoNormalWord(b);
    EXPECT_EQ(2300, Cur("tbUps", a, "Vin1"));
    EXPECT_EQ(0, Cur("tbUps", a, "State"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

TEST_F(MbYdUpsE2e, GalaxyStoresTenthsInTbUpsEx) {
    ISMBase* h = rig.Handler(0x318);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=792"));
    EXPECT_EQ(Hex(Gbk("电池温度")), Hex(db.Str("select Note from tbSMDef where Type=792 and Fld=22")));
    EXPECT_EQ(Hex(Gbk("过载保护")), Hex(db.Str("select Note from tbSMDef where Type=792 and Fld=39")));

    qxsim::ModbusSlave good(1), dead(1);
    qxsim::SetGalaxyUps(good, qxsim::GalaxyUps());
    dead.SetFault(qxsim::ModbusFault::Silence);
    Unit a, b;
    ASSERT_NO_FATAL_FAILURE(Add(a, h, 81, 0x318, [&](qxsim::PtySim& p) { qxsim::ServeModbusRtu(p, good); }));
    ASSERT_NO_FATAL_FAILURE(Add(b, h, 82, 0x318, [&](qxsim::PtySim& p) { qxsim::ServeModbusRtu(p, dead); }));

    EXPECT_EQ(std::make_pair(1, 1), Poll(h, a, 101));
    EXPECT_EQ(std::make_pair(0, 1), Poll(h, b, 101));
    const struct {
        const char* col;
        long long value;
    } want[] = {
        {"State", 0}, {"Vin1", 2300}, {"Vin3", 2320}, {"Vout1", 2200}, {"Iout2", 110},
        {"Iin1", 120}, {"Fin2", 500}, {"Fout3", 500}, {"FB1", 500}, {"VB3", 2300},
        {"Vbatt", 2720}, {"Mbatt", 450}, {"Tem", 250}, {"Pbatt", 1000}, {"status", 12},
        {"b0", 0}, {"b2", 1}, {"b3", 1}, {"b15", 0},
    };
    for (const auto& w : want) EXPECT_EQ(w.value, Cur("tbUpsEx", a, w.col)) << w.col;
    EXPECT_EQ(Hex(Gbk("输入电压:230.0V, 231.0V, 232.0V, 输出电压:220.0V, 220.0V, 221.0V, "
                      "输出电流:10.0A,11.0A,12.0A, 电池电压:272.0V")),
              Hex(Brief(a)));
    EXPECT_EQ(1, HistCount("tbUpsEx", a));
    EXPECT_EQ(2320, hist.Int("select Vin3 from tbUpsEx where SID=81"));
    EXPECT_EQ(12, hist.Int("select status from tbUpsEx where SID=81"));
    EXPECT_EQ(0, Detail(a));

    EXPECT_EQ(2, Cur("tbUpsEx", b, "State"));
    EXPECT_EQ(0, Cur("tbUpsEx", b, "Vin1"));
    EXPECT_EQ(2, Detail(b));
    EXPECT_EQ(1, HistCount("tbUpsEx", b));
    ExpectNoNormalWord(b);
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

TEST_F(MbYdUpsE2e, HipulseStoresItsFourReplies) {
    ISMBase* h = rig.Handler(0x31A);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(43, db.Int("select count(*) from tbSMDef where Type=794"));
    EXPECT_EQ(Hex(Gbk("旋转开关状态(不用,预留)")), Hex(db.Str("select Note from tbSMDef where Type=794 and Fld=35")));
    EXPECT_EQ(Hex(Gbk("E0H：主路逆变供电 E1H：电池逆变供电 E2H：联合逆变供电 E3H:  整流电池均不供电")),
              Hex(db.Str("select LoText from tbSMDef where Type=794 and Fld=28")));

    qxsim::YdtDevice good(1, 0x2A, 0x11), dead(1, 0x2A, 0x11);
    qxsim::SetHipulseUps(good, qxsim::HipulseUps());
    qxsim::SetHipulseUps(dead, qxsim::HipulseUps());
    dead.SetFault(qxsim::YdtFault::Silence);
    Unit a, b;
    ASSERT_NO_FATAL_FAILURE(Add(a, h, 91, 0x31A, [&](qxsim::PtySim& p) { qxsim::ServeYdt(p, good); }));
    ASSERT_NO_FATAL_FAILURE(Add(b, h, 92, 0x31A, [&](qxsim::PtySim& p) { qxsim::ServeYdt(p, dead); }));

    EXPECT_EQ(std::make_pair(1, 1), Poll(h, a, 20));
    EXPECT_EQ(std::make_pair(0, 1), Poll(h, b, 20));
    EXPECT_EQ((std::vector<int>{0x41, 0xE1, 0xE3, 0x43}), good.Commands());
    const struct {
        const char* col;
        long long value;
    } want[] = {
        {"State", 0}, {"Vin1", 2305}, {"Vin2", 2310}, {"Vin3", 2295}, {"Vout2", 2205},
        {"Iout3", 115}, {"Vbatt", 2725}, {"Fout1", 500}, {"Fout3", 500}, {"Iin2", 125},
        {"Fin3", 499}, {"VB1", 2290}, {"FB2", 501}, {"Mbatt", 450}, {"b15", 1},
        {"b14", 0xE1}, {"b4", 0xE2}, {"b0", 0xE0}, {"Tem", 0}, {"IB1", 0},
    };
    for (const auto& w : want) EXPECT_EQ(w.value, Cur("tbUpsEx", a, w.col)) << w.col;
    EXPECT_EQ(Hex(Gbk("输入电压:230.5V, 231.0V, 229.5V, 输出电压:220.0V, 220.5V, 219.5V, "
                      "输出电流:10.5A,11.0A,11.5A, 电池电压:272.5V")),
              Hex(Brief(a)));
    EXPECT_EQ(1, HistCount("tbUpsEx", a));
    EXPECT_EQ(450, hist.Int("select Mbatt from tbUpsEx where SID=91"));

    EXPECT_EQ(2, Cur("tbUpsEx", b, "State"));
    EXPECT_EQ(2, Detail(b));
    EXPECT_EQ(1, HistCount("tbUpsEx", b));
    ExpectNoNormalWord(b);
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}
