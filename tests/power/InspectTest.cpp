// The battery inspection units ADU1000 (YD/T 1363, floats) and DB100 (Modbus holding
// registers): their requests, the decoding of their replies, the replies refused, the rows and
// summaries of an update and the display keys.
#include <string.h>

#include <string>
#include <vector>

#include "BattMonitor.h"
#include "GbkText.h"
#include "HostLimits.h"
#include "Limits.h"
#include "TestRig.h"
#include "YdRefusals.h"
#include "YdtDevice.h"
#include "core/SMSql.h"
#include "power/SMADU1000.h"
#include "power/SMDb100.h"

namespace {

using iotest::BadCrc;
using iotest::Bytes;
using iotest::Rtu;
using qxtest::Hex;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes Chars(const std::string& s) { return Bytes(s.begin(), s.end()); }
// GBK texts are compared as hexadecimal bytes.
std::string Hex(const std::string& s) { return qxtest::Hex(Chars(s)); }

std::string Eval(ISMBase& h, const char* key) {
    char text[64];
    snprintf(text, sizeof text, "%s", key);
    return h.VarEval(text) < 0 ? "-1" : text;
}

std::string Brief(TestDb& db, int sid) {
    return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
}

// ---------------------------------------------------------------- ADU1000

using AduRig = iotest::Rig<CSMADU1000>;

// A reply of the unit at address 1 with the given INFO (RTN 00).
Bytes AduReply(const std::string& info) { return Chars(qxsim::YdtFrame(0x20, 1, 0x46, 0x00, info)); }

// The INFO of a reply whose cell 1, current 1, temperature 1 and total 1 all carry the same
// 8 characters, the other values those of the simulated unit.
std::string AduInfoWith(const std::string& chars) {
    std::string info = qxsim::Adu1000Info(qxsim::Adu1000());
    for (int at : {17, 429, 447, 411}) info.replace((size_t)at - 13, 8, chars);
    return info;
}

TEST(Adu1000, Requests) {
    const struct {
        int addr;
        const char* frame;
    } cases[] = {{1, "~20014641E00201FD36\r"}, {0xFF, "~20FF4641E00201FD0B\r"}};
    for (const auto& c : cases) {
        AduRig r(7, 0x401);
        r.ch.Silence();
        EXPECT_EQ(0, r.h.DataGet(&r.ch, c.addr, 0));
        ASSERT_EQ(1u, r.ch.Written().size());
        EXPECT_EQ(c.frame, Text(r.ch.Written()[0]));
        EXPECT_EQ(1, r.ch.Purges()) << "purged before the request";
    }
    AduRig r(7, 0x401);
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 0x101, 0));  // beyond the ADR byte: nothing sent
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(Adu1000, Floats) {
    // The same characters as cell 1 (field 4), current 1 (2), temperature 1 (3), total 1 (1).
    const struct {
        const char* what;
        std::string chars;
        int cell, curr, temp, total;
    } cases[] = {
        {"pi", "DB0F4940", 3141, 314, 31, 314},
        {"pi, sign bit set", "DB0F49C0", 3141, 314, 31, 314},
        {"zero", "00000000", 0, 0, 0, 0},
        {"2.01 truncated after its text", qxsim::YdtFloat(2.01f), 2009, 200, 20, 200},
        {"70: 70000 does not fit", qxsim::YdtFloat(70.0f), 0, 7000, 700, 7000},
        {"655.36: 65536 hundredths do not fit", qxsim::YdtFloat(655.36f), 0, 0, 6554, 0},
        {"NaN", "0000C07F", 0, 0, 0, 0},
        {"infinity", "0000807F", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        AduRig r(7, 0x401);
        r.ch.Reply(AduReply(AduInfoWith(c.chars)));
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ(c.cell, r.h.DataVal(4)) << c.what;
        EXPECT_EQ(c.curr, r.h.DataVal(2)) << c.what;
        EXPECT_EQ(c.temp, r.h.DataVal(3)) << c.what;
        EXPECT_EQ(c.total, r.h.DataVal(1)) << c.what;
        // The rest of the reply is decoded whatever one value held.
        EXPECT_EQ(13310, r.h.DataVal(5)) << c.what;
        EXPECT_EQ(32004, r.h.DataVal(53)) << c.what;
        EXPECT_EQ(125, r.h.DataVal(54)) << c.what;
        EXPECT_EQ(246, r.h.DataVal(55)) << c.what;
        EXPECT_EQ(1000, r.h.DataVal(56)) << c.what;
        EXPECT_EQ(49, r.h.DataVal(57)) << c.what;
        EXPECT_EQ(4, r.h.DataVal(58)) << c.what;
    }
    AduRig r(7, 0x401);
    for (int fld : {0, 59, -1}) EXPECT_EQ(-1, r.h.DataVal(fld)) << fld;
}

TEST(Adu1000, MalformedRepliesAreRefused) {
    const std::string good = Text(AduReply(qxsim::Adu1000Info(qxsim::Adu1000())));
    std::vector<std::pair<std::string, std::string>> cases;
    for (const qxtest::YdRefusal& f : qxtest::YdRefusals()) {
        qxsim::YdtDevice d(1, 0x46, 0x20);
        qxsim::SetAdu1000(d, qxsim::Adu1000());
        d.FaultOnce(f.fault, f.param);
        cases.push_back({f.what, d.Handle("~20014641E00201FD36\r")});
    }
    cases.push_back({"469 characters", good.substr(0, 468) + "\r"});
    cases.push_back({"one character more before the CR",
                     qxsim::YdtFrame(0x20, 1, 0x46, 0, qxsim::Adu1000Info(qxsim::Adu1000()) + "00")});
    std::string blank = good;
    blank[100] = ' ';
    cases.push_back({"a blank in a value", blank});
    for (const auto& c : cases) {
        AduRig r(7, 0x401);
        r.ch.Reply(AduReply(AduInfoWith("DB0F4940")));
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
        r.ch.Reply(Chars(c.second));
        EXPECT_EQ(0, r.h.DataGet(&r.ch, 1, 0)) << c.first;
        EXPECT_EQ(3141, r.h.DataVal(4)) << c.first << ": the values of the last poll stay";
    }
}

TEST(Adu1000, WhatAnEarlierReplyLeftIsNotRead) {
    // Input waiting before the request: purged, so this poll reads its own reply.
    AduRig r(7, 0x401);
    r.ch.Inject(Chars(qxsim::YdtFrame(0x20, 1, 0x46, 0, AduInfoWith("00000000"))));
    r.ch.Reply(AduReply(AduInfoWith("DB0F4940")));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ(3141, r.h.DataVal(4));

    // Characters trailing a whole reply are left unread; the next poll does not take them for
    // the start of its reply.
    r.ch.ReplyChunks({AduReply(AduInfoWith("00000000")), Chars("~2001460")});
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ(0, r.h.DataVal(4));
    r.ch.Reply(AduReply(AduInfoWith("DB0F4940")));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ(3141, r.h.DataVal(4));
}

TEST(Adu1000, UpdateRowsAndSummary) {
    const struct {
        const char* what;
        int flags;
        std::vector<int> marked;  // fields with their alarm bit
        const char* brief;
    } cases[] = {
        {"total 1 and cells 5, 7", 1, {1, 8, 10}, "总电压1,电压5,7告警(其他正常)"},
        {"temperature 2 alone", 1, {55}, "电压,温度2告警(其他正常)"},
        {"cell 49 and total 2", 1, {52, 53}, "电压49,总电压2告警(其他正常)"},
        {"no mark; the constants' marks ignored", 1, {56, 58}, "告警(其他正常)"},
        {"normal", 0, {1}, "(全部正常)"},
    };
    for (const auto& c : cases) {
        AduRig r(7, 0x401);
        r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,1025,-1)");
        r.ch.Reply(AduReply(AduInfoWith("DB0F4940")));
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
        int bits[2] = {0, 0}, snap = 5;
        for (int f : c.marked) bits[(f - 1) / 32] |= 1 << ((f - 1) % 32);
        ASSERT_EQ(1, r.h.DataUpd(c.flags | 0x10, bits, &snap, -1, &r.hist)) << c.what;
        EXPECT_EQ(Hex(qxtest::Gbk(c.brief)), Hex(Brief(r.db, 7))) << c.what;
        EXPECT_EQ(std::to_string(c.flags) + "|5|314|3141|13300|1000|49|4",
                  r.db.Str("select State||'|'||SnapID||'|'||Dczdy||'|'||Dy1||'|'||Dy49||'|'||Lc||'|'||"
                           "Dcsl||'|'||Dcxh from tbBattAdu1000 where SID=7"))
            << c.what;
        EXPECT_EQ(c.flags, r.db.Int("select State from tbSubSysDetail where SID=7")) << c.what;
        EXPECT_EQ("3141|246", r.hist.Str("select Dy1||'|'||Dcwd2 from tbBattAdu1000 where SID=7"));
    }

    // No answer: every value 0, the constants too, and the summary of a lost link.
    AduRig r(7, 0x401);
    r.ch.Reply(AduReply(AduInfoWith("DB0F4940")));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    r.ch.Silence();
    ASSERT_EQ(0, r.h.DataGet(&r.ch, 1, 0));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, &r.hist));
    EXPECT_EQ("2|0|0|0", r.db.Str("select State||'|'||Dy1||'|'||Cfddl2||'|'||Dcxh from tbBattAdu1000 where SID=7"));
    EXPECT_EQ(Hex(qx::sql::NoAnswerBrief()), Hex(Brief(r.db, 7)));
    EXPECT_EQ(0, r.h.DataVal(57));
}

