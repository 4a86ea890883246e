// The W70XX I/O modules and the W7017 analog module: the poll of each module, replies that are
// refused, the point counts of the update, the stored points and the commands.
#include <string.h>

#include "core/SMSql.h"
#include "TestRig.h"
#include "io/SMDioW7017_Huawei.h"
#include "io/SMDioW70XX.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using qxtest::Bytes;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

template <class H>
struct ModuleRig : iotest::Rig<H> {
    ModuleRig(int type, int variant, int ext1 = 0, int ext2 = 0) : iotest::Rig<H>(21, type) {
        this->item.Variant(variant).Ext(ext1, ext2);
    }
    std::vector<int> Points() {
        std::vector<int> v;
        for (int f = 1; f <= 16; f++) v.push_back(this->h.DataVal(f));
        return v;
    }
    std::string Brief() { return this->db.Str("select Brief from tbSMBrief where SID=21"); }
};
using W70xx = ModuleRig<CSMDioW70XX>;
using W7017 = ModuleRig<CSMDioW7017_Huawei>;

std::vector<int> Ones(int from, int to) {
    std::vector<int> v(16, 0);
    for (int i = from; i <= to; i++) v[i - 1] = 1;
    return v;
}

TEST(W70xx, PollOfEachModule) {
    struct Case {
        const char* what;
        int variant;
        std::vector<const char*> requests, replies;  // without CRC
        std::vector<int> points;
    } cases[] = {
        {"8 inputs", 0, {"01 02 00 00 00 08"}, {"01 02 01 A5"},
         {1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"16 inputs", 1, {"01 02 00 00 00 10"}, {"01 02 02 0F F0"},
         {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}},
        {"14 inputs", 3, {"01 02 00 00 00 10"}, {"01 02 02 FF FF"}, Ones(1, 14)},
        {"polled as 16 inputs", 0x81, {"01 02 00 00 00 10"}, {"01 02 02 00 80"}, Ones(16, 16)},
        {"6 inputs, 4 relays", 2, {"01 02 00 00 00 08", "01 01 00 00 00 04"},
         {"01 02 01 FF", "01 01 01 05"}, {1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}},
        {"8 registers", 4, {"01 03 00 00 00 08"},
         {"01 03 10 00 01 00 02 00 03 00 04 00 05 00 06 FF FF 00 08"},
         {1, 2, 3, 4, 5, 6, 65535, 8, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        W70xx r(0x904, c.variant);
        // Stale points beyond the module are cleared by its poll.
        for (int i = 0; i <= 32; i++) r.h.m_wData[i] = 9;
        for (const char* reply : c.replies) r.ch.Reply(Rtu(reply));
        EXPECT_EQ(1, r.Poll()) << c.what;
        std::vector<std::string> want, got;
        for (const char* q : c.requests) want.push_back(qxtest::Hex(Rtu(q)));
        for (const Bytes& b : r.ch.Written()) got.push_back(qxtest::Hex(b));
        EXPECT_EQ(want, got) << c.what;
        EXPECT_EQ(c.points, r.Points()) << c.what;
        EXPECT_EQ(9, r.h.DataVal(0)) << c.what;  // Dio is not the module's
    }
    W70xx unknown(0x904, 5);
    EXPECT_EQ(0, unknown.Poll());
    EXPECT_TRUE(unknown.ch.Written().empty());
    W70xx wide(0x904, 0);
    EXPECT_EQ(0, wide.h.DataGet(&wide.ch, 300, 0));
    EXPECT_TRUE(wide.ch.Written().empty());
}

TEST(W70xx, RefusedRepliesFailThePoll) {
    struct Case {
        const char* what;
        Bytes reply;
    } cases[] = {
        {"one byte", HexBytes("01")},
        {"two bytes", HexBytes("01 02")},
        {"exception", Rtu("01 82 02")},
        {"count of 16 inputs", Rtu("01 02 02 FF FF")},
        {"cut", HexBytes("01 02 01")},
        {"bad CRC", BadCrc("01 02 01 FF")},
        {"other unit", Rtu("02 02 01 FF")},
        {"garbage", HexBytes("13 37 13 37 13 37")},
        {"silence", {}},
    };
    for (const Case& c : cases) {
        W70xx r(0x904, 0);
        r.ch.Reply(Rtu("01 02 01 0F"));
        ASSERT_EQ(1, r.Poll());
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(Ones(1, 4), r.Points()) << c.what;
    }
    // The relay read refused: the inputs of the first read stay, the poll is 0.
    W70xx r(0x904, 2);
    r.ch.Reply(Rtu("01 02 01 03")).Reply(Rtu("01 81 02"));
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(Ones(1, 2), r.Points());
}

TEST(W70xx, UpdateCountsPointsByTheWholeVariant) {
    struct Case {
        int variant;
        int alarm;  // the point in alarm (host flag set)
        const char* brief;
    } cases[] = {
        {1, 10, "DI 10:告警 (其他正常)"},
        {0x81, 10, "(全部正常)"},  // polled as 16 inputs, counted as 8 points
        {2, 6, "DI 6:告警 (其他正常)"},
        {2, 11, "(全部正常)"},  // a relay switched on: no alarm of the relay module
        {3, 14, "DI 14:告警 (其他正常)"},
        {3, 15, "(全部正常)"},
        {0, 8, "DI 8:告警 (其他正常)"},
    };
    for (const Case& c : cases) {
        W70xx r(0x904, c.variant);
        int bits[1] = {1 << (c.alarm - 1)};
        ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
        EXPECT_EQ(std::string(c.brief), r.Brief()) << c.variant << "/" << c.alarm;
    }
}

TEST(W70xx, StoresSixteenPointsWithoutDio) {
    W70xx r(0x904, 1);
    // A point name of the item holding a quote reaches the summary intact.
    r.db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(21,2,'Door ''B''',2308)");
    r.h.RegDb(&r.db, 0);
    r.ch.Reply(Rtu("01 02 02 03 80"));
    ASSERT_EQ(1, r.Poll());
    r.h.m_wData[0] = 77;
    r.h.m_wData[17] = 5;
    int bits[1] = {2};
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("1||1|1|0|1|0", r.db.Str("select State||'|'||ifnull(Dio,'')||'|'||D01||'|'||D02||'|'||"
                                       "D03||'|'||D16||'|'||ifnull(D17,0) from tbDio where SID=21"));
    EXPECT_EQ(std::string("Door 'B':告警 (其他正常)"), r.Brief());
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbDio where SID=21 and D16=1 and Dio is null"));

    // No answer: every point 0, State 2, the summary names the lost link.
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, &r.hist));
    EXPECT_EQ("2|0|0", r.db.Str("select State||'|'||D01||'|'||D16 from tbDio where SID=21"));
    EXPECT_EQ(qx::sql::NoAnswerBrief("(故障)"), r.Brief());
    EXPECT_EQ("D01,D02,D03,D04,D05,D06,D07,D08,D09,D10,D11,D12,D13,D14,D15,D16",
              r.db.Str("select group_concat(FldName) from (select FldName from tbSMDef where "
                       "Type=2308 and Note='断开标志' order by Fld)"));
}

TEST(W70xx, Commands) {
    struct Case {
        const char* what;
        int variant, function, reg, value;
        const char* frame;  // without CRC; null: nothing sent
        Bytes reply;
        int result;
    } cases[] = {
        {"vendor", 0, 0x46, 0, 3, "01 46 04 03 00 00 00", Rtu("01 46 04 03"), 1},
        {"vendor refused in byte 2", 0, 0x46, 0, 3, "01 46 04 03 00 00 00", Rtu("01 46 C6 03"), 0},
        {"vendor exception", 0, 0x46, 0, 3, "01 46 04 03 00 00 00", Rtu("01 C6 01"), 0},
        {"vendor bad CRC", 0, 0x46, 0, 3, "01 46 04 03 00 00 00", BadCrc("01 46 04 03"), 0},
        {"vendor silence", 2, 0x46, 0, 3, "01 46 04 03 00 00 00", {}, 0},
        {"coil with bit 5", 2, 5, 0x20, 1, "01 05 00 20 FF 01", Rtu("01 05 00 20 FF 01"), 1},
        {"coil with bit 7", 2, 5, 0x83, 2, "01 05 00 83 FF 02", Rtu("01 05 00 83 FF 02"), 1},
        {"coil", 2, 5, 0x10, 1, "01 05 00 10 FF 00", Rtu("01 05 00 10 FF 00"), 1},
        {"coil off", 2, 5, 0x20, 0, "01 05 00 20 00 00", Rtu("01 05 00 20 00 00"), 1},
        {"coil wrong echo", 2, 5, 0x10, 1, "01 05 00 10 FF 00", Rtu("01 05 00 10 00 00"), 0},
        {"coil exception", 2, 5, 0x10, 1, "01 05 00 10 FF 00", Rtu("01 85 02"), 0},
        {"coil of another module", 1, 5, 0x10, 1, nullptr, {}, 0},
        {"coil of 0x82", 0x82, 5, 0x10, 1, nullptr, {}, 0},
        {"function 6", 2, 6, 0x10, 1, nullptr, {}, 0},
    };
    for (const Case& c : cases) {
        W70xx r(0x904, c.variant);
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        uint8_t v = (uint8_t)c.value;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.function << 16 | c.reg, &v, 1)) << c.what;
        if (c.frame) {
            ASSERT_EQ(1u, r.ch.Written().size()) << c.what;
            EXPECT_EQ(qxtest::Hex(Rtu(c.frame)), qxtest::Hex(r.ch.Written()[0])) << c.what;
        } else {
            EXPECT_TRUE(r.ch.Written().empty()) << c.what;
        }
    }
    W70xx r(0x904, 2);
    uint8_t v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x46 << 16, nullptr, 1));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x46 << 16, &v, 1));
}

