// The power-plant controllers (transformer temperature controller, generator SCADA, DC power
// system monitor, generator-set controller) against the simulated units' maps: the requests,
// the decodes, what a reply that fails its check keeps at each read, the stored rows and
// summaries, and the commands.
#include <stdint.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "PowerMaps.h"
#include "UnitRig.h"
#include "core/SMSql.h"
#include "power/SMFBJK002G3S.h"
#include "power/SMHC311A.h"
#include "power/SMHgm6300.h"
#include "power/SMPowSCADA.h"
#include "power/SMTransf.h"

namespace {

using iotest::Rtu;
using powertest::FailEachRead;
using powertest::Keep;
using powertest::UnitRig;
using qxsim::ModbusFault;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// ---------------------------------------------------------------- requests

// One good poll of a unit with a given wait: its requests and the waits before the replies.
struct Polled {
    std::vector<std::string> frames;
    std::vector<int> sleeps;
};
template <class H>
Polled PollOnce(int type, int wait) {
    UnitRig<H> r(5, type);
    iotest::Sleeps().clear();
    EXPECT_EQ(1, r.PollOk(wait)) << type;
    return {r.Sent(), iotest::Sleeps()};
}
typedef Polled (*PollOf)(int type, int wait);

TEST(Plant, RequestFrames) {
    struct Row {
        int type;
        PollOf poll;
        std::vector<std::string> frames;
    } rows[] = {
        {0x103, PollOnce<CSMTransf>, {"01 01 00 00 00 04 3D C9", "01 04 00 00 00 04 F1 C9"}},
        {0x104, PollOnce<CSMPowSCADA>,
         {"01 03 00 65 00 10 54 19", qxtest::Hex(Rtu("01 03 00 80 00 0E")),
          qxtest::Hex(Rtu("01 03 00 C7 00 03")), qxtest::Hex(Rtu("01 03 01 2C 00 01"))}},
        {0x105, PollOnce<CSMFBJK002G3S>,
         {"01 04 01 00 00 14 F1 F9", "01 02 01 00 00 05 B9 F5", "01 02 01 30 00 04 78 3A",
          "01 04 01 98 00 04 71 DA", qxtest::Hex(Rtu("01 04 01 B6 00 04")),
          qxtest::Hex(Rtu("01 04 01 D4 00 04")), qxtest::Hex(Rtu("01 04 01 F2 00 04"))}},
        {0x107, PollOnce<CSMHgm6300>,
         {"01 01 00 00 00 58 3D F0", "01 03 00 00 00 10 44 06", "01 03 00 11 00 01 D4 0F",
          "01 03 00 13 00 01 75 CF", "01 03 00 15 00 0E D5 CA"}},
    };
    for (Row& row : rows) EXPECT_EQ(row.frames, row.poll(row.type, 0).frames) << row.type;
}

// Waits before each reply: SCADA `wait` ms (100 ms for 0), the DC monitor only a given wait,
// the generator set 100 ms always, the transformer none.
TEST(Plant, WaitsBeforeReplies) {
    struct Row {
        int type;
        PollOf poll;
        int wait;
        std::vector<int> sleeps;
    } rows[] = {
        {0x104, PollOnce<CSMPowSCADA>, 0, {100, 100, 100, 100}},
        {0x104, PollOnce<CSMPowSCADA>, 250, {250, 250, 250, 250}},
        {0x105, PollOnce<CSMFBJK002G3S>, 0, {}},
        {0x105, PollOnce<CSMFBJK002G3S>, 30, {30, 30, 30, 30, 30, 30, 30}},
        {0x107, PollOnce<CSMHgm6300>, 500, {100, 100, 100, 100, 100}},
        {0x103, PollOnce<CSMTransf>, 500, {}},
    };
    for (Row& row : rows)
        EXPECT_EQ(row.sleeps, row.poll(row.type, row.wait).sleeps) << row.type << " " << row.wait;
}

TEST(Plant, WideAddressOrClosedChannelSendsNothing) {
    UnitRig<CSMTransf> t(5, 0x103);
    UnitRig<CSMPowSCADA> s(5, 0x104);
    UnitRig<CSMFBJK002G3S> f(5, 0x105);
    UnitRig<CSMHgm6300> g(5, 0x107);
    ISMBase* hs[] = {&t.h, &s.h, &f.h, &g.h};
    qxtest::ScriptChannel* chs[] = {&t.ch, &s.ch, &f.ch, &g.ch};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(0, hs[i]->DataGet(chs[i], 256, 0)) << i;
        EXPECT_EQ(0, hs[i]->DataGet(nullptr, 1, 0)) << i;
        chs[i]->SetOpen(false);
        EXPECT_EQ(0, hs[i]->DataGet(chs[i], 1, 0)) << i;
        EXPECT_TRUE(chs[i]->Written().empty()) << i;
    }
}