// The unit in trouble (qxsim::AlarmAdu1000) polled as the host polls: a collapsed block, group
// 1 recharging over its current row, both rooms hot (group 2's float current lies below its
// row's 10.00 A as it does when sound); the summary names each by group and cell.
TEST(Adu1000, UnitInTroubleReachesTheHost) {
    AduRig r(7, 0x401);
    qxsim::Adu1000 m;
    qxsim::AlarmAdu1000(m, 1);
    r.ch.Reply(AduReply(qxsim::Adu1000Info(m)));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    std::vector<int32_t> bits;
    const std::string out = powertest::OutOfLimits(r.h, r.db, 0x401, bits);
    EXPECT_EQ("Cfddl(2),Dcwd(3),Dy7(10),Cfddl2(54),Dcwd2(55)", out);
    ASSERT_EQ(1, r.h.DataUpd(1, bits.data(), nullptr, -1, nullptr));
    EXPECT_EQ(Hex(qxtest::Gbk("总电流1,温度1,电压7,总电流2,温度2告警(其他正常)")), Hex(Brief(r.db, 7)));
    // The totals are the sums of the blocks (block 7 at 9.2 V; the float truncates to 9.199).
    EXPECT_EQ("32918|32004|9199", r.db.Str("select Dczdy||'|'||Dczdy2||'|'||Dy7 from tbBattAdu1000 "
                                          "where SID=7"));
}

