// The comfort air-conditioner controller on the air-conditioner shape: request frames, what
// a reply decodes to, which replies are refused, commands, display keys, registration and
// what one update stores in the host's tables.
#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "AircCtrl.h"
#include "BufHelper.h"
#include "PointItem.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "YdtDevice.h"
#include "aircon/SMAirc.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// Appends the CRC, low byte first.
Bytes Crc(Bytes b) {
    uint16_t c = CBufHelper::crc16(b.data(), (int)b.size());
    b.push_back((uint8_t)c);
    b.push_back((uint8_t)(c >> 8));
    return b;
}

const qxsim::AircCtrl::Unit kUnit1 = {2650, 2810, 26, 30, 16, 150, 200, 0x0102, 1, 0};
const qxsim::AircCtrl::Unit kUnit2 = {1234, 5678, 20, 28, 18, 99, 180, 0xA0B0, 2, 16};

// A controller at address 1 with both units set, behind a scripted channel.
struct Rig {
    Rig() : item(31, 0x703) {
        ctrl.SetUnit(0, kUnit1);
        ctrl.SetUnit(1, kUnit2);
        ctrl.SetDigital(1, 0, 0, 5);
        ctrl.SetByte9(0x5A);
        ch.SetResponder([this](const Bytes& r) { return ctrl.Answer(r); });
        item.Port(2).Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll() { return h.DataGet(&ch, 1, 0); }
    std::vector<int> Values() {
        std::vector<int> v;
        for (int f = 1; f <= 27; f++) v.push_back(h.DataVal(f));
        return v;
    }

    qxsim::AircCtrl ctrl{1};
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    CSMAirc h;
};

// Fields 1..27 after a poll of kUnit1/kUnit2, digital 1 0 0 5 and byte 0x5A.
const std::vector<int> kPolled = {
    2650, 2810, 26, 30, 16, 0, 150, 200, 0x0102, 1, 0,
    1234, 5678, 20, 28, 18, 0, 99, 180, 0xA0B0, 2, 16,
    1, 0, 0, 5, 0x5A,
};

std::string H(const std::string& s) { return Hex(s); }

}  // namespace

// ---------------------------------------------------------------- construction

TEST(Airc, ReportsItsCategoryNoteAndCounts) {
    CSMAirc h;
    EXPECT_EQ(0x700, h.GetType());
    EXPECT_STREQ("QX-AIRC", h.GetNote());
    EXPECT_EQ(26, h.DataSize());
    EXPECT_NE(nullptr, h.Data());
    EXPECT_EQ(-1, h.DataVal(0));
    EXPECT_EQ(0, h.DataVal(27));
    EXPECT_EQ(-1, h.DataVal(28));
    EXPECT_EQ(-1, h.DataVal(-1));
}

TEST(Airc, ValueBlockIsTheDevicesPackedRecord) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    const uint8_t* b = (const uint8_t*)r.h.Data();
    // 16-bit fields on even offsets, bytes between: fields 1..26 take 32 bytes, 27 follows.
    uint16_t w;
    memcpy(&w, b + 0, 2);
    EXPECT_EQ(2650, w);
    EXPECT_EQ(26, b[4]);
    memcpy(&w, b + 10, 2);
    EXPECT_EQ(0x0102, w);
    EXPECT_EQ(1, b[12]);
    memcpy(&w, b + 14, 2);
    EXPECT_EQ(1234, w);
    EXPECT_EQ(5, b[31]);
    EXPECT_EQ(0x5A, b[32]);
}

// ---------------------------------------------------------------- polls