// ---------------------------------------------------------------- decodes

TEST(Transf, TemperaturesSensorFlagsAndStateBits) {
    UnitRig<CSMTransf> r(5, 0x103);
    qxsim::Transformer t;
    t.tem[0] = 200;       // raw 240: the highest temperature
    t.fault[1] = true;    // raw 241: a sensor fault
    t.rawFault = 241;
    t.tem[2] = -40;       // raw 0
    t.tem[3] = 85;
    t.sensor = true;
    t.fan = false;
    t.alarm = true;
    t.trip = false;
    qxsim::SetTransformer(r.slave, t);
    ASSERT_EQ(1, r.PollOk());
    // TemA..TemI, StSenA..StSenI, StSen, StWind, StAlm, StTrip: the coils are the reply's one
    // status byte (01 01 01 05 CRC), not the CRC after it.
    const int want[12] = {200, 0, -40, 85, 0, 1, 0, 0, 1, 0, 1, 0};
    for (int f = 1; f <= 12; f++) EXPECT_EQ(want[f - 1], r.h.DataVal(f)) << f;
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(13));
    EXPECT_EQ(12, r.h.DataSize());
}

TEST(PowSCADA, FieldNumbersAndDecodes) {
    UnitRig<CSMPowSCADA> r(5, 0x104);
    qxsim::PowScada s;
    s.p = 1;                       // pair 2,000,000,001
    s.qPhase[0] = 0;               // pair 2,000,000,000
    s.qPhase[1] = -2000000000;     // pair 0
    s.qPhase[2] = 5;
    s.q = -1000;
    s.pf = 0;                      // 0x4000
    s.pfPhase[0] = -1000;          // 0x0000
    s.pfPhase[1] = 1000;           // 0x8000
    s.pfPhase[2] = 2000;           // 0xC000
    s.plTenths = 500;              // register 6400
    s.oilTemRaw = 10000;
    s.oilPreRaw = 400;
    s.vbattRaw = 540;
    s.autoOnOff = 0xFFFE;
    qxsim::SetPowScada(r.slave, s);
    r.slave.SetHolding(136, 0xFFFF);  // the low 14 bits do not count
    ASSERT_EQ(1, r.PollOk());
    EXPECT_EQ(24, r.h.DataSize());
    const struct {
        int fld, value;
    } want[] = {
        {0, -1},          {1, -1},     {2, 1},      {3, 0},      {6, -1000},  {7, 0},
        {8, -2000000000}, {9, 5},      {10, 0},     {11, -1000}, {12, 1000},  {13, 2000},
        {14, 2300},       {15, 2310},  {16, 2290},  {17, 2100},  {18, 2200},  {19, 2000},
        {20, 395},       {21, 500},   {22, 2700},  {23, 2},     {24, 500},   {25, -1},
    };
    for (const auto& w : want) EXPECT_EQ(w.value, r.h.DataVal(w.fld)) << w.fld;

    r.slave.SetHolding(200, 0);  // 0 K: a negative temperature
    ASSERT_EQ(1, r.PollOk());
    EXPECT_EQ(-2730, r.h.DataVal(20));
}

