// Whole polls of every meter model through the loaded plug-ins: the simulated meter of the
// model holds one reading in its own registers, the handler reads it over a pseudo-terminal
// (model 13 over loopback TCP) and the rows in SQLite carry the reading back; beside an
// answering meter a silent one is marked as not answering.
#include <string>
#include <vector>

#include "E2eRig.h"
#include "GbkText.h"
#include "MeterModels.h"
#include "ModbusSlave.h"
#include "NetSim.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

using qxsim::MeterReading;

const char* const kColumns[MeterReading::kFields] = {
    "Ygzdn", "Zyggl", "Ayggl", "Byggl", "Cyggl", "Zwggl", "Awggl", "Bwggl",
    "Cwggl", "Zszgl", "Aszgl", "Bszgl", "Cszgl", "Zglys", "Aglys", "Bglys",
    "Cglys", "Pl",    "Ady",   "Bdy",   "Cdy",   "Adl",   "Bdl",   "Cdl"};

// The stored row of a point: the state, then every value column (in the history database
// the row stored last).
std::string Row(TestDb& db, int sid) {
    std::string q = "select State";
    for (const char* c : kColumns) q += std::string("||'|'||") + c;
    return db.Str(q + " from tbElec where SID=" + std::to_string(sid) + " order by DID desc");
}

// The row expected after a good poll: the reading where the model's meter holds it in a
// form the handler reads back, the stored value as it stands elsewhere (fields the model
// does not have, or takes unscaled).
std::string Expected(const std::string& stored, uint32_t readable, const MeterReading& r) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t bar = stored.find('|', at);
        parts.push_back(stored.substr(at, bar == std::string::npos ? bar : bar - at));
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    std::string out = "0";
    for (int f = 1; f <= MeterReading::kFields; f++)
        out += "|" + ((readable >> (f - 1) & 1) ? std::to_string(r[f])
                                                : (f < (int)parts.size() ? parts[f] : "?"));
    return out;
}

class MeterModels : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        h = rig.Handler(0x100);
        ASSERT_NE(nullptr, h);
    }
    void TearDown() override {
        rig.Close();
        pty.Stop();
        tcp.Stop();
    }
    // False when the test cannot go on (skipped without a pseudo-terminal, or a failure).
    bool StartPty() {
        qxsim::ServeModbusRtu(pty, slave);
        if (!pty.Start()) return false;
        ch = rig.Channel(pty.Definition());
        return ch != nullptr;
    }
    qxhost::PointItem* Point(int sid, int model, int addr, int ext1 = 0, int ext2 = 0) {
        items.emplace_back(new qxhost::PointItem(sid, 0x100));
        qxhost::PointItem* p = items.back().get();
        const std::string name = "M" + std::to_string(sid);
        p->Name(name.c_str())
            .Port(ch->GetType() & 0xFFFF)
            .Addr(addr)
            .Variant(model)
            .Ext(ext1, ext2)
            .Ser(ch);
        rig.AddPoint(h, *p);
        return p;
    }
    int Poll(qxhost::PointItem* p) {
        int bits[1] = {0};
        return rig.Poll(h, *p, ch, bits);
    }

    qxtest::E2eRig rig;
    qxsim::ModbusSlave slave{1};
    qxsim::PtySim pty;
    qxsim::TcpSim tcp;
    ISMBase* h = nullptr;
    ISerBase* ch = nullptr;
    std::vector<std::unique_ptr<qxhost::PointItem>> items;
};

// Every model over Modbus RTU: the reading of a sound meter of the model comes back in both
// databases, with the voltage and the current of every phase the model has (the single-phase
// models 12, 26 and 30 phase A only), and within the default limits of their rows. Model 32
// keeps no phase C current.
TEST_F(MeterModels, EveryRtuModelIntoSqlite) {
    if (!StartPty()) GTEST_SKIP() << "no pseudo-terminal available";
    const int models[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 14, 15, 16, 17, 18,
                          19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34};
    for (int model : models) {
        slave.ClearMap();
        const MeterReading r = qxsim::SoundMeterReading(model);
        const uint32_t readable = qxsim::SetMeterModel(slave, model, r);
        const int phases = model == 12 || model == 26 || model == 30 ? 1 : 3;
        for (int k = 0; k < phases; k++) {
            const int u = MeterReading::kAdy + k, i = MeterReading::kAdl + k;
            EXPECT_TRUE(readable >> (u - 1) & 1) << model << " voltage " << k;
            EXPECT_TRUE(readable >> (i - 1) & 1 || (model == 32 && k == 2)) << model << " current " << k;
            EXPECT_TRUE(r[u] >= 100 && r[u] <= 3900) << model << " voltage " << k;  // 10.0-390.0 V
            EXPECT_TRUE(r[i] >= 100 && r[i] <= 25000) << model << " current " << k;  // 1.00-250.00 A
        }
        // Model 1 counts energy in tenths of Ext2, model 4 in units of Ext2.
        const int ext2 = model == 1 ? 10 : model == 4 ? 1 : 0;
        const int sid = 100 + model;
        qxhost::PointItem* p = Point(sid, model, 1, 0, ext2);
        ASSERT_EQ(1, Poll(p)) << model;
        const std::string row = Row(rig.db, sid);
        EXPECT_EQ(Expected(row, readable, r), row) << model;
        EXPECT_EQ(row, Row(rig.hist, sid)) << model;
        EXPECT_EQ(0, rig.db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid)))
            << model;
    }
}