TEST(AircPoll, RequestsAreFunction4ThenFunction9WithoutWait) {
    struct Case {
        int addr;
        const char* f4;
        const char* f9;
    } cases[] = {
        {1, "01 04 00 00 00 3C F0 1B", "01 09 00 40 00 01 1D DF"},
        {2, "02 04 00 00 00 3C F0 28", nullptr},
        {255, "FF 04 00 00 00 3C E5 C5", nullptr},
        // An address beyond the address byte is refused, never cut to the unit its low
        // bits name (2 here): nothing is sent.
        {0x102, nullptr, nullptr},
        {65537, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        Rig r;
        r.ctrl.SetAddress((uint8_t)c.addr);
        int got = r.h.DataGet(&r.ch, c.addr, 500);
        if (!c.f4) {
            EXPECT_EQ(0, got) << c.addr;
            EXPECT_TRUE(r.ch.Written().empty()) << c.addr;
            const int32_t v = 1;
            EXPECT_EQ(0, r.h.DoFunc(&r.ch, c.addr, 42, (void*)&v, 4)) << c.addr;
            EXPECT_TRUE(r.ch.Written().empty()) << c.addr;
            continue;
        }
        ASSERT_GE(r.ch.Written().size(), 1u) << c.addr;
        EXPECT_EQ(c.f4, qxtest::Hex(r.ch.Written()[0])) << c.addr;
        if (c.f9) {
            ASSERT_EQ(2u, r.ch.Written().size());
            EXPECT_EQ(c.f9, qxtest::Hex(r.ch.Written()[1]));
        }
        EXPECT_TRUE(g_sleeps.empty()) << "the wait argument is not used";
        EXPECT_EQ(100, r.ch.ReadLengths().at(0));
    }
}

TEST(AircPoll, DecodesBothUnitsLowByteFirst) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(kPolled, r.Values());
}

TEST(AircPoll, RecordRepliesOfAnyLengthThatCoverTheDecodedBytes) {
    // The controller states in its byte count how much it sends, whatever was asked; the
    // decode reads reply bytes 3..54.
    struct Case {
        int bytes;
        int result;
    } cases[] = {{52, 1}, {60, 1}, {94, 1}, {51, 0}, {30, 0}, {120, 0} /* 125 bytes: > 100 */};
    for (const Case& c : cases) {
        Rig r;
        r.ctrl.SetRecordBytes(c.bytes);
        EXPECT_EQ(c.result, r.Poll()) << c.bytes << " bytes";
        if (c.result) EXPECT_EQ(kPolled, r.Values()) << c.bytes;
        else EXPECT_EQ(std::vector<int>(27, 0), r.Values()) << c.bytes << ": nothing taken";
    }
}

TEST(AircPoll, RefusedRepliesLeaveThePreviousValues) {
    const Bytes kRead4 = HexBytes("01 04 00 00 00 3C F0 1B");
    struct Case {
        const char* what;
        std::function<void(Rig&, const Bytes& record)> script;
    } cases[] = {
        {"silence", [](Rig& r, const Bytes&) { r.ch.Silence(); }},
        {"bad CRC",
         [](Rig& r, const Bytes& rec) {
             Bytes b = rec;
             b.back() ^= 0xFF;
             r.ch.Reply(b);
         }},
        {"exception reply", [](Rig& r, const Bytes&) { r.ch.Reply(Crc({1, 0x84, 4})); }},
        {"other address",
         [](Rig& r, const Bytes& rec) {
             Bytes b(rec.begin(), rec.end() - 2);
             b[0] = 2;
             r.ch.Reply(Crc(b));
         }},
        {"other function",
         [](Rig& r, const Bytes& rec) {
             Bytes b(rec.begin(), rec.end() - 2);
             b[1] = 3;
             r.ch.Reply(Crc(b));
         }},
        {"byte count beyond what arrived",
         [](Rig& r, const Bytes& rec) {
             Bytes b(rec.begin(), rec.end() - 2);
             b[2] = (uint8_t)(b[2] + 2);
             r.ch.Reply(Crc(b));
         }},
        {"four bytes", [](Rig& r, const Bytes&) { r.ch.Reply(HexBytes("01 04 02 00")); }},
        {"short write", [](Rig& r, const Bytes&) { r.ch.ShortWrite(7); }},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_EQ(1, r.Poll());
        const Bytes record = r.ctrl.Answer(kRead4);
        r.ctrl.SetUnit(0, kUnit2);  // what a wrongly taken reply would show
        c.script(r, record);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(kPolled, r.Values()) << c.what;
        EXPECT_EQ(2u + 1u, r.ch.Written().size()) << c.what << ": no function-9 request";
    }
}