TEST(FBJK002G3S, RegistersInputsAndBatteryGroups) {
    UnitRig<CSMFBJK002G3S> r(5, 0x105);
    qxsim::Fbjk f;
    f.faults = 0x15;    // AC, battery, branch
    f.dcLimits = 0x02;  // under-voltage
    qxsim::SetFbjk(r.slave, f);
    for (uint16_t reg = 265; reg <= 271; reg++) r.slave.SetInput(reg, 0xEEEE);  // not used
    r.slave.SetInput(275, 0xEEEE);
    ASSERT_EQ(1, r.PollOk());
    EXPECT_EQ(27, r.h.DataSize());
    const int want[27] = {3800, 3810, 3790, 3805, 3795, 3800, 535, 17,  18,  16,  186, 25,
                          1,    0,    1,    0,    1,    0,    1,   535, 25,  536, 26,  534,
                          24,   535,  25};
    for (int fld = 1; fld <= 27; fld++) EXPECT_EQ(want[fld - 1], r.h.DataVal(fld)) << fld;
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(28));
}

TEST(Hgm6300, CoilsKeptAndRegisters) {
    UnitRig<CSMHgm6300> r(5, 0x107);
    qxsim::Hgm g;  // coils 63, 80, 81, 84, 86 on
    g.coils[0] = 0x05;   // coils 0 and 2: the common alarm and warning
    g.coils[7] |= 0x40;  // coil 62: the last of the low ones
    qxsim::SetHgm(r.slave, g);
    r.slave.SetHolding(0x10, 77);  // never read
    ASSERT_EQ(1, r.PollOk());
    std::vector<int> on;
    for (int fld = 1; fld <= 67; fld++)
        if (r.h.DataVal(fld)) on.push_back(fld);
    // s00, s02, s3e, s54, s56 (coils 63 and 80-83 are not kept)
    EXPECT_EQ((std::vector<int>{1, 3, 63, 64, 66}), on);
    EXPECT_EQ(1000, r.h.DataVal(68));    // r00
    EXPECT_EQ(400, r.h.DataVal(74));     // r06
    EXPECT_EQ(1015, r.h.DataVal(83));    // r0f
    EXPECT_EQ(0, r.h.DataVal(84));       // r10
    EXPECT_EQ(1017, r.h.DataVal(85));    // r11
    EXPECT_EQ(0, r.h.DataVal(86));       // r12
    EXPECT_EQ(0, r.h.DataVal(88));       // r14
    EXPECT_EQ(1034, r.h.DataVal(102));   // r22
    EXPECT_EQ(-1, r.h.DataVal(103));
    EXPECT_EQ(-1, r.h.DataVal(0));
    ASSERT_EQ(1, r.PollOk());
    EXPECT_EQ(0, r.h.DataVal(84));
}

// ---------------------------------------------------------------- failures at each read

TEST(Plant, FailureAtEachReadKeepsWhatTheUnitKeeps) {
    FailEachRead<CSMTransf>(
        0x103,
        [](qxsim::ModbusSlave& s, int g) {
            qxsim::Transformer t;
            t.tem[0] = 50 * g;
            t.sensor = g == 1;
            qxsim::SetTransformer(s, t);
        },
        {CSMTransf::kStSen, CSMTransf::kTemA}, Keep::LastPoll);
    FailEachRead<CSMPowSCADA>(
        0x104,
        [](qxsim::ModbusSlave& s, int g) {
            qxsim::PowScada p;
            p.volts[0] = (uint16_t)(200 + g);
            p.q = 1000 * g;
            p.vbattRaw = (uint16_t)(500 + g);
            p.autoOnOff = (uint16_t)g;
            qxsim::SetPowScada(s, p);
        },
        {14, 6, 22, 23}, Keep::ClearAfterFirst);
    FailEachRead<CSMFBJK002G3S>(
        0x105,
        [](qxsim::ModbusSlave& s, int g) {
            qxsim::Fbjk f;
            f.ac1[0] = (uint16_t)(3800 + g);
            f.faults = (uint8_t)(g == 2 ? 1 : 0);
            f.dcLimits = (uint8_t)(g == 2 ? 1 : 0);
            for (int b = 0; b < 4; b++) f.batt[b][0] = (uint16_t)(530 + 10 * b + g);
            qxsim::SetFbjk(s, f);
        },
        {1, 13, 18, 20, 22, 24, 26}, Keep::ClearAfterFirst);
    FailEachRead<CSMHgm6300>(
        0x107,
        [](qxsim::ModbusSlave& s, int g) {
            qxsim::Hgm h;
            h.coils[0] = (uint8_t)g;
            for (int r = 0; r < 35; r++) h.regs[r] = (uint16_t)(100 * g + r);
            qxsim::SetHgm(s, h);
        },
        {1, 68, 85, 87, 89}, Keep::LastPoll);
}

