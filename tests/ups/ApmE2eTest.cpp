// Whole polls of the APM150, iTrust, GXE and AHP UPS drivers as a host makes them: both
// plug-ins loaded with dlopen, serial channels on pseudo-terminals to the simulated units,
// SQLite databases; every check reads rows back from SQLite.
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

class ApmE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig.Load()); }
    void TearDown() override {
        rig.Close();
        for (auto& p : ptys) p->Stop();
    }

    // A unit served on a pseudo-terminal of its own, and the channel of qxSer to it.
    ISerBase* Serve(qxsim::YdtDevice& dev) {
        return Open([&](qxsim::PtySim& p) { qxsim::ServeYdt(p, dev); });
    }
    ISerBase* Serve(qxsim::ModbusSlave& slave) {
        return Open([&](qxsim::PtySim& p) { qxsim::ServeModbusRtu(p, slave); });
    }
    ISerBase* Open(const std::function<void(qxsim::PtySim&)>& serve) {
        ptys.emplace_back(new qxsim::PtySim);
        qxsim::PtySim& p = *ptys.back();
        serve(p);
        if (!p.Start()) return nullptr;
        // The channel code the definition describes: serial, the port's last digit.
        return rig.Channel(p.Definition(), qxtest::E2eRig::kSerial | (p.Number() % 10));
    }
    // The handler of a type, with its type row's description and its count of definition rows
    // checked.
    ISMBase* Handler(int type, const char* desc, int rows) {
        ISMBase* h = rig.Handler(type);
        EXPECT_NE(nullptr, h);
        const std::string where = " from tbSMType where Type=" + std::to_string(type);
        EXPECT_EQ(Gbk(desc), db.Str("select Note" + where));
        EXPECT_EQ(rows, db.Int("select count(*) from tbSMDef where Type=" + std::to_string(type)));
        return h;
    }
    // A point of the handler on the channel, registered as the host does.
    qxhost::PointItem& Point(ISMBase* h, int sid, int type, int addr, int variant, ISerBase* ch) {
        items.emplace_back(new qxhost::PointItem(sid, type));
        qxhost::PointItem& item = *items.back();
        item.Name("UPS").Port(ch->GetType() & 0xFFFF).Addr(addr).Variant(variant).Ser(ch);
        EXPECT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
        return item;
    }
    int Poll(ISMBase* h, qxhost::PointItem& item, int wait = 20) {
        int bits[2] = {0, 0};
        return rig.Poll(h, item, item.Get().Ser, bits, 0, wait);
    }
    std::string Cur(const char* table, int sid, const std::string& cols) {
        return db.Str("select " + cols + " from " + table + " where SID=" + std::to_string(sid));
    }
    std::string Hist(const char* table, int sid, const std::string& cols) {
        return hist.Str("select " + cols + " from " + table + " where SID=" + std::to_string(sid) +
                        " order by DID desc");
    }
    long long State(int sid) {
        return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    }
    // DoFunc of any command sends nothing and says so.
    void NoCommand(ISMBase* h, qxhost::PointItem& item, qxsim::YdtDevice* dev,
                   qxsim::ModbusSlave* slave) {
        const size_t before = dev ? dev->Requests().size() : slave->RequestCount();
        h->DoItem(item, 0);
        int minutes = 5;
        for (int cmd : {1, 8000, 8001}) {
            EXPECT_EQ(0, h->DoFunc(item.Get().Ser, item.Get().Addr, cmd, &minutes, 4)) << cmd;
            EXPECT_EQ(0, h->DoFunc(cmd, &minutes, 4)) << cmd;
        }
        EXPECT_EQ(before, dev ? dev->Requests().size() : slave->RequestCount());
    }

    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    std::vector<std::unique_ptr<qxsim::PtySim>> ptys;
    std::vector<std::unique_ptr<qxhost::PointItem>> items;
};

const char kValueCols[] = "State||'|'||Vin1||'|'||Vin2||'|'||Vin3||'|'||Fin||'|'||Vout||'|'||v2||'|'||"
                          "v3||'|'||Aout||'|'||Aed||'|'||v4||'|'||Fout||'|'||Vbatt||'|'||Mbatt||'|'||"
                          "Tem||'|'||status||'|'||ifnull(Pout,'-')||'|'||Fed||'|'||v1";

}  // namespace