TEST(AircPoll, InputLeftFromAnEarlierAnswerDoesNotFailAPoll) {
    Rig r;
    const Bytes rec = r.ctrl.Answer(HexBytes("01 04 00 00 00 3C F0 1B"));
    // The tail of an answer that came too late for the last poll.
    r.ch.Inject(Bytes(rec.begin() + 40, rec.end()));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(kPolled, r.Values());
    r.ch.Inject(HexBytes("01 08 00"));
    int v = 1;
    EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, 100, &v, 4));
}

TEST(AircPoll, AReplyInPiecesIsGathered) {
    Rig r;
    const Bytes rec = r.ctrl.Answer(HexBytes("01 04 00 00 00 3C F0 1B"));
    r.ch.ReplyChunks({Bytes(rec.begin(), rec.begin() + 2), Bytes(rec.begin() + 2, rec.begin() + 40),
                      Bytes(rec.begin() + 40, rec.end())});
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(kPolled, r.Values());
}

TEST(AircPoll, FailedFunction9KeepsTheNewRecordAndTheOldByte) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    r.ctrl.SetUnit(0, kUnit2);
    r.ctrl.SetByte9(0x11);
    const Bytes rec = r.ctrl.Answer(HexBytes("01 04 00 00 00 3C F0 1B"));
    struct Case {
        const char* what;
        Bytes reply;
    } cases[] = {
        {"silence", {}},
        {"bad CRC", HexBytes("01 09 01 11 00 00")},
        {"too short for byte 3", Crc({1, 9, 1})},
        {"exception", Crc({1, 0x89, 1})},
    };
    for (const Case& c : cases) {
        r.ch.Reply(rec);
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(1234, r.h.DataVal(1)) << c.what << ": the record of this poll stays";
        EXPECT_EQ(0x5A, r.h.DataVal(27)) << c.what << ": the byte of the last poll stays";
    }
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0x11, r.h.DataVal(27));
}

TEST(AircPoll, NoChannelOrAClosedOneSendsNothing) {
    Rig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
}

// ---------------------------------------------------------------- commands

TEST(AircCommand, FramesByRegister) {
    struct Case {
        int command;  // function << 16 | register
        int value;
        const char* frame;  // null: nothing is sent
        int result;
    } cases[] = {
        {42, 0x123456, "01 0B 00 2A 00 03 12 34 56 77 A6", 1},              // function 0: 11
        {16 << 16 | 42, 0x123456, "01 10 00 2A 00 03 12 34 56 37 19", 1},   // the given one
        {16 << 16 | 100, 0x1FF, "01 08 00 64 00 01 FF 54 68", 1},           // always 8, low byte
        {64, 7, "01 08 00 40 00 01 07 5F 1A", 1},
        {10, 1, nullptr, 0},   // not a command of this device
        {63, 1, nullptr, 0},
        {0, 1, nullptr, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        int v = c.value;
        // The controller echoes a command; function 16 is echoed as well here.
        r.ch.SetResponder([](const Bytes& req) { return req; });
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.command, &v, 4)) << c.command;
        if (c.frame) {
            ASSERT_EQ(1u, r.ch.Written().size()) << c.command;
            EXPECT_EQ(c.frame, qxtest::Hex(r.ch.Written()[0])) << c.command;
            EXPECT_EQ((int)r.ch.Written()[0].size(), r.ch.ReadLengths().at(0));
        } else {
            EXPECT_TRUE(r.ch.Written().empty()) << c.command;
        }
    }
}