// ---------------------------------------------------------------- rows and summaries

TEST(Transf, RowsStateAndSummary) {
    UnitRig<CSMTransf> r(5, 0x103);
    qxsim::Transformer t;
    t.tem[0] = 160;
    qxsim::SetTransformer(r.slave, t);
    ASSERT_EQ(1, r.PollOk());
    struct Case {
        int bits;  // alarm bits of the host; -1: none (no answer)
        int flags;
        int state;
        const char* brief;
        const char* row;
    } cases[] = {
        {0, 0, 0, "A相: 160℃(正常),B相: 66℃(正常),C相: 67℃(正常),铁心: 50℃(正常)",
         "160|66|67|50|0|0|0|0|0|1|0|0"},
        {0x1, 0, 1, "A相: 160℃(告警),B相: 66℃(正常),C相: 67℃(正常),铁心: 50℃(正常)",
         "160|66|67|50|0|0|0|0|0|1|0|0"},
        // Bits of the state fields do not enter the state.
        {0xFF0, 0, 0, "A相: 160℃(正常),B相: 66℃(正常),C相: 67℃(正常),铁心: 50℃(正常)",
         "160|66|67|50|0|0|0|0|0|1|0|0"},
        {0, 1, 1, "A相: 160℃(正常),B相: 66℃(正常),C相: 67℃(正常),铁心: 50℃(正常)",
         "160|66|67|50|0|0|0|0|0|1|0|0"},
        {-1, 0, 2, "A相: 0℃(故障),B相: 0℃(故障),C相: 0℃(故障),铁心: 0℃(故障)",
         "0|0|0|0|0|0|0|0|0|0|0|0"},
    };
    const std::string cols =
        "TemA||'|'||TemB||'|'||TemC||'|'||TemI||'|'||StSenA||'|'||StSenB||'|'||StSenC||'|'||"
        "StSenI||'|'||StSen||'|'||StWind||'|'||StAlm||'|'||StTrip";
    for (const Case& c : cases) {
        if (c.bits >= 0) {
            ASSERT_EQ(1, r.PollOk());
        }
        int bits[1] = {c.bits};
        ASSERT_EQ(1, r.Upd(c.bits >= 0 ? bits : nullptr, c.flags)) << c.bits;
        EXPECT_EQ(c.state, r.db.Int("select State from tbTransf where SID=5")) << c.bits;
        EXPECT_EQ(c.row, r.db.Str("select " + cols + " from tbTransf where SID=5")) << c.bits;
        EXPECT_EQ(std::string(c.brief), r.db.Str("select Brief from tbSMBrief where SID=5"))
            << c.bits;
        EXPECT_EQ(c.row, r.hist.Str("select " + cols + " from tbTransf order by DID desc limit 1"))
            << c.bits;
    }
    EXPECT_EQ(5, r.hist.Int("select count(*) from tbTransf where SID=5"));
}

// History rows only where the history database has the table; the result follows the
// statements that ran (1 when none ran), not "1 whatever".
TEST(Transf, HistoryOnlyWithItsTableAndTheResultOfTheRows) {
    qxhost::PointItem item(5, 0x103);
    item.Addr(1);
    CSMTransf h;
    TestDb bare;
    h.DoItem(item, 0);
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, &bare));  // no main database, no table
    EXPECT_EQ(0, bare.Int("select count(*) from sqlite_master where name='tbTransf'"));

    UnitRig<CSMTransf> r(5, 0x103);
    r.db.Run("drop table tbTransf");
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, &bare));  // the current row failed
}

