// The single-phase meter HC-311A against the simulated meter's map: its four requests, the
// decode by the factors, what a failure at each read keeps, the rows of tbHC311A, the
// display texts and the relay command.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "PowerMaps.h"
#include "UnitRig.h"
#include "core/SMSql.h"
#include "power/SMHC311A.h"

namespace {

using iotest::Rtu;
using powertest::UnitRig;
using qxsim::ModbusFault;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

typedef CSMHC311A M;

struct MeterRig : UnitRig<M> {
    explicit MeterRig(const qxsim::Hc311a& m = qxsim::Hc311a()) : UnitRig<M>(8, 0x106) {
        qxsim::SetHc311a(slave, m);
    }
};

TEST(HC311A, RequestsAndWaits) {
    MeterRig r;
    ASSERT_EQ(1, r.PollOk(900));
    EXPECT_EQ((std::vector<std::string>{qxtest::Hex(Rtu("01 03 00 00 00 12")),
                                        qxtest::Hex(Rtu("01 04 00 00 00 08")),
                                        qxtest::Hex(Rtu("01 03 00 40 00 10")),
                                        qxtest::Hex(Rtu("01 01 00 00 00 01"))}),
              r.Sent());
    EXPECT_EQ((std::vector<int>{200, 200, 200, 200}), iotest::Sleeps());
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    EXPECT_EQ(4u, r.ch.Written().size());
}

// Values by the factors: voltage and current by their two factors, powers by all four over
// 10000, counters by all four over 12000; truncated toward zero.
TEST(HC311A, DecodeByTheFactors) {
    struct Case {
        const char* what;
        uint16_t ku1, ku2, ki1, ki2;
        uint16_t u;         // input register 0
        uint32_t epTotal;   // holding registers 72-73
        std::vector<std::pair<int, int64_t>> want;  // field, value (unsigned fields as such)
    } cases[] = {
        {"KU 10, KI 10", 1, 10, 1, 10, 22000, 120000000,
         {{M::kAU, 220}, {M::kAI, 5}, {M::kP, 11}, {M::kQ, -2}, {M::kS, 11}, {M::kPF, 980},
          {M::kFR, 5000}, {M::kTemp, 315}, {M::kEpPH, 10000}, {M::kEpNH, 0}, {M::kEqPH, 200},
          {M::kEqNH, 100}, {M::kEpTotal, 1000000}, {M::kEpNet, 0}, {M::kEqTotal, 300},
          {M::kEqNet, 100}, {M::kRelayState, 1}, {M::kKU1, 1}, {M::kKU2, 10}, {M::kKI1, 1},
          {M::kKI2, 10}, {M::kBU, 0}, {M::kAPF, 0}}},
        // Factors 0: every scaled value 0; power factor, frequency, temperature as read.
        {"factors 0", 0, 0, 0, 0, 22000, 120000000,
         {{M::kAU, 0}, {M::kAI, 0}, {M::kP, 0}, {M::kQ, 0}, {M::kS, 0}, {M::kEpPH, 0},
          {M::kEqNet, 0}, {M::kPF, 980}, {M::kFR, 5000}, {M::kTemp, 315}}},
        // Net active energy 0xFFFFFFFF is -1: -1 / 12000 x K, 0 below K 12000.
        {"net -1, K 24000", 24, 10, 10, 10, 22000, 0, {{M::kEpNet, -2}, {M::kEpPH, 2400000}}},
        // A counter beyond 2^31 keeps its unsigned value.
        {"counter 3e9", 100, 100, 100, 1, 22000, 36000000, {{M::kEpTotal, 3000000000LL}}},
        // A product beyond 32 bits does not convert: 0.
        {"voltage overflow", 65535, 65535, 1, 1, 65535, 0,
         {{M::kAU, 0}, {M::kFR, 5000}, {M::kTemp, 315}}},
    };
    for (const Case& c : cases) {
        qxsim::Hc311a m;
        m.ku1 = c.ku1;
        m.ku2 = c.ku2;
        m.ki1 = c.ki1;
        m.ki2 = c.ki2;
        m.u = c.u;
        m.counters[4] = c.epTotal;
        MeterRig r(m);
        ASSERT_EQ(1, r.PollOk()) << c.what;
        for (const auto& w : c.want) {
            EXPECT_EQ((int32_t)(uint32_t)w.second, r.h.DataVal(w.first))
                << c.what << " field " << w.first;
        }
    }
    MeterRig r;
    ASSERT_EQ(1, r.PollOk());
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(38));
    EXPECT_EQ(37, r.h.DataSize());
}