TEST(Adu1000, DisplayKeys) {
    AduRig r(7, 0x401);
    r.ch.Reply(AduReply(qxsim::Adu1000Info(qxsim::Adu1000())));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    const struct {
        const char* key;
        const char* text;
    } cases[] = {
        {".dy12", "13.3"},   {".单体电压12", "13.3"}, {".dy1", "13.3"}, {".dy49", "13.3"},
        {".dy0", "-1"},      {".dy50", "-1"},         {".dy", "-1"},    {".单体电压55", "-1"},
        {".zdy1", "333.34"}, {".总电压2", "320.04"},  {".zdl1", "2.50"}, {".总电流2", "1.25"},
        {".Tem1", "25.1"},   {".温度2", "24.6"},      {".zdy", "-1"},   {"dy1", "-1"},
    };
    for (const auto& c : cases) EXPECT_EQ(qxtest::Gbk(c.text), Eval(r.h, qxtest::Gbk(c.key).c_str())) << c.key;
}

TEST(Adu1000, Registration) {
    AduRig r(7, 0x401);
    EXPECT_EQ(Hex(qxtest::Gbk("48电池巡检仪 QX-BATTADU1000")),
              Hex(r.db.Str("select Name from tbSMType where Type=1025")));
    EXPECT_EQ(1024, r.db.Int("select Kind from tbSMType where Type=1025"));
    EXPECT_EQ(55, r.db.Int("select count(*) from tbSMDef where Type=1025"));
    EXPECT_EQ("Dy1|1000|10000|15000", r.db.Str("select FldName||'|'||Ratio||'|'||vref||'|'||HiLmt "
                                               "from tbSMDef where Type=1025 and Fld=4"));
    EXPECT_EQ(Hex(qxtest::Gbk("单体电压49")),
              Hex(r.db.Str("select Note from tbSMDef where Type=1025 and Fld=52")));
    EXPECT_EQ("Dcwd2|10|150|300", r.db.Str("select FldName||'|'||Ratio||'|'||vref||'|'||HiLmt "
                                          "from tbSMDef where Type=1025 and Fld=55"));
}