TEST(PowSCADAandFBJK, RowsAndAlarmSummary) {
    UnitRig<CSMPowSCADA> s(5, 0x104);
    qxsim::SetPowScada(s.slave, qxsim::PowScada());
    ASSERT_EQ(1, s.PollOk());
    int bits[1] = {1 << 13 | 1 << 19};  // fields 14 (A相电压) and 20 (冷却液温度)
    ASSERT_EQ(1, s.Upd(bits));
    EXPECT_EQ("0|2300|800|500|15000",  // 80.0 degrees of coolant in tenths
              s.db.Str("select State||'|'||ady||'|'||OilTem||'|'||pl||'|'||zsjgl from tbPowSCADA "
                       "where SID=5"));
    EXPECT_EQ(std::string("告警:A相电压 冷却液温度"), s.db.Str("select Brief from tbSMBrief where SID=5"));
    EXPECT_EQ(0, s.db.Int("select St from tbSMBrief where SID=5"));
    EXPECT_EQ("2300|500", s.hist.Str("select ady||'|'||pl from tbPowSCADA where SID=5"));

    UnitRig<CSMFBJK002G3S> f(6, 0x105);
    qxsim::SetFbjk(f.slave, qxsim::Fbjk());
    ASSERT_EQ(1, f.PollOk());
    int fb[1] = {1 << 6};  // field 7, the bus bar
    ASSERT_EQ(1, f.Upd(fb, 1));
    // Every column, the battery groups included, in both rows.
    const std::string cols = "State||'|'||dyuv1||'|'||tem||'|'||stDCQY||'|'||PBatt1||'|'||PTem4";
    EXPECT_EQ("1|3800|25|0|535|25", f.db.Str("select " + cols + " from tbFBJK002G3S where SID=6"));
    EXPECT_EQ("1|3800|25|0|535|25",
              f.hist.Str("select " + cols + " from tbFBJK002G3S where SID=6"));
    EXPECT_EQ(std::string("告警:母排电压"), f.db.Str("select Brief from tbSMBrief where SID=6"));
    EXPECT_EQ(1, f.db.Int("select St from tbSMBrief where SID=6"));

    // No answer: zeros in every column, the battery groups included, and a summary that says
    // the unit gave no data.
    ASSERT_EQ(1, s.Upd(nullptr));
    ASSERT_EQ(1, f.Upd(nullptr));
    EXPECT_EQ("2|0|0|0|0", s.db.Str("select State||'|'||ady||'|'||OilTem||'|'||pl||'|'||zsjgl from "
                                    "tbPowSCADA where SID=5"));
    EXPECT_EQ("2|0|0|0|0|0", f.db.Str("select " + cols + " from tbFBJK002G3S where SID=6"));
    EXPECT_EQ(
        "2|0|0|0|0|0",
        f.hist.Str("select " + cols + " from tbFBJK002G3S where SID=6 order by DID desc limit 1"));
    for (TestDb* db : {&s.db, &f.db}) {
        std::string brief = db->Str(
            "select Brief from tbSMBrief where SID in (5, 6) order by LastUpd desc limit 1");
        EXPECT_EQ(qx::sql::NoAnswerBrief("(故障)"),
                  db->Str("select Brief from tbSMBrief where St=2"));
        EXPECT_EQ(std::string::npos, brief.find(std::string("正常")));
    }
}

TEST(Hgm6300, RowsSummaryAndNoAnswer) {
    UnitRig<CSMHgm6300> r(5, 0x107);
    qxsim::SetHgm(r.slave, qxsim::Hgm());
    ASSERT_EQ(1, r.PollOk());
    int bits[1] = {0};
    int snap = 42;
    ASSERT_EQ(1, r.h.DataUpd(0x10, bits, &snap, -1, &r.hist));
    EXPECT_EQ("0|42|0|0|1|1|1000|400|0|1034",
              r.db.Str("select State||'|'||SnapID||'|'||s00||'|'||s01||'|'||s54||'|'||s56||'|'||"
                       "r00||'|'||r06||'|'||r10||'|'||r22 from tbHgm where SID=5"));
    // The history row carries the registers in the same order as the current row.
    std::string regs;
    for (int i = 0; i <= 0x22; i++) {
        char c[16];
        snprintf(c, sizeof c, "%sr%02x", i ? "||'|'||" : "", i);
        regs += c;
    }
    EXPECT_EQ(r.db.Str("select " + regs + " from tbHgm where SID=5"),
              r.hist.Str("select " + regs + " from tbHgm where SID=5"));
    EXPECT_EQ(std::string("发电AB相电压400V,发电BC相电压401V,发电CA相电压399V"),
              r.db.Str("select Brief from tbSMBrief where SID=5"));

    ASSERT_EQ(1, r.Upd(nullptr));
    EXPECT_EQ("2|0|0|0",
              r.db.Str("select State||'|'||s00||'|'||r06||'|'||r22 from tbHgm where SID=5"));
    EXPECT_EQ(qx::sql::NoAnswerBrief("(故障)"), r.db.Str("select Brief from tbSMBrief where SID=5"));
    EXPECT_EQ(0, r.h.DataVal(74));

    CSMHgm6300 bare;
    TestDb hist;
    bare.SetDb(&hist, 1);
    qxhost::PointItem item(5, 0x107);
    EXPECT_EQ(0, bare.ChkDb(item));  // the main database is needed
}

