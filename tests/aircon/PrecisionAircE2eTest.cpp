// Whole polls of the precision air-conditioners on links of their own, as a host makes them:
// both plug-ins loaded with dlopen, serial channels on pseudo-terminals to the simulated
// units, the host's SQLite databases. Every type is polled beside a silent twin of its type.
#include <string.h>

#include <atomic>
#include <memory>
#include <string>

#include "E2eRig.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PrecisionAirc.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

// A rig with two serial lines: the unit under test on one, nothing answering on the other.
class PrecisionE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(live.Start());
        ASSERT_TRUE(dead.Start());
        ASSERT_NO_FATAL_FAILURE(rig.Load());
    }
    void TearDown() override {
        rig.Close();
        live.Stop();
        dead.Stop();
    }
    // The handler of `type`, a point on the live line and its silent twin on the dead one.
    void Points(int type, int variant) {
        chLive = rig.Channel(live.Definition(), qxtest::E2eRig::kSerial | live.Number());
        chDead = rig.Channel(dead.Definition(), qxtest::E2eRig::kSerial | dead.Number());
        ASSERT_NE(nullptr, chLive);
        ASSERT_NE(nullptr, chDead);
        h = rig.Handler(type);
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(type, h->GetType());
        a = std::make_unique<qxhost::PointItem>(81, type);
        b = std::make_unique<qxhost::PointItem>(82, type);
        a->Name("AC-A").Port(1).Addr(1).Variant(variant).Ser(chLive);
        b->Name("AC-B").Port(2).Addr(1).Variant(variant).Ser(chDead);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *a));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *b));
    }
    int PollA(int bits0 = 0) {
        int bits[2] = {bits0, 0};
        return rig.Poll(h, *a, chLive, bits);
    }
    int PollB() {
        int bits[2] = {0, 0};
        return rig.Poll(h, *b, chDead, bits);
    }
    std::string Brief(int sid) { return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)); }
    long long Detail(int sid) {
        return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid));
    }
    // The live point answered and its twin did not: rows of both in every table.
    void CheckBoth(const char* table, const std::string& cols, const std::string& want) {
        const std::string q = "select " + cols + " from " + table + " where SID=";
        EXPECT_EQ(want, db.Str(q + "81"));
        EXPECT_EQ(want, hist.Str(q + "81"));
        EXPECT_EQ(0, Detail(81));
        EXPECT_EQ(2, Detail(82));
        EXPECT_EQ(2, db.Int(std::string("select State from ") + table + " where SID=82"));
        const std::string dead = Brief(82);
        EXPECT_NE(std::string::npos, dead.find(std::string("通讯中断"))) << Hex(dead);
        EXPECT_EQ(std::string::npos, dead.find(std::string("正常"))) << Hex(dead);
        EXPECT_EQ(1, hist.Int(std::string("select count(*) from ") + table + " where SID=82"));
        EXPECT_EQ(0, db.Failures()) << db.Error();
    }

    qxsim::PtySim live, dead;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* chLive = nullptr;
    ISerBase* chDead = nullptr;
    ISMBase* h = nullptr;
    std::unique_ptr<qxhost::PointItem> a, b;
};

}  // namespace

TEST_F(PrecisionE2e, StulzC7000AndItsRegisterWrite) {
    qxsim::ModbusSlave slave(1);
    qxsim::SetStulzC7000(slave, qxsim::StulzC7000());
    qxsim::ServeModbusRtu(live, slave);
    ASSERT_NO_FATAL_FAILURE(Points(0x802, 0));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=2050"));
    EXPECT_EQ(3, db.Int("select count(*) from tbSMDef where Type=2050"));
    ASSERT_EQ(1, PollA());
    EXPECT_EQ(0, PollB());
    CheckBoth("tbCybStulz", "RunSt||','||Tem||','||Hum||','||TemR||','||TemPump||','||HumDeB",
              "1,235,450,240,0,45");
    EXPECT_EQ(Hex(std::string("温度:23.5℃ 湿度:45.0%RH")), Hex(Brief(81)));
    EXPECT_EQ(0, db.Int("select St from tbSMBrief where SID=81"));

    h->DoItem(*a, 0);
    int v = 0x00010002;
    EXPECT_EQ(1, h->DoFunc(16 << 16 | 2340, &v, 4));
    EXPECT_EQ(1, slave.Holding(2340));
    EXPECT_EQ(2, slave.Holding(2341));
    live.InjectFault(qxsim::Fault::Exception);
    EXPECT_EQ(0, h->DoFunc(16 << 16 | 2340, &v, 4));
}

TEST_F(PrecisionE2e, StulzC5000) {
    qxsim::C5000Unit unit(1);
    unit.SetWord(5, 241);
    unit.SetWord(9, 452);
    unit.SetByte(55, 30);
    unit.SetByte(134, 1);
    unit.Serve(live);
    ASSERT_NO_FATAL_FAILURE(Points(0x802, 1));
    ASSERT_EQ(1, PollA());
    EXPECT_EQ(0, PollB());
    CheckBoth("tbCybStulz", "RunSt||','||Tem||','||TemR||','||HumR||','||TemRH", "1,0,241,452,30");
    EXPECT_EQ(Hex(std::string("温度:24.1℃ 湿度:45.2%RH")), Hex(Brief(81)));
    unit.SetRecordBytes(20);
    EXPECT_EQ(0, PollA()) << "a record that stops short";
    EXPECT_EQ(2, Detail(81));
}