// Two APM150 points on one line: the unit at address 1 answers, nothing answers at 2.
TEST_F(ApmE2e, Apm150PollsAndASilentPointBesideIt) {
    qxsim::YdtDevice dev(1, 0x2A, 0x10);
    qxsim::ApmFigures f;
    f.alarm[0] = 0xF0;
    qxsim::SetApm150(dev, f, false);
    ISerBase* ch = Serve(dev);
    if (!ch) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = Handler(0x30D, "UPS APM150...", 21);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem& good = Point(h, 61, 0x30D, 1, 1, ch);
    qxhost::PointItem& silent = Point(h, 62, 0x30D, 2, 1, ch);

    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(1, Poll(h, good)) << round;
        EXPECT_EQ(0, Poll(h, silent)) << round;
    }
    const std::string want = "0|2205|2215|2225|495|2305|2315|2325|105|115|125|505|2725|75|255|128|-|0|0";
    EXPECT_EQ(want, Cur("tbUps", 61, kValueCols));
    EXPECT_EQ(want, Hist("tbUps", 61, kValueCols));
    EXPECT_EQ("1", Cur("tbUps", 61, "b7"));
    EXPECT_EQ(0, State(61));
    EXPECT_EQ(Gbk("输入电压:220.5V, 输出电压:230.5V, 输出负载:10.5A"), Brief(61));
    EXPECT_EQ("2|0|0", Cur("tbUps", 62, "State||'|'||Vin1||'|'||Mbatt"));
    EXPECT_EQ(2, State(62));
    // The silent point's summary names the lost link and shows no cleared value.
    EXPECT_EQ(Gbk("通讯中断"), Brief(62));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=62 and State=2"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=61 and State=0"));
    NoCommand(h, good, &dev, nullptr);
}

// Each path of the iTrust: TV and NX on the VER 10 unit, 5K-10K on a VER 21 unit, Test on
// none at all.
TEST_F(ApmE2e, ITrustEveryPath) {
    qxsim::YdtDevice tv(1, 0x2A, 0x10), k5(1, 0x2A, 0x21);
    qxsim::SetApm150(tv, qxsim::ApmFigures(), false);
    qxsim::SetITrust5k(k5, qxsim::ITrust5kFigures());
    ISerBase* chTv = Serve(tv);
    ISerBase* ch5k = Serve(k5);
    if (!chTv || !ch5k) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = Handler(0x311, "UPS山特兼容KR APC...", 15);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem& pTv = Point(h, 71, 0x311, 1, 1, chTv);
    qxhost::PointItem& pNx = Point(h, 72, 0x311, 1, 2, chTv);
    qxhost::PointItem& pTest = Point(h, 73, 0x311, 1, 3, chTv);
    qxhost::PointItem& p5k = Point(h, 74, 0x311, 1, 4, ch5k);

    ASSERT_EQ(1, Poll(h, pTv));
    ASSERT_EQ(1, Poll(h, pNx));
    const size_t asked = tv.Requests().size();
    ASSERT_EQ(1, Poll(h, pTest));
    EXPECT_EQ(asked, tv.Requests().size()) << "the Test path sends nothing";
    ASSERT_EQ(1, Poll(h, p5k));

    const char* cols = "Vin1||'|'||Vout||'|'||Fin||'|'||ifnull(Pout,'-')||'|'||Fed||'|'||Mbatt";
    const struct {
        int sid;
        const char* row;
        const char* brief;
    } cases[] = {
        {71, "2205|2305|495|2195|500|75", "输入电压1:220.5V,输入电压2:221.5V,输入电压3:222.5V"},
        {72, "2205|2305|495|0|0|75", "输入电压1:220.5V,输入电压2:221.5V,输入电压3:222.5V"},
        {73, "2235|2341|498|0|0|0", "输入电压1:223.5V,输入电压2:221.0V,输入电压3:232.4V"},
        {74, "2201|2211|499|2190|501|0", "输入电压:220.1V,输出电压:221.1V,旁路电压:219.0V"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.row, Cur("tbUps", c.sid, cols)) << c.sid;
        EXPECT_EQ(c.row, Hist("tbUps", c.sid, cols)) << c.sid << ": the history row alike";
        EXPECT_EQ(Gbk(c.brief), Brief(c.sid)) << c.sid;
        EXPECT_EQ(0, State(c.sid)) << c.sid;
    }
    NoCommand(h, pTv, &tv, nullptr);
}