TEST(Plant, DefinitionRows) {
    struct Row {
        int type;
        std::function<void(IDbBase*)> reg;
        int defs;
        const char* typeRow;
        const char* sample;  // one row as "Fld|FldName|Note|div|kind|low|lowText|high|highText"
        int sampleFld;
    } rows[] = {
        {0x103,
         [](IDbBase* db) {
             CSMTransf h;
             h.RegDb(db, 0);
         },
         12, "256|变压器温控模块 QX-Transf|485接口...",
         "1|TemA|A相温度|1|6|30|A相温度低于min告警|150|A相温度高于max告警", 1},
        {0x104,
         [](IDbBase* db) {
             CSMPowSCADA h;
             h.RegDb(db, 0);
         },
         8, "260|SCADA发电机 QX-PowSCADA|485接口",
         "14|Ady|A相电压|10|7|100|A相电压低于Vmin告警|3900|A相电压高于Vmax告警", 14},
        {0x105,
         [](IDbBase* db) {
             CSMFBJK002G3S h;
             h.RegDb(db, 0);
         },
         18, "261|FBJK002G-3S-48V监控后台 QX-FBJK002G3S|485接口",
         "7|dymp|母排电压|10|6|2000|最小值,低于此值告警|250|最大值,超过此值告警", 7},
        {0x107,
         [](IDbBase* db) {
             CSMHgm6300 h;
             h.RegDb(db, 0);
         },
         4, "3584|发电机 SMHGM6300|485接口...", "4|s03|公共电气跳闸报警|1|1|0|0正常|0|", 4},
    };
    for (Row& row : rows) {
        TestDb db;
        row.reg(&db);
        const std::string type = std::to_string(row.type);
        EXPECT_EQ(row.defs, db.Int("select count(*) from tbSMDef where Type=" + type)) << type;
        EXPECT_EQ(std::string(row.typeRow),
                  db.Str("select Kind||'|'||Name||'|'||Note from tbSMType where Type=" + type))
            << type;
        EXPECT_EQ(
            std::string(row.sample),
            db.Str("select Fld||'|'||FldName||'|'||Note||'|'||Ratio||'|'||AlmKind||'|'||vref||'|'||"
                   "LoText||'|'||HiLmt||'|'||HiText from tbSMDef where Type=" +
                   type + " and Fld=" + std::to_string(row.sampleFld)))
            << type;
    }
    // The DC monitor has no row for its temperature (field 12).
    TestDb db;
    CSMFBJK002G3S f;
    f.RegDb(&db, 0);
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=261 and Fld=12"));
    EXPECT_EQ(19, db.Int("select max(Fld) from tbSMDef where Type=261"));
}

// ---------------------------------------------------------------- the units in trouble