TEST(AircCommand, ResultFollowsTheAnswer) {
    struct Case {
        const char* what;
        std::function<void(qxtest::ScriptChannel&)> script;
        int result;
    } cases[] = {
        {"echo", [](qxtest::ScriptChannel& ch) { ch.Reply(Crc(HexBytes("01 08 00 64 00 01 05"))); }, 1},
        {"other address", [](qxtest::ScriptChannel& ch) { ch.Reply(Crc(HexBytes("02 08 00 64 00 01 05"))); }, 0},
        {"silence", [](qxtest::ScriptChannel& ch) { ch.Silence(); }, 0},
        {"bad CRC",
         [](qxtest::ScriptChannel& ch) {
             Bytes b = Crc(HexBytes("01 08 00 64 00 01 05"));
             b.back() ^= 1;
             ch.Reply(b);
         },
         0},
        {"exception", [](qxtest::ScriptChannel& ch) { ch.Reply(Crc({1, 0x88, 2})); }, 0},
        {"short write", [](qxtest::ScriptChannel& ch) { ch.ShortWrite(3); }, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        int v = 5;
        c.script(r.ch);
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, 100, &v, 4)) << c.what;
    }
}

TEST(AircCommand, NeedsAnOpenChannelAndAValue) {
    Rig r;
    int v = 1;
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 100, &v, 4));
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 100, nullptr, 4));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 100, &v, 4));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(AircCommand, ThroughTheCurrentPointsChannel) {
    Rig r;
    int v = 9;
    EXPECT_EQ(1, r.h.DoFunc(100, &v, 4));
    const std::vector<Bytes> got = r.ctrl.Commands();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(qxtest::Hex(Crc(HexBytes("01 08 00 64 00 01 09"))), qxtest::Hex(got[0]));
}

TEST(AircCommand, ModBusCmdNHasNoByteCount) {
    CSMAirc h;
    const uint8_t data[2] = {0xAB, 0xCD};
    EXPECT_EQ(10, h.ModBusCmdN(7, 0x0B, 0x0102, 2, data));
    Bytes frame(h.m_cmd, h.m_cmd + 10);
    EXPECT_EQ(qxtest::Hex(Crc(HexBytes("07 0B 01 02 00 02 AB CD"))), qxtest::Hex(frame));
    EXPECT_EQ(8, h.ModBusCmdN(7, 8, 1, 0, nullptr));
    EXPECT_EQ(0, h.ModBusCmdN(7, 8, 1, 57, data)) << "beyond the request buffer";
    EXPECT_EQ(0, h.ModBusCmdN(7, 8, 1, 2, nullptr));
}

// ---------------------------------------------------------------- display keys

TEST(AircVarEval, KeysAndAliases) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    struct Case {
        const char* key;
        const char* out;
    } cases[] = {
        {".sfkwd1", "26.50"},     {".送风口温度1", "26.50"}, {".hfkwd1", "28.10"},
        {".回风口温度1", "28.10"}, {".ct1", "26"},          {".设置温度1", "26"},
        {".ht1", "30"},           {".上限温度1", "30"},     {".lt1", "16"},
        {".下限温度1", "16"},      {".dl1", "1.50"},        {".当前电流1", "1.50"},
        {".hdl1", "200"},         {".电流上限1", "200"},    {".ldl1", "258"},
        {".电流下限1", "258"},     {".status1", "制冷"},     {".空调状态1", "制冷"},
        {".sfkwd2", "12.34"},     {".hfkwd2", "56.78"},     {".ct2", "20"},
        {".ht2", "28"},           {".lt2", "18"},           {".dl2", "0.99"},
        {".hdl2", "180"},         {".ldl2", "41136"},       {".status2", "制热"},
        {".空调状态2", "制热"},    {".DI1", "闭合"},         {".DI2", "断开"},
        {".DO1", "断开"},         {".DO2", "闭合"},
    };
    for (const Case& c : cases) {
        char buf[64];
        snprintf(buf, sizeof buf, "%s", c.key);
        EXPECT_EQ((int)strlen(c.out), r.h.VarEval(buf)) << H(c.key);
        EXPECT_EQ(H(c.out), H(buf)) << H(c.key);
    }
}