TEST(W7017, TemperatureAndThresholds) {
    struct Case {
        const char* what;
        uint16_t w[8];
        int ext1, ext2;
        std::vector<int> points;
    } cases[] = {
        {"equal voltages", {1000, 1000, 7, 8, 9, 39, 11000, 12}, 0, 0,
         {2521, 0, 7, 8, 9, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"at the thresholds", {1000, 1000, 0, 0, 0, 40, 10999, 0}, 0, 0,
         {2521, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"thresholds of the item", {1000, 1000, 0, 0, 0, 60, 11000, 0}, 100, 12000,
         {2521, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"first voltage 0", {0, 1000, 0, 0, 0, 0, 0, 0}, 0, 0,
         {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"second voltage 0", {1000, 0, 0, 0, 0, 0, 0, 0}, 0, 0,
         {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"below zero", {1, 65535, 0, 0, 0, 0, 20000, 0}, 0, 0, std::vector<int>(16, 0)},
        {"beyond 655.35 degrees", {65535, 1, 0, 0, 0, 0, 20000, 0}, 0, 0, std::vector<int>(16, 0)},
    };
    for (const Case& c : cases) {
        W7017 r(0x90B, 0, c.ext1, c.ext2);
        std::string reply = "01 03 10";
        for (uint16_t w : c.w) {
            char word[8];
            snprintf(word, sizeof(word), " %02X %02X", w >> 8, w & 0xFF);
            reply += word;
        }
        r.ch.Reply(Rtu(reply));
        EXPECT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(qxtest::Hex(Rtu("01 03 00 00 00 08")), qxtest::Hex(r.ch.LastWritten())) << c.what;
        EXPECT_EQ(c.points, r.Points()) << c.what;
    }
}

TEST(W7017, RefusedReplyAndCommands) {
    W7017 r(0x90B, 0);
    r.ch.Reply(Rtu("01 03 10 03 E8 03 E8 00 00 00 00 00 00 00 00 00 00 00 00"));
    ASSERT_EQ(1, r.Poll());
    for (const Bytes& bad : {Rtu("01 83 02"), BadCrc("01 03 10 00 01 00 01 00 00 00 00 00 00 00 00 "
                                                   "00 00 00 00"), Rtu("01 03 02 00 01"), Bytes()}) {
        if (bad.empty()) r.ch.Silence();
        else r.ch.Reply(bad);
        EXPECT_EQ(0, r.Poll()) << qxtest::Hex(bad);
        EXPECT_EQ(2521, r.h.DataVal(1)) << qxtest::Hex(bad);
    }
    // No commands: nothing is sent, the answer is 0.
    size_t sent = r.ch.Written().size();
    uint8_t v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 5 << 16 | 1, &v, 1));
    EXPECT_EQ(sent, r.ch.Written().size());
    // Its definition rows and update are the W70XX modules'.
    EXPECT_EQ(16, r.db.Int("select count(*) from tbSMDef where Type=2315 and Note='断开标志'"));
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0|2521", r.db.Str("select State||'|'||D01 from tbDio where SID=21"));
}

}  // namespace