// ---------------------------------------------------------------- DB100

using Db100Rig = iotest::Rig<CSMDb100>;

// A function 3 reply of the unit's 30 registers.
Bytes Db100Reply(const qxsim::Db100& m) {
    qxsim::ModbusSlave s(1);
    qxsim::SetDb100(s, m);
    std::vector<uint8_t> req = {1, 3, 0x02, 0x00, 0x00, 30};
    uint16_t crc = qxsim::ModbusSlave::Crc16(req.data(), req.size());
    req.push_back((uint8_t)crc);
    req.push_back((uint8_t)(crc >> 8));
    return s.HandleRtu(req.data(), req.size()).bytes;
}

TEST(Db100, RequestAndValues) {
    Db100Rig r(7, 0x400);
    qxsim::Db100 m;
    m.curr = -100;
    m.cells[2] = 12345;
    m.temp = 253;
    m.range = 5000;
    r.ch.Reply(Db100Reply(m));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ(Hex(Rtu("01 03 02 00 00 1E")), Hex(r.ch.Written()[0]));
    const struct {
        int fld, value;
    } vals[] = {{1, 5350}, {2, -100}, {3, 253}, {4, 5000}, {5, 24}, {6, 12}, {11, 13300},
                {13, 12345}, {34, 13370}, {0, -1}, {7, -1}, {10, -1}, {35, -1}};
    for (const auto& v : vals) EXPECT_EQ(v.value, r.h.DataVal(v.fld)) << v.fld;
    const struct {
        const char* key;
        const char* text;
    } keys[] = {
        {".zdl", "-1.00"}, {".总电流", "-1.00"}, {".dy3", "12.3"}, {".单体电压3", "12.3"},
        {".dy0", "-1"},    {".dy25", "-1"},     {".Tem", "25.3"}, {".zdy", "53.50"},
        {".lc", "50.00"},  {".数量", "24"},     {".num", "24"},   {".Tem1", "-1"},
    };
    for (const auto& k : keys) EXPECT_EQ(qxtest::Gbk(k.text), Eval(r.h, qxtest::Gbk(k.key).c_str())) << k.key;
}