TEST(HC311A, FailureAtEachReadKeepsTheNewFactors) {
    powertest::FailEachRead<M>(
        0x106,
        [](qxsim::ModbusSlave& s, int g) {
            qxsim::Hc311a m;
            m.ku1 = (uint16_t)g;
            m.u = (uint16_t)(22000 + 1000 * g);
            m.counters[0] = 12000u * (uint32_t)g;
            m.relay = g == 2;
            qxsim::SetHc311a(s, m);
        },
        {M::kKU1, M::kAU, M::kEpPH, M::kRelayState}, powertest::Keep::ClearAfterFirst);
}

TEST(HC311A, RowsInBothDatabasesAndSummary) {
    MeterRig r;
    EXPECT_EQ(1, r.hist.Int("select count(*) from sqlite_master where name='tbHC311A'"));
    ASSERT_EQ(1, r.PollOk());
    int bits[1] = {0x7};  // not looked at: no flag columns
    int snap = 9;
    ASSERT_EQ(1, r.h.DataUpd(0x10, bits, &snap, -1, &r.hist));
    const std::string cols =
        "State||'|'||SnapID||'|'||m_uiAU||'|'||m_uiAI||'|'||m_iP||'|'||m_iQ||'|'||m_iPF||'|'||"
        "m_iTemp||'|'||m_iEpPH||'|'||m_iEq_net||'|'||m_uRelayState";
    const std::string row = "select " + cols + " from tbHC311A where SID=8";
    EXPECT_EQ("0|9|2200|50|1100|-200|980|315|1000000|10000|1", r.db.Str(row));
    EXPECT_EQ("0|9|2200|50|1100|-200|980|315|1000000|10000|1", r.hist.Str(row));
    EXPECT_EQ(std::string("电压:220.0V,电流:5.0A"), r.db.Str("select Brief from tbSMBrief where SID=8"));
    EXPECT_EQ(0, r.db.Int("select St from tbSMBrief where SID=8"));

    // No answer: zeros, the factors kept, a summary that says no data and never "normal".
    ASSERT_EQ(1, r.Upd(nullptr));
    EXPECT_EQ("2|0|0|0|0|0|0|0|0|0|0", r.db.Str(row));
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbHC311A where SID=8"));
    EXPECT_EQ(100, r.h.DataVal(M::kKU2));
    std::string brief = r.db.Str("select Brief from tbSMBrief where SID=8");
    EXPECT_EQ(qx::sql::NoAnswerBrief("(故障)"), brief);
    EXPECT_EQ(std::string::npos, brief.find(std::string("正常")));
    EXPECT_EQ(2, r.db.Int("select St from tbSMBrief where SID=8"));
}

TEST(HC311A, DefinitionRows) {
    TestDb db;
    M h;
    h.RegDb(&db, 0);
    EXPECT_EQ(std::string("256|单相导轨式电表 HC-311A|RS-485接口,量程..."),
              db.Str("select Kind||'|'||Name||'|'||Note from tbSMType where Type=262"));
    const char* rows[] = {
        "1|m_uiAU|电压值|10|10|100|最小值|允许最低电压,低于此值告警|380|最大值|允许最高电压,超过此值告警",
        "4|m_uiAI|电流值|10|10|0|最小值|允许最低电流,低于此值告警|100|最大值|允许最高电压,超过此值告警",
        "24|m_iTemp|温度值|10|10|25|最小值|允许最低电流,低于此值告警|65|最大值|允许最高电压,超过此值告警",
    };
    int i = 0;
    for (int fld : {1, 4, 24})
        EXPECT_EQ(std::string(rows[i++]),
                  db.Str("select Fld||'|'||FldName||'|'||Note||'|'||Ratio||'|'||AlmKind||'|'||"
                         "vref||'|'||LoText||'|'||HiLmt||'|'||HiText from tbSMDef where Type=262 "
                         "and Fld=" + std::to_string(fld)));
    EXPECT_EQ(3, db.Int("select count(*) from tbSMDef where Type=262"));
}