TEST(AircVarEval, UnknownKeysAndStatusWords) {
    Rig r;
    for (const char* k : {".Sfkwd1", ".sfkwd", "sfkwd1", ".ot1", ".di1", "", ".status3"}) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", k);
        EXPECT_EQ(-1, r.h.VarEval(buf)) << k;
        EXPECT_STREQ(k, buf);
    }
    EXPECT_EQ(-1, r.h.VarEval(nullptr));
    struct Case {
        int status;
        const char* word;
    } cases[] = {{0, "关机"}, {1, "制冷"}, {2, "制热"}, {3, "未知"}, {255, "未知"}};
    for (const Case& c : cases) {
        r.h.Set(10, c.status);
        char buf[32] = ".status1";
        EXPECT_EQ(4, r.h.VarEval(buf));
        EXPECT_EQ(H(c.word), H(buf)) << c.status;
    }
}

// ---------------------------------------------------------------- registration and tables

TEST(AircDb, RegistersTypeAndDefinitionRows) {
    TestDb db;
    CSMAirc h;
    h.RegDb(&db, 0);
    EXPECT_EQ("1792|1792", db.Str("select Type||'|'||Kind from tbSMType where Type=1792"));
    EXPECT_EQ(H("空调控制 QX-AIRC"), H(db.Str("select Name from tbSMType where Type=1792")));
    EXPECT_EQ(H("485接口..."), H(db.Str("select Note from tbSMType where Type=1792")));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=1792"));
    EXPECT_EQ("10,11,21,22", db.Str("select group_concat(Fld) from (select Fld from tbSMDef "
                                    "where Type=1792 order by rowid)"));
    EXPECT_EQ(H("空调状态2"), H(db.Str("select Note from tbSMDef where Type=1792 and Fld=21")));
    db.Run("update tbSMDef set Note='x' where Type=1792");
    h.RegDb(&db, 0);
    EXPECT_EQ(4, db.Int("select count(*) from tbSMDef where Type=1792 and Note='x'"));
    h.RegDb(&db, 1);
    EXPECT_EQ(4, db.Int("select count(*) from tbSMDef where Type=1792"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=1792 and Note='x'"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=1792"));
}