// The oil pressure is kept in tenths of its unit, as its row divides by 10 (limits 35.0 and
// 700.0), 1/8 of a unit a register step: raw 400 is 50.0 units, stored 500 (once 5000, which
// read 500.0 and hid a low pressure of 20.0 units as 200.0).
TEST(PowSCADA, OilPressureInTenthsAsItsRowReads) {
    struct Case {
        uint16_t raw;
        int stored;
        const char* out;  // fields out of limits
    } cases[] = {
        {400, 500, ""},
        {2800, 3500, ""},
        {280, 350, ""},             // the low limit itself
        {160, 200, "OilPre(21)"},   // 20.0: low
        {5700, 7125, "OilPre(21)"}, // 712.5: high
        {0, 0, "OilPre(21)"},
    };
    for (const Case& c : cases) {
        UnitRig<CSMPowSCADA> r(5, 0x104);
        qxsim::PowScada p;
        p.oilPreRaw = c.raw;
        qxsim::SetPowScada(r.slave, p);
        EXPECT_EQ(c.out, r.HostPoll()) << c.raw;
        EXPECT_EQ(c.stored, r.h.DataVal(21)) << c.raw;
        EXPECT_EQ(c.stored, r.db.Int("select OilPre from tbPowSCADA where SID=5")) << c.raw;
    }
}

// A phase whose sensor is faulty has no temperature: its summary part carries the no-data
// mark, not an alarm on 0 degrees; the sensor's own field is the alarm.
TEST(Transf, AFaultySensorsPhaseHasNoReading) {
    UnitRig<CSMTransf> r(5, 0x103);
    qxsim::Transformer t;
    t.tem[0] = 160;
    t.fault[1] = true;
    qxsim::SetTransformer(r.slave, t);
    EXPECT_EQ("TemA(1),TemB(2),StSenB(6)", r.HostPoll());
    EXPECT_EQ(1, r.db.Int("select State from tbTransf where SID=5"));
    EXPECT_EQ(std::string("A相: 160℃(告警),B相: 0℃(故障),C相: 67℃(正常),铁心: 50℃(正常)"),
              r.db.Str("select Brief from tbSMBrief where SID=5"));
}

// Each unit in the states devsim serves it in trouble (qxsim::Alarm...), polled as the host
// polls: the fields its faults put out of limits, the stored state and the summary.
template <class H, class M>
std::vector<std::string> AlarmPoll(int type, const M& m, void (*set)(qxsim::ModbusSlave&, const M&),
                                   const char* table) {
    UnitRig<H> r(5, type);
    set(r.slave, m);
    const std::string out = r.HostPoll();
    return {out, r.db.Str(std::string("select State from ") + table + " where SID=5"),
            r.db.Str("select Brief from tbSMBrief where SID=5")};
}
template <class M>
M Alarmed(void (*alarm)(M&, int), int state) {
    M m;
    alarm(m, state);
    return m;
}