// Model 13 over loopback TCP: MBAP requests with transaction ids counting over every point
// of the model; a second meter that never answers (another unit id) is marked silent.
TEST_F(MeterModels, Model13OverTcpBesideASilentMeter) {
    qxsim::ServeModbusTcp(tcp, slave);
    ASSERT_TRUE(tcp.Start());
    ch = rig.Channel(tcp.Definition(), 0x200009);
    ASSERT_NE(nullptr, ch);
    ch->SetTimeout(10, 300);
    const MeterReading r = MeterReading::Typical();
    const uint32_t readable = qxsim::SetMeterModel(slave, 13, r);
    qxhost::PointItem* meter = Point(51, 13, 1);
    qxhost::PointItem* silent = Point(52, 13, 2);
    ASSERT_EQ(1, Poll(meter));
    EXPECT_EQ(0, Poll(silent));
    ASSERT_EQ(1, Poll(meter));
    const std::string row = Row(rig.db, 51);
    EXPECT_EQ(Expected(row, readable, r), row);
    EXPECT_EQ("2|0|0", rig.db.Str("select State||'|'||Ady||'|'||Adl from tbElec where SID=52"));
    EXPECT_EQ(2, rig.db.Int("select State from tbSubSysDetail where SID=52"));
    std::vector<int> tids;
    for (const qxsim::Bytes& q : tcp.Requests()) tids.push_back(q[0] << 8 | q[1]);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), tids);
}

// A float meter whose voltage register holds a NaN and whose current holds an infinity:
// those fields store 0, the rest of the reading comes through; word-swapped singles (model
// 23) read as the meter holds them.
TEST_F(MeterModels, FloatsThatAreNotNumbers) {
    if (!StartPty()) GTEST_SKIP() << "no pseudo-terminal available";
    const MeterReading r = MeterReading::Typical();
    qxsim::SetMeterModel(slave, 16, r);
    qxsim::SetMeterFloat(slave, 3, 10, __builtin_nanf(""), false);
    qxsim::SetMeterFloat(slave, 3, 24, __builtin_inff(), false);
    qxhost::PointItem* p = Point(71, 16, 1);
    ASSERT_EQ(1, Poll(p));
    EXPECT_EQ("0|0|2210|1500|0|1520|3300|1234000",
              rig.db.Str("select State||'|'||Ady||'|'||Bdy||'|'||Adl||'|'||Bdl||'|'||Cdl||'|'||"
                         "Ayggl||'|'||Ygzdn from tbElec where SID=71"));
    slave.ClearMap();
    qxsim::SetMeterModel(slave, 23, r);
    qxsim::SetMeterFloat(slave, 3, 32, -1250.5f, true);
    qxhost::PointItem* swapped = Point(72, 23, 1);
    ASSERT_EQ(1, Poll(swapped));
    EXPECT_EQ("0|-1250|3400|2200",
              rig.db.Str("select State||'|'||Ayggl||'|'||Byggl||'|'||Ady from tbElec where SID=72"));
}

// Model 32's frequency (415-416) and energy (417-418) follow the power factors: the meter
// serves them and the handler asks that far, so both are stored.
TEST_F(MeterModels, Model32FrequencyAndEnergy) {
    if (!StartPty()) GTEST_SKIP() << "no pseudo-terminal available";
    const MeterReading r = MeterReading::Typical();
    const uint32_t readable = qxsim::SetMeterModel(slave, 32, r);
    EXPECT_TRUE(readable >> (MeterReading::kPl - 1) & 1);
    EXPECT_TRUE(readable >> (MeterReading::kYgzdn - 1) & 1);
    EXPECT_EQ(1234000u, (uint32_t)slave.Holding(417) << 16 | slave.Holding(418));
    qxhost::PointItem* p = Point(81, 32, 1);
    ASSERT_EQ(1, Poll(p));
    for (TestDb* d : {&rig.db, &rig.hist})
        EXPECT_EQ("0|5000|1234000|2200|1500",
                  d->Str("select State||'|'||Pl||'|'||Ygzdn||'|'||Ady||'|'||Adl from tbElec "
                         "where SID=81"));
    char text[32] = ".pl";
    EXPECT_GT(h->VarEval(text), 0);
    EXPECT_STREQ("50.000Hz", text);
}