TEST(AircDb, TablesInBothDatabasesAndThePointsRows) {
    TestDb db, hist;
    CSMAirc h;
    qxhost::PointItem item(31, 0x703);
    item.Port(2).Addr(4);
    EXPECT_EQ(0, h.ChkDb(item)) << "no main database";
    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    EXPECT_EQ(1, h.ChkDb(nullptr));
    EXPECT_EQ(1, db.Int("select count(*) from sqlite_master where name='tbAirc'"));
    EXPECT_EQ(1, hist.Int("select count(*) from sqlite_master where name='tbAirc'"));
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ("1795|2|4|-1", db.Str("select Type||'|'||Port||'|'||Addr||'|'||State from tbAirc "
                                    "where SID=31"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMBrief where SID=31"));
    EXPECT_EQ(0, hist.Int("select count(*) from tbAirc"));
}

// ---------------------------------------------------------------- storing a poll

namespace {

struct DbRig : Rig {
    DbRig() {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        EXPECT_EQ(1, h.ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(31,1795,-1)");
    }
    std::string Cur(const char* cols) {
        return db.Str(std::string("select ") + cols + " from tbAirc where SID=31");
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=31"); }
    long long St() { return db.Int("select St from tbSMBrief where SID=31"); }
    long long Detail() { return db.Int("select State from tbSubSysDetail where SID=31"); }

    TestDb db, hist;
};

std::string BriefOf(const char* state, double t, int st, const char* stText, int ex,
                    const char* exText) {
    char b[256];
    snprintf(b, sizeof b, "空调%s,送风口温度:%.2f℃,空调状态:%d%s,异常状态:%d%s", state, t, st, stText,
             ex, exText);
    return b;
}

const char kAllColumns[] =
    "Hfkwd||','||Sfkwd||','||Ht||','||Lt||','||Ot||','||Ct||','||ExceptV||','||StatusV||','||"
    "Dl||','||Hdl||','||Ldl||','||Hfkwd2||','||Sfkwd2||','||Ht2||','||Lt2||','||Ot2||','||Ct2||"
    "','||ExceptV2||','||StatusV2||','||Dl2||','||Hdl2||','||Ldl2||','||Di1||','||Di2||','||"
    "Do1||','||Do2";

}  // namespace

TEST(AircUpd, APollIsStoredInEveryTable) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    int snap = 44;
    ASSERT_EQ(1, r.h.DataUpd(16, bits, &snap, -1, &r.hist));
    const std::string row = "2810,2650,30,16,0,26,0,1,150,200,258,5678,1234,28,18,0,20,16,2,99,"
                            "180,41136,1,0,0,5";
    EXPECT_EQ(row, r.Cur(kAllColumns));
    EXPECT_EQ("0|44", r.Cur("State||'|'||SnapID"));
    EXPECT_EQ(0, r.Detail());
    EXPECT_EQ(H(BriefOf("(正常)", 26.5, 1, "(制冷)", 0, "(正常)")), H(r.Brief()));
    EXPECT_EQ(0, r.St());
    EXPECT_EQ(row, r.hist.Str(std::string("select ") + kAllColumns + " from tbAirc where SID=31"));
    EXPECT_EQ("0|44", r.hist.Str("select State||'|'||SnapID from tbAirc where SID=31"));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}

TEST(AircUpd, NoAnswerStoresZerosAndSaysFault) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, &r.hist));
    EXPECT_EQ("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0", r.Cur(kAllColumns));
    EXPECT_EQ(2, r.Detail());
    EXPECT_EQ("2", r.Cur("State"));
    // The values were cleared, not read: the summary shows none of them and nothing normal.
    EXPECT_EQ(H("空调(故障),通讯中断"), H(r.Brief()));
    EXPECT_EQ(std::string::npos, r.Brief().find("正常"));
    EXPECT_EQ(2, r.St());
    for (int f = 1; f <= 26; f++) EXPECT_EQ(0, r.h.DataVal(f)) << f;
    EXPECT_EQ(0x5A, r.h.DataVal(27)) << "the function-9 byte is not cleared";
    EXPECT_EQ("2", r.hist.Str("select State from tbAirc where SID=31"));
}

TEST(AircUpd, StateFromTheHostsArguments) {
    struct Case {
        int flags;
        bool bits;
        int state;
        const char* text;
    } cases[] = {
        {0, true, 0, "(正常)"}, {1, true, 1, "(报警)"}, {0, false, 2, "(故障)"},
        {1, false, 1, "(故障),通讯中断"}, {16, true, 0, "(正常)"},  // no answer: the lost link
    };
    for (const Case& c : cases) {
        DbRig r;
        ASSERT_EQ(1, r.Poll());
        int bits[1] = {0};
        ASSERT_EQ(1, r.h.DataUpd(c.flags, c.bits ? bits : nullptr, nullptr, -1, nullptr));
        EXPECT_EQ(c.state, r.Detail()) << c.flags << c.bits;
        EXPECT_EQ(c.state, r.St()) << c.flags << c.bits;
        EXPECT_EQ(std::to_string(c.state) + "|0", r.Cur("State||'|'||SnapID"));
        EXPECT_EQ(0, r.Brief().find(std::string("空调") + c.text)) << c.flags << c.bits;
    }
}