TEST(Plant, AlarmStatesReachTheHost) {
    struct Case {
        const char* what;
        std::function<std::vector<std::string>()> poll;
        std::vector<std::string> want;  // fields out of limits, state, summary
    } cases[] = {
        {"transformer overheated",
         [] {
             return AlarmPoll<CSMTransf>(0x103, Alarmed(qxsim::AlarmTransformer, 1),
                                         qxsim::SetTransformer, "tbTransf");
         },
         {"TemA(1),TemB(2),TemC(3),TemI(4),StAlm(11),StTrip(12)", "1",
          "A相: 172℃(告警),B相: 168℃(告警),C相: 171℃(告警),铁心: 155℃(告警)"}},
        {"transformer sensors off",
         [] {
             return AlarmPoll<CSMTransf>(0x103, Alarmed(qxsim::AlarmTransformer, 2),
                                         qxsim::SetTransformer, "tbTransf");
         },
         {"TemA(1),TemB(2),TemC(3),TemI(4),StSenA(5),StSenB(6),StSenC(7),StSenI(8),StSen(9)", "1",
          "A相: 0℃(故障),B相: 0℃(故障),C相: 0℃(故障),铁心: 0℃(故障)"}},
        {"generator: phase C lost, oil pressure low, coolant cold",
         [] {
             return AlarmPoll<CSMPowSCADA>(0x104, Alarmed(qxsim::AlarmPowScada, 1),
                                           qxsim::SetPowScada, "tbPowSCADA");
         },
         {"Cdy(16),Cdl(19),OilTem(20),OilPre(21)", "1", "告警:C相电压 C相电流 冷却液温度..."}},
        {"DC system: mains lost",
         [] {
             return AlarmPoll<CSMFBJK002G3S>(0x105, Alarmed(qxsim::AlarmFbjk, 1), qxsim::SetFbjk,
                                             "tbFBJK002G3S");
         },
         {"dyuv1(1),dyvw1(2),dywu1(3),dyuv2(4),dyvw2(5),dywu2(6),dymp(7),stAC(13),stDC(14),"
          "stBatt(15),stMod(16),stPart(17),stDCQY(19)",
          "1", "告警:一路交流UV电压 一路交流VW电压 一路交流WU电压..."}},
        {"DC system: over-voltage while recharging",
         [] {
             return AlarmPoll<CSMFBJK002G3S>(0x105, Alarmed(qxsim::AlarmFbjk, 2), qxsim::SetFbjk,
                                             "tbFBJK002G3S");
         },
         {"dyuv1(1),dyvw1(2),dywu1(3),dyuv2(4),dyvw2(5),dywu2(6),dymp(7),dlA(8),dlB(9),dlC(10),"
          "dlfc(11),stMod(16),stDCGY(18)",
          "1", "告警:一路交流UV电压 一路交流VW电压 一路交流WU电压..."}},
        {"generator set stopped on its alarms",
         [] {
             return AlarmPoll<CSMHgm6300>(0x107, Alarmed(qxsim::AlarmHgm, 1), qxsim::SetHgm, "tbHgm");
         },
         {"s00(1),s01(2),s02(3),s03(4)", "1", "发电AB相电压0V,发电BC相电压0V,发电CA相电压0V"}},
        {"single-phase meter overloaded",
         [] {
             return AlarmPoll<CSMHC311A>(0x106, Alarmed(qxsim::AlarmHc311a, 1), qxsim::SetHc311a,
                                         "tbHC311A");
         },
         {"m_uiAU(1),m_uiAI(4),m_iTemp(24)", "1", "电压:220.0V,电流:12.5A"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, c.poll()) << c.what;
}

// ---------------------------------------------------------------- commands

TEST(Hgm6300, CoilCommandsAnsweredByTheEcho) {
    struct Case {
        int cmd;
        qxtest::Bytes reply;  // empty: the simulated controller answers
        int result;
        const char* sent;     // "" nothing
    } cases[] = {
        {30, {}, 1, "01 05 00 00 FF 00 8C 3A"},
        {31, {}, 1, "01 05 00 01 FF 00 DD FA"},
        {32, {}, 0, ""},
        {30, Rtu("01 85 02"), 0, "01 05 00 00 FF 00 8C 3A"},            // exception
        {30, Rtu("01 05 00 00 00 00"), 0, "01 05 00 00 FF 00 8C 3A"},    // not the echo
        {31, iotest::BadCrc("01 05 00 01 FF 00"), 0, "01 05 00 01 FF 00 DD FA"},
    };
    for (const Case& c : cases) {
        UnitRig<CSMHgm6300> r(5, 0x107);
        if (!c.reply.empty()) r.ch.Reply(c.reply);
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, nullptr, 0)) << c.cmd;
        EXPECT_EQ(std::string(c.sent), r.ch.Written().empty() ? "" : qxtest::Hex(r.ch.Written()[0]))
            << c.cmd;
        if (c.result) {
            EXPECT_TRUE(r.slave.Coil((uint16_t)(c.cmd - 30)));
        }
    }
}

TEST(Plant, UnitsWithoutCommandsSendNothing) {
    UnitRig<CSMTransf> t(5, 0x103);
    UnitRig<CSMPowSCADA> s(5, 0x104);
    UnitRig<CSMFBJK002G3S> f(5, 0x105);
    int v = 1;
    for (int cmd : {0, 1, 30, 128}) {
        EXPECT_EQ(0, t.h.DoFunc(&t.ch, 1, cmd, &v, 4));
        EXPECT_EQ(0, s.h.DoFunc(&s.ch, 1, cmd, &v, 4));
        EXPECT_EQ(0, f.h.DoFunc(&f.ch, 1, cmd, &v, 4));
    }
    EXPECT_TRUE(t.ch.Written().empty() && s.ch.Written().empty() && f.ch.Written().empty());
}

}  // namespace