TEST(HC311A, DisplayTexts) {
    qxsim::Hc311a m;  // K = 10000
    m.s = 1234;
    MeterRig r(m);
    ASSERT_EQ(1, r.PollOk());
    struct Case {
        const char* ascii;
        const char* gbk;
        const char* text;
    } cases[] = {
        {".Vol", ".电压", "220.0V"},          {".Cur", ".电流", "5.0A"},
        {".APow", ".有功功率", "1.100KW"},    {".RPow", ".无功功率", "-0.200KVar"},
        {".SPow", ".视在功率", "1.234KVar"},  {".PFac", ".功率因素", "0.980"},
        {".Freq", ".频率", "50.00Hz"},        {".Tem", ".模块温度", "31.5°C"},
        {".EpPH", ".正向有功电度", "1000.000KWH"}, {".EpNH", ".反向有功电度", "0.000KWH"},
        {".EqPH", ".感性无功电度", "20.000KWH"},   {".EqNH", ".容性无功电度", "10.000KWH"},
        {".Ep_t", ".和有功电度", "1000.000KWH"},   {".Ep_n", ".净有功电度", "0.000KWH"},
        {".Eq_t", ".和无功电度", "30.000KWH"},     {".Eq_n", ".净无功电度", "10.000KWH"},
        {".RelayState", ".继电器状态", "吸合"},
    };
    for (const Case& c : cases) {
        for (const char* key : {c.ascii, c.gbk}) {
            char text[64];
            snprintf(text, sizeof text, "%s", key);
            EXPECT_EQ((int)strlen(c.text), r.h.VarEval(text)) << c.ascii;
            EXPECT_EQ(std::string(c.text), std::string(text)) << c.ascii;
        }
    }
    r.slave.SetCoil(0, false);
    ASSERT_EQ(1, r.PollOk());
    char text[64] = ".RelayState";
    EXPECT_EQ(4, r.h.VarEval(text));
    EXPECT_EQ(std::string("断开"), std::string(text));
    for (const char* other : {".vol", ".Relay", "", ".m_uiAU"}) {
        snprintf(text, sizeof text, "%s", other);
        EXPECT_EQ(-1, r.h.VarEval(text)) << other;
        EXPECT_EQ(std::string(other), std::string(text));
    }
    EXPECT_EQ(-1, r.h.VarEval(nullptr));
}

// Function 15 on coil 0; the answer is the meter's echo of the request.
TEST(HC311A, RelayCommand) {
    struct Case {
        const char* what;
        int cmd;
        uint8_t value;
        qxtest::Bytes reply;   // empty: the simulated meter answers
        int shortWrite;        // > 0: the write reports this many bytes
        int result;
        const char* sent;      // "" nothing
    } cases[] = {
        {"on", 15 << 16, 1, {}, 0, 1, "01 0F 00 00 00 01 01 01 EF 57"},
        {"off", 15 << 16, 0, {}, 0, 1, "01 0F 00 00 00 01 01 00 2E 97"},
        {"low bits unused", 15 << 16 | 7, 1, {}, 0, 1, "01 0F 00 00 00 01 01 01 EF 57"},
        {"other function", 5 << 16, 1, {}, 0, 0, ""},
        {"exception", 15 << 16, 1, Rtu("01 8F 02"), 0, 0, "01 0F 00 00 00 01 01 01 EF 57"},
        {"not the echo", 15 << 16, 1, Rtu("01 0F 00 00 00 02"), 0, 0,
         "01 0F 00 00 00 01 01 01 EF 57"},
        {"bad CRC", 15 << 16, 1, iotest::BadCrc("01 0F 00 00 00 01"), 0, 0,
         "01 0F 00 00 00 01 01 01 EF 57"},
        {"short write", 15 << 16, 1, {}, 5, 0, "01 0F 00 00 00 01 01 01 EF 57"},
    };
    for (const Case& c : cases) {
        MeterRig r;
        r.slave.SetCoil(0, !c.value);
        if (!c.reply.empty()) r.ch.Reply(c.reply);
        if (c.shortWrite) r.ch.ShortWrite(c.shortWrite);
        uint8_t buf[4] = {c.value, 0, 0, 0};
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, buf, 0)) << c.what;
        EXPECT_EQ(std::string(c.sent), r.ch.Written().empty() ? "" : qxtest::Hex(r.ch.Written()[0]))
            << c.what;
        if (c.result) {
            EXPECT_EQ(c.value != 0, r.slave.Coil(0)) << c.what;
        }
    }
    MeterRig r;
    uint8_t on = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 15 << 16, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 300, 15 << 16, &on, 1));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 15 << 16, &on, 1));
    EXPECT_TRUE(r.ch.Written().empty());
}

}  // namespace