TEST(AircUpd, StatusAndExceptionTexts) {
    struct Case {
        int status;
        int stored;
        const char* stText;
        int except;
        const char* exText;
    } cases[] = {
        {0, 0, "(关机)", 1, "(温度异常)"},     {1, 1, "(制冷)", 2, "(温度上限异常)"},
        {2, 2, "(制热)", 4, "(温度下限异常)"}, {3, 0, "(关机)", 16, "(红外发送错误)"},
        {200, 0, "(关机)", 32, "电流异常"},    {1, 1, "(制冷)", 3, "(未知参数)"},
    };
    for (const Case& c : cases) {
        DbRig r;
        ASSERT_EQ(1, r.Poll());
        r.h.Set(10, c.status);
        r.h.Set(11, c.except);
        r.h.Set(21, c.status);
        int bits[1] = {0};
        ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
        EXPECT_EQ(std::to_string(c.stored) + "|" + std::to_string(c.stored),
                  r.Cur("StatusV||'|'||StatusV2")) << c.status;
        EXPECT_EQ(c.stored, r.h.DataVal(10)) << "the fix-up stays in the block";
        EXPECT_EQ(H(BriefOf("(正常)", 26.5, c.stored, c.stText, c.except, c.exText)), H(r.Brief()))
            << c.status << " " << c.except;
    }
}

TEST(AircUpd, SidAndMissingPointOrDatabases) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    // An explicit sid is used as given.
    r.db.Run("insert into tbAirc(SID,Type,State) values(77,1795,-1)");
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, 77, nullptr));
    EXPECT_EQ(2650, r.db.Int("select Sfkwd from tbAirc where SID=77"));

    // No current point: a negative sid names no row; a given one is stored, without the
    // point's state row, which is keyed by the point's type.
    CSMAirc bare;
    bare.SetDb(&r.db, 0);
    EXPECT_EQ(0, bare.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, bare.DataUpd(1, bits, nullptr, 31, nullptr));
    EXPECT_EQ("1", r.Cur("State"));
    EXPECT_EQ(-1, r.Detail());
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();

    // The result: the history row when given, else the current row; 1 with neither database.
    r.hist.Run("drop table tbAirc");
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    r.db.Run("drop table tbSMBrief");
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr)) << "the summary does not decide";
    r.db.Run("drop table tbAirc");
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    CSMAirc nodb;
    nodb.DoItem(r.item, 0);
    EXPECT_EQ(1, nodb.DataUpd(0, bits, nullptr, -1, nullptr));
}

// ---------------------------------------------------------------- YD/T 1363 requests of the shape

namespace {

const airc::Field kProbeFields[] = {{1, "v", airc::W::I32}};
const uint8_t kProbeColumns[] = {1};
const airc::Shape kProbeShape = {
    {2048, "probe", ""}, nullptr, 0, {"tbProbe", "DID INTEGER PRIMARY KEY"},
    kProbeFields, 1, 1, kProbeColumns, 1, 1, nullptr, 0, 0, "probe",
};

// A driver of the shape that only asks: its requests are the shape's.
struct YdProbe : CSMAircShape {
    YdProbe() : CSMAircShape(0x8FE, "probe", kProbeShape) {}
    int DataGet(ISerBase*, int, int) override { return 0; }
    void BriefText(char*, size_t, int) override {}
    using CSMAircShape::YdFrame;
    using CSMAircShape::YdRequest;
    std::string Cmd(int n) const { return std::string((const char*)m_cmd, (size_t)n); }
};

std::string YdReply(const std::string& rtn, const std::string& info) {
    return qxsim::YdtFrame(0x21, 1, 0x60, (int)CBufHelper::HexVal(rtn.c_str(), 2), info);
}

}  // namespace