TEST(Db100, RefusedReplies) {
    Bytes good = Db100Reply(qxsim::Db100());
    Bytes cut = Rtu(Hex(Bytes(good.begin(), good.begin() + 61)).replace(6, 2, "3A"));  // 29 registers
    const struct {
        const char* what;
        Bytes reply;
    } cases[] = {
        {"29 registers with a good CRC", cut},
        {"reply cut short", Bytes(good.begin(), good.begin() + 40)},
        {"bad CRC", BadCrc(Hex(Bytes(good.begin(), good.end() - 2)))},
        {"exception", Rtu("01 83 02")},
        {"silence", {}},
    };
    for (const auto& c : cases) {
        Db100Rig r(7, 0x400);
        r.ch.Reply(good);
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
        if (c.reply.empty())
            r.ch.Silence();
        else
            r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.h.DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ(5350, r.h.DataVal(1)) << c.what << ": the values of the last poll stay";
    }
    Db100Rig r(7, 0x400);
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(Db100, UpdateRowsAndSummary) {
    const struct {
        const char* what;
        int flags;
        int bits[2];
        const char* brief;
    } cases[] = {
        {"total voltage and cell 2", 1, {1 | 1 << 12, 0}, "总电压,电池电压告警(其他正常)"},
        {"current, model", 1, {1 << 1 | 1 << 5, 0}, "充放电电流,电池型号,告警(其他正常)"},
        {"cell 24 in the second word", 1, {0, 2}, "电池电压告警(其他正常)"},
        {"no listed bit", 1, {1 << 7, 0}, "告警(其他正常)"},
        {"normal", 0, {1, 0}, "(全部正常)"},
    };
    for (const auto& c : cases) {
        Db100Rig r(7, 0x400);
        r.ch.Reply(Db100Reply(qxsim::Db100()));
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
        int bits[2] = {c.bits[0], c.bits[1]};
        ASSERT_EQ(1, r.h.DataUpd(c.flags, bits, nullptr, -1, &r.hist)) << c.what;
        EXPECT_EQ(Hex(qxtest::Gbk(c.brief)), Hex(Brief(r.db, 7))) << c.what;
        EXPECT_EQ(std::to_string(c.flags) + "|5350|250|13300|13370|10000|24|12",
                  r.db.Str("select State||'|'||Dczdy||'|'||Cfddl||'|'||Dy1||'|'||Dy24||'|'||Lc||'|'||"
                           "Dcsl||'|'||Dcxh from tbBattDb100 where SID=7"))
            << c.what;
        EXPECT_EQ("5350|12", r.hist.Str("select Dczdy||'|'||Dcxh from tbBattDb100 where SID=7"));
    }
    Db100Rig r(7, 0x400);
    r.ch.Reply(Db100Reply(qxsim::Db100()));
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ("2|0|0", r.db.Str("select State||'|'||Dczdy||'|'||Dcxh from tbBattDb100 where SID=7"));
    EXPECT_EQ(0, r.h.DataVal(1));
}

// The unit reports the cells of its string (Dcsl): on a shorter string than 24 the cells
// beyond read 0 and are fields it does not have, passed over whatever the host's limits find;
// a fault on a cell the string has still alarms. A count outside 1..24 names no such cells.
TEST(Db100, CellsBeyondTheReportedStringAreNoFields) {
    auto string = [](int count, int cells, void (*fault)(qxsim::Db100&)) {
        qxsim::Db100 m = qxsim::Db100String(cells);
        m.count = (uint16_t)count;
        if (fault) fault(m);
        return m;
    };
    auto lowCell3 = [](qxsim::Db100& m) { m.cells[2] = 9500; };
    auto lowCell24 = [](qxsim::Db100& m) { m.cells[23] = 9500; };
    auto discharging = [](qxsim::Db100& m) { m.curr = -1520; };
    const struct {
        const char* what;
        qxsim::Db100 unit;
        int state;
        const char* brief;
    } cases[] = {
        {"a sound string of 4", string(4, 4, nullptr), 0, "(全部正常)"},
        {"a string of 4, cell 3 low", string(4, 4, lowCell3), 1, "电池电压告警(其他正常)"},
        {"a string of 4 discharging", string(4, 4, discharging), 1, "充放电电流,告警(其他正常)"},
        {"a string of 23", string(23, 23, nullptr), 0, "(全部正常)"},
        {"a string of 24, cell 24 low", string(24, 24, lowCell24), 1, "电池电压告警(其他正常)"},
        {"a string of 24 whose cell 24 reads 0", string(24, 23, nullptr), 1, "电池电压告警(其他正常)"},
        {"no count: every cell judged", string(0, 4, nullptr), 1, "电池电压告警(其他正常)"},
        {"a count beyond 24: every cell judged", string(25, 4, nullptr), 1, "电池电压告警(其他正常)"},
    };
    for (const auto& c : cases) {
        Db100Rig r(7, 0x400);
        r.ch.Reply(Db100Reply(c.unit));
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0)) << c.what;
        std::vector<int32_t> bits;
        const int out = qxhost::CheckLimits(qxhost::LoadLimits(r.db, 0x400), r.h.DataSize(),
                                            [&r](int f) { return r.h.DataVal(f); }, bits);
        ASSERT_EQ(1, r.h.DataUpd(out ? 1 : 0, bits.data(), nullptr, -1, &r.hist)) << c.what;
        EXPECT_EQ(c.state, r.db.Int("select State from tbBattDb100 where SID=7")) << c.what;
        EXPECT_EQ(Hex(qxtest::Gbk(c.brief)), Hex(Brief(r.db, 7))) << c.what;
    }
}

TEST(Db100, Registration) {
    Db100Rig r(7, 0x400);
    EXPECT_EQ(Hex(qxtest::Gbk("电池巡检仪 QX-BATTDB100")),
              Hex(r.db.Str("select Name from tbSMType where Type=1024")));
    EXPECT_EQ(32, r.db.Int("select count(*) from tbSMDef where Type=1024"));
    EXPECT_EQ("dcsl|dcxh", r.db.Str("select group_concat(FldName, '|') from tbSMDef where Type=1024 "
                                    "and Fld in (5, 6)"));
    EXPECT_EQ("Dy24|2|1000|10000|16000", r.db.Str("select FldName||'|'||Kind||'|'||Ratio||'|'||vref||'|'||"
                                                  "HiLmt from tbSMDef where Type=1024 and Fld=34"));
}

}  // namespace