// The float models keep power factors in thousandths as every other model does: the meter's
// 0.95 is stored as 950 and shown as 0.950.
TEST_F(MeterModels, FloatPowerFactorsInThousandths) {
    if (!StartPty()) GTEST_SKIP() << "no pseudo-terminal available";
    const MeterReading r = MeterReading::Typical();  // every power factor 0.950
    for (int model : {16, 20, 22, 24, 25, 31}) {
        slave.ClearMap();
        qxsim::SetMeterModel(slave, model, r);
        const int sid = 200 + model;
        qxhost::PointItem* p = Point(sid, model, 1);
        ASSERT_EQ(1, Poll(p)) << model;
        for (TestDb* d : {&rig.db, &rig.hist})
            EXPECT_EQ("950|950|950|950",
                      d->Str("select Zglys||'|'||Aglys||'|'||Bglys||'|'||Cglys from tbElec "
                             "where SID=" + std::to_string(sid)))
                << model;
        for (const char* key : {".zglys", ".aglys", ".bglys", ".cglys"}) {
            char text[32];
            snprintf(text, sizeof text, "%s", key);
            EXPECT_GT(h->VarEval(text), 0) << model << key;
            EXPECT_STREQ("0.950", text) << model << key;
        }
    }
}

// The models that keep their values through a failed poll (11, 20, 21): after a good poll
// the meter falls silent; the current row keeps the last reading with state 2 and the
// summary names the lost link instead of the old readings.
TEST_F(MeterModels, SilentKeepingMeterSaysTheLinkIsLost) {
    if (!StartPty()) GTEST_SKIP() << "no pseudo-terminal available";
    ch->SetTimeout(10, 300);
    const MeterReading r = MeterReading::Typical();
    for (int model : {11, 20, 21}) {
        slave.ClearFault();
        slave.ClearMap();
        qxsim::SetMeterModel(slave, model, r);
        const int sid = 300 + model;
        const std::string where = " where SID=" + std::to_string(sid);
        qxhost::PointItem* p = Point(sid, model, 1);
        ASSERT_EQ(1, Poll(p)) << model;
        const std::string good = Row(rig.db, sid);
        ASSERT_EQ('0', good[0]) << model;
        EXPECT_EQ("A相: 220.0V 15.00A,B相: 221.0V 15.10A,C相: 222.0V 15.20A",
                  qxtest::Utf8(rig.db.Str("select Brief from tbSMBrief" + where)))
            << model;

        slave.SetFault(qxsim::ModbusFault::Silence);
        EXPECT_EQ(0, Poll(p)) << model;
        EXPECT_EQ("2" + good.substr(1), Row(rig.db, sid)) << model;
        EXPECT_EQ("通讯中断", qxtest::Utf8(rig.db.Str("select Brief from tbSMBrief" + where)))
            << model;
        EXPECT_EQ(2, rig.db.Int("select State from tbSubSysDetail" + where)) << model;
        EXPECT_EQ("2" + good.substr(1), Row(rig.hist, sid)) << model;
    }
}

// Two meters of different models on one line, an integer one answering and a float one
// silent; then the silent one answers and the first fails: each keeps its own rows.
TEST_F(MeterModels, TwoModelsOnOneLineOneSilent) {
    if (!StartPty()) GTEST_SKIP() << "no pseudo-terminal available";
    ch->SetTimeout(10, 300);
    const MeterReading r = MeterReading::Typical();
    qxsim::SetMeterModel(slave, 17, r);
    qxhost::PointItem* answering = Point(61, 17, 1);
    qxhost::PointItem* silent = Point(62, 9, 2);
    ASSERT_EQ(1, Poll(answering));
    EXPECT_EQ(0, Poll(silent));
    EXPECT_EQ("0|2200|1500", rig.db.Str("select State||'|'||Ady||'|'||Adl from tbElec where SID=61"));
    EXPECT_EQ("2|0|0", rig.db.Str("select State||'|'||Ady||'|'||Adl from tbElec where SID=62"));
    EXPECT_EQ(2, rig.db.Int("select State from tbSubSysDetail where SID=62"));
    EXPECT_EQ(0, rig.db.Int("select State from tbSubSysDetail where SID=61"));
}

}  // namespace