TEST_F(ApmE2e, GxeInItsOwnTable) {
    qxsim::YdtDevice dev(1, 0x2A, 0x21);
    qxsim::SetGxe(dev, qxsim::GxeFigures());
    ISerBase* ch = Serve(dev);
    if (!ch) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = Handler(0x314, "UPS GXE...", 11);
    ASSERT_NE(nullptr, h);
    // Voltages and frequencies in tenths, the output currents in hundredths.
    EXPECT_EQ("10,10,10,10,10,10,10,100,100,100,10",
              db.Str("select group_concat(Ratio) from (select Ratio from tbSMDef where Type=788 order by rowid)"));
    qxhost::PointItem& p = Point(h, 81, 0x314, 1, 0, ch);
    ASSERT_EQ(1, Poll(h, p));
    const std::string cols = "State||'|'||VinA||'|'||VoutA||'|'||Pin||'|'||Lodaout||'|'||ibatt||'|'||"
                             "iTem||'|'||powerType||'|'||powerStatus";
    EXPECT_EQ("0|2300|2200|499|4567|3|255|1|9", Cur("tbUpsGXE", 81, cols));
    EXPECT_EQ("0|2300|2200|499|4567|3|255|1|9", Hist("tbUpsGXE", 81, cols));
    EXPECT_EQ(Gbk("输入电压:230.0V, 输出电压:220.0V, 输出负载:45%"), Brief(81));
    EXPECT_EQ(0, State(81));
    char text[32] = ".Lodaout";
    h->DoItem(p, 0);
    EXPECT_EQ(4, h->VarEval(text));
    EXPECT_STREQ("4567", text);

    dev.FaultOnce(qxsim::YdtFault::Rtn, 0x04);
    EXPECT_EQ(0, Poll(h, p));
    EXPECT_EQ("2|0|0|0|0|0|0|0|0", Cur("tbUpsGXE", 81, cols));
    EXPECT_EQ(2, State(81));
    EXPECT_EQ(Gbk("通讯中断"), Brief(81));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUpsGXE where SID=81"));
    NoCommand(h, p, &dev, nullptr);
}

// Two AHP points: one read over YD/T 1363 (Variant 2), one over Modbus (Variant 0). The
// Modbus row carries nothing of the YD/T point's poll.
TEST_F(ApmE2e, AhpOverYdtAndModbus) {
    qxsim::YdtDevice ydt(1, 0x40, 0x21);
    qxsim::AhpYdtFigures f;
    for (int i = 0; i < 5; i++) f.b6b2[i] = (uint8_t)(0xE1 + i);  // a code of its own in each
    qxsim::SetAhpYdt(ydt, f);
    qxsim::ModbusSlave slave(3);
    qxsim::AhpUpsRegs regs;
    regs.r137 = 0x0005;
    qxsim::SetAhpUps(slave, regs);
    ISerBase* chY = Serve(ydt);
    ISerBase* chM = Serve(slave);
    if (!chY || !chM) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = Handler(0x313, "AHP-ModbusRTU通信...", 20);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=787 and Fld=4"));
    qxhost::PointItem& py = Point(h, 91, 0x313, 1, 2, chY);
    qxhost::PointItem& pm = Point(h, 92, 0x313, 3, 0, chM);

    ASSERT_EQ(1, Poll(h, py));
    ASSERT_EQ(1, Poll(h, pm));
    EXPECT_EQ("0|2205|2215|2225|495|2305|2315|2325|105|0|115|0|0|0|0|0|-|505|2195",
              Cur("tbUps", 91, kValueCols));
    EXPECT_EQ("225|226|229", Cur("tbUps", 91, "b6||'|'||b5||'|'||b2"));
    EXPECT_EQ(Gbk("输入电压:220.5V, 221.5V, 222.5V"), Brief(91));
    const std::string modbus = "0|2200|2210|2220|500|2300|2310|2320|100|110|120|500|2720|0|250|5|-|0|0";
    EXPECT_EQ(modbus, Cur("tbUps", 92, kValueCols));
    EXPECT_EQ(modbus, Hist("tbUps", 92, kValueCols));
    EXPECT_EQ("1|0|1|0", Cur("tbUps", 92, "b0||'|'||b1||'|'||b2||'|'||b5"));
    EXPECT_EQ(Gbk("输入电压:220.0V, 221.0V, 222.0V, 输出电压:230.0V, 231.0V, 232.0V, "
                  "输出电流:10.0A,11.0A,12.0A, 电池电压:272.0V"),
              Brief(92));
    EXPECT_EQ((std::vector<int>{0x4F, 0x41, 0x41, 0x43, 0x44, 0x46}), ydt.Commands());
    EXPECT_EQ(1u, slave.RequestCount());

    // The Modbus unit answers with an exception: no answer for that point only.
    slave.FaultOnce(qxsim::ModbusFault::Exception, 2);
    EXPECT_EQ(0, Poll(h, pm));
    EXPECT_EQ(2, State(92));
    EXPECT_EQ("0|2205", Cur("tbUps", 91, "State||'|'||Vin1"));
    NoCommand(h, pm, nullptr, &slave);
}