TEST_F(PrecisionE2e, SunriseGos) {
    qxsim::GosUnit unit(1);
    qxsim::GosUnit::Status s;
    s.state = 0x0A;
    s.alarmA = 0x0080;
    unit.Set(s);
    unit.Serve(live);
    ASSERT_NO_FATAL_FAILURE(Points(0x810, 1));
    EXPECT_EQ(32, db.Int("select count(*) from tbSMDef where Type=2064"));
    // An alarm caption that holds a quote is appended intact.
    db.Run("update tbSMDef set Note='high ''T''' where Type=2064 and Fld=14");
    ASSERT_EQ(1, PollA(1 << 13));
    EXPECT_EQ(0, PollB());
    const std::string q = "select temset||','||humset||','||tem||','||hum||','||fj||','||zl||','||zr||','||"
                          "ATemHigh from tbSunrise where SID=";
    EXPECT_EQ("220,500,250,500,1,1,-1,1", db.Str(q + "81"));
    EXPECT_EQ("220,500,250,500,1,1,-1,1", hist.Str(q + "81"));
    EXPECT_EQ(0, Detail(81));
    EXPECT_EQ(Hex(std::string("温度:25.0℃ 湿度:50.0%RH告警:") + "high 'T'"), Hex(Brief(81)));
    EXPECT_EQ(2, Detail(82));
    EXPECT_EQ(0, db.Failures()) << db.Error();

    unit.SetReplyChars(21);
    EXPECT_EQ(0, PollA()) << "a status reply that stops short";
}

TEST_F(PrecisionE2e, SunriseModbus) {
    qxsim::ModbusSlave slave(1);
    const uint16_t regs[8] = {220, 50, 0x0026, 250, 45, 0, 0, 0};
    for (int k = 0; k < 8; k++) slave.SetHolding((uint16_t)(1 + k), regs[k]);
    qxsim::ServeModbusRtu(live, slave);
    ASSERT_NO_FATAL_FAILURE(Points(0x810, 0));
    ASSERT_EQ(1, PollA());
    EXPECT_EQ(0, PollB());
    CheckBoth("tbSunrise", "temset||','||humset||','||tem||','||hum||','||fj||','||cs||','||zr",
              "220,500,250,450,1,1,1");
    for (qxsim::Fault f : {qxsim::Fault::Exception, qxsim::Fault::BadCheck, qxsim::Fault::Short}) {
        live.InjectFault(f);
        EXPECT_EQ(0, PollA()) << (int)f;
    }
    live.InjectFault(qxsim::Fault::Split);
    EXPECT_EQ(1, PollA());
}

TEST_F(PrecisionE2e, DeltaOverModbusAscii) {
    qxsim::ModbusSlave slave(1);
    slave.SetHolding(4312, 235);
    slave.SetHolding(4322, 450);
    slave.SetHolding(2168, 1);
    slave.SetHolding(2852, 1);
    std::atomic<bool> noColon{false};
    qxsim::ServeModbusAscii(live, slave, &noColon);
    ASSERT_NO_FATAL_FAILURE(Points(0x81E, 0));
    EXPECT_EQ(Hex("Cyber QX-Cyber-JADC0110"), Hex(db.Str("select Name from tbSMType where Type=2078")));
    ASSERT_EQ(1, PollA());
    EXPECT_EQ(0, PollB());
    CheckBoth("tbCyberDelta", "Tem||','||Hum||','||RunSt||','||HumRunSt", "235,450,1,1");
    EXPECT_EQ(Hex(std::string("当前温度:23.5°C, 当前湿度:45.0%")), Hex(Brief(81)));
    for (qxsim::Fault f : {qxsim::Fault::Exception, qxsim::Fault::BadCheck, qxsim::Fault::Garbage}) {
        live.InjectFault(f);
        EXPECT_EQ(0, PollA()) << (int)f;
    }
    live.InjectFault(qxsim::Fault::Split);
    EXPECT_EQ(1, PollA()) << "a reply in two pieces";
    noColon = true;
    EXPECT_EQ(1, PollA()) << "replies without ':'";
}

TEST_F(PrecisionE2e, JadcLink) {
    qxsim::JadcUnit unit(1);
    unit.AddBlock(qxsim::JadcUnit::Words('S', 1, {450, 235, 310, 180, 220}));
    unit.AddBlock(qxsim::JadcUnit::Words('U', 11, {1200, 300, 900, 850}));
    unit.AddBlock(qxsim::JadcUnit::Bits(33, {0x23, 0x01, 0x01}));
    unit.Serve(live);
    ASSERT_NO_FATAL_FAILURE(Points(0x81C, 0));
    EXPECT_EQ(9, db.Int("select count(*) from tbSMDef where Type=2076"));
    // Three blocks, then the last again: the poll ends on the repeated head.
    ASSERT_EQ(1, PollA());
    EXPECT_EQ(4, unit.Enquiries());
    EXPECT_EQ(0, PollB());
    CheckBoth("tbCyberJADC0110b",
              "Tem||','||Hum||','||TemExt||','||TemSup||','||TemSet||','||FanRun||','||CompRun2||','||"
              "StOn||','||StComp||','||StFan||','||StEnHum||','||StKey",
              "235,450,310,180,220,1200,850,1,1,1,1,1");
    EXPECT_EQ(Hex(std::string("室内温度:23.5°C, 室内湿度:45.0%")), Hex(Brief(81)));
    EXPECT_EQ(1, db.Int("select St is null from tbSMBrief where SID=81"));
}