TEST(AircYd, FramesAndRefusedAddresses) {
    YdProbe p;
    int n = p.YdFrame(0x21, 1, 0x60, 0x42);
    EXPECT_EQ("~210160420000FDB0\r", p.Cmd(n));
    const uint8_t info[] = {0x1F};
    n = p.YdFrame(0x21, 255, 0x60, 0x45, info, 1);
    EXPECT_EQ(20, n);
    EXPECT_EQ("~21FF6045", p.Cmd(9));
    EXPECT_EQ(0, p.YdFrame(0x21, 256, 0x60, 0x42)) << "ADR is one byte: never cut";
    EXPECT_EQ(0, p.YdFrame(0x21, -1, 0x60, 0x42));
    uint8_t big[30] = {};
    EXPECT_EQ(0, p.YdFrame(0x21, 1, 0x60, 0x42, big, 30)) << "longer than the request buffer";

    // A frame that was not built is not sent.
    qxtest::ScriptChannel ch;
    uint8_t rx[64];
    EXPECT_EQ(qx::ReplyStatus::BadArgument,
              p.YdRequest(&ch, 0, rx, sizeof rx, {true, 0, -1, 64}, 0, 0).status);
    EXPECT_TRUE(ch.Written().empty());
}

TEST(AircYd, RequestsWaitPurgeAndCheckAsTheLinkSays) {
    const std::string good = YdReply("00", "0123ABCD");
    std::string badSum = good;
    badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
    struct Case {
        const char* name;
        airc::Link link;
        int wait;
        std::string reply;
        int need;
        unsigned options;
        qx::ReplyStatus status;
        int purges;
        std::vector<int> sleeps;
    } cases[] = {
        {"fixed wait", {true, 200, -1, 200}, 900, good, 21, 0, qx::ReplyStatus::Ok, 1, {200}},
        {"wait above the threshold", {false, 250, 0, 512}, 40, good, 21, 0, qx::ReplyStatus::Ok, 0,
         {40}},
        {"threshold default", {false, 250, 0, 512}, 0, good, 21, 0, qx::ReplyStatus::Ok, 0, {250}},
        {"no wait", {false, 0, -1, 128}, 500, good, 21, 0, qx::ReplyStatus::Ok, 0, {}},
        {"INFO too short", {true, 0, -1, 128}, 0, good, 22, 0, qx::ReplyStatus::NotCovered, 1, {}},
        {"RTN 04", {true, 0, -1, 128}, 0, YdReply("04", ""), 0, 0, qx::ReplyStatus::ReturnCode, 1,
         {}},
        {"bad CHKSUM", {true, 0, -1, 128}, 0, badSum, 21, 0, qx::ReplyStatus::BadChecksum, 1, {}},
        {"bad CHKSUM, sums left out", {true, 0, -1, 128}, 0, badSum, 21, qx::kYdSkipSums,
         qx::ReplyStatus::Ok, 1, {}},
        {"longer than the link reads", {true, 0, -1, 20}, 0, good, 0, 0, qx::ReplyStatus::Short, 1,
         {}},
        {"silence", {true, 0, -1, 128}, 0, "", 0, 0, qx::ReplyStatus::NoReply, 1, {}},
    };
    for (const Case& c : cases) {
        YdProbe p;
        qxtest::ScriptChannel ch;
        if (c.reply.empty())
            ch.Silence();
        else
            ch.Reply(qxtest::TextBytes(c.reply));
        g_sleeps.clear();
        uint8_t rx[600];
        qx::YdReply r = p.YdRequest(&ch, p.YdFrame(0x21, 1, 0x60, 0x42), rx, sizeof rx, c.link,
                                    c.wait, c.need, c.options);
        EXPECT_EQ(c.status, r.status) << c.name;
        EXPECT_EQ(c.purges, ch.Purges()) << c.name;
        EXPECT_EQ(c.sleeps, g_sleeps) << c.name;
        ASSERT_EQ(1u, ch.Written().size()) << c.name;
        EXPECT_EQ("~210160420000FDB0\r", std::string(ch.Written()[0].begin(), ch.Written()[0].end())) << c.name;
    }
    YdProbe p;
    qxtest::ScriptChannel closed;
    closed.SetOpen(false);
    uint8_t rx[64];
    EXPECT_EQ(qx::ReplyStatus::NoReply,
              p.YdRequest(&closed, p.YdFrame(0x21, 1, 0x60, 0x42), rx, sizeof rx,
                          {true, 0, -1, 64}, 0, 0).status);
    EXPECT_TRUE(closed.Written().empty());
}
