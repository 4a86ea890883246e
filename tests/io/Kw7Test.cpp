// The KW7 ASCII I/O module: the point layouts of its '$AA6' reply, replies that are refused,
// what one update stores and the module's commands.
#include <string.h>

#include "TestRig.h"
#include "io/SMDioKW7.h"

namespace {

using iotest::Sleeps;
using qxtest::TextBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

struct Kw7Rig : iotest::Rig<CSMDioKW7> {
    Kw7Rig(int variant, int ext1) : iotest::Rig<CSMDioKW7>(31, 0x907) { item.Variant(variant).Ext(ext1, 0); }
    std::vector<int> Points(int n = 17) {
        std::vector<int> v;
        for (int f = 1; f <= n; f++) v.push_back(h.DataVal(f));
        return v;
    }
    std::string Sent(size_t i) {
        const auto& w = ch.Written();
        return i < w.size() ? std::string(w[i].begin(), w[i].end()) : "(none)";
    }
};

std::vector<int> Bits(uint32_t v, int n = 17) {
    std::vector<int> out;
    for (int i = 0; i < n; i++) out.push_back((v >> i) & 1);
    return out;
}

TEST(Kw7, LayoutsOfTheReply) {
    struct Case {
        const char* what;
        int variant, ext1;
        const char* reply;
        int inputs, points;
        std::vector<int> values;  // D01..D17
    } cases[] = {
        // 10 inputs take 4 digits, 6 outputs 2: inputs 0x03FF, outputs 0x15.
        {"default layout", 1, 0, "!03FF15\r", 10, 16, Bits(0x3FF | 0x15 << 10)},
        {"lower case", 1, 0, "!03ff15\r", 10, 16, Bits(0x3FF | 0x15 << 10)},
        {"8 and 8", 1, 808, "!A55A\r", 8, 16, Bits(0xA5 | 0x5A << 8)},
        {"20 and 20 cut to 16", 1, 2020, "!FFFF0001\r", 16, 32, Bits(0x1FFFF)},
        {"5 inputs, 3 outputs", 2, 305, "!1F07\r", 5, 8, Bits(0xFF)},
        // Variant 0: outputs first, then inputs, 4 digits each.
        {"outputs first", 0, 0, "!00050003\r", 10, 16, Bits(0x3 | 0x5 << 10)},
        {"longer reply", 0, 0, "!00050003FF\r", 10, 16, Bits(0x3 | 0x5 << 10)},
    };
    for (const Case& c : cases) {
        Kw7Rig r(c.variant, c.ext1);
        for (int i = 0; i <= 32; i++) r.h.m_wData[i] = 1;
        r.ch.Reply(TextBytes(c.reply));
        EXPECT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ("$016\r", r.Sent(0)) << c.what;
        EXPECT_EQ(std::vector<int>{150}, Sleeps()) << c.what;
        EXPECT_EQ(c.values, r.Points()) << c.what;
        EXPECT_EQ(0, r.h.DataVal(0)) << c.what;
        EXPECT_EQ(c.inputs, r.h.m_iInCnt) << c.what;
        EXPECT_EQ(c.points, r.h.m_iPointCnt) << c.what;
        EXPECT_EQ(0, r.ch.Purges()) << c.what;
        Sleeps().clear();
    }
}

TEST(Kw7, RefusedRepliesLeaveThePoints) {
    struct Case {
        int variant;
        const char* reply;  // null: silence
    } cases[] = {
        {1, nullptr}, {1, "?03FF15\r"}, {1, "!03FF15"}, {1, "!\r"}, {1, "!03FF1\r"},
        {1, "!03FG15\r"}, {1, "!03 F15\r"}, {0, "!0005\r"}, {0, "!0005000X\r"}, {1, "\r"},
        {1, "\x13\x37\x13\x37"},
    };
    for (const Case& c : cases) {
        Kw7Rig r(c.variant, 0);
        r.ch.Reply(TextBytes(c.variant ? "!000103\r" : "!00030001\r"));
        ASSERT_EQ(1, r.Poll());
        if (c.reply) r.ch.Reply(TextBytes(c.reply));
        else r.ch.Silence();
        EXPECT_EQ(0, r.Poll()) << (c.reply ? c.reply : "silence");
        EXPECT_EQ(Bits(0x1 | 0x3 << 10), r.Points()) << (c.reply ? c.reply : "silence");
    }
    Kw7Rig r(1, 0);
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(Kw7, UpdateTakesTheLayoutOfItsPoint) {
    Kw7Rig r(1, 505);
    r.ch.Reply(TextBytes("!1F04\r"));
    ASSERT_EQ(1, r.Poll());
    // Point 4 is an input, point 8 the third relay of five inputs and five relays.
    int bits[1] = {1 << 3 | 1 << 7};
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("1|0|1|1|1|1|1|0|1|0|0",
              r.db.Str("select State||'|'||Dio||'|'||D01||'|'||D02||'|'||D03||'|'||D04||'|'||D05||'|'||"
                       "D06||'|'||D08||'|'||D10||'|'||D16 from tbDio where SID=31"));
    EXPECT_EQ(std::string("DI 4:告警 (其他正常)"), r.db.Str("select Brief from tbSMBrief where SID=31"));
    // The relay alone: no alarm.
    bits[0] = 1 << 7;
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0|(全部正常)", r.db.Str("select b.St||'|'||b.Brief from tbSMBrief b where SID=31"));
    // Another point, of sixteen inputs, stored after this poll: its point 8 is an input.
    qxhost::PointItem inputs(32, 0x907);
    inputs.Name("P2").Addr(2).Variant(1).Ext(16, 0);
    ASSERT_EQ(1, r.h.ChkDb(inputs));
    r.h.DoItem(inputs, 0);
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("1|DI 8:告警 (其他正常)", r.db.Str("select St||'|'||Brief from tbSMBrief where SID=32"));
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbDio where SID=31 and D08=1"));
    EXPECT_EQ(166, r.h.GetMask());
    EXPECT_EQ(std::string("开关量输入10|继电器输出1|继电器输出6"),
              r.db.Str("select group_concat(Note,'|') from (select Note from tbSMDef where Type=2311 "
                       "and Fld in (10,11,16) order by Fld)"));
}

TEST(Kw7, Commands) {
    struct Case {
        const char* what;
        int command, channel, value, addr;
        std::vector<const char*> frames, replies;  // replies: null for silence
        int result;
    } cases[] = {
        {"relay 9 on", 0x70, 9, 1, 1, {"#01B101\r"}, {">\r"}, 1},
        {"relay 3 off", 0x70, 3, 0, 1, {"#01A300\r"}, {">\r"}, 1},
        {"relay answer not '>'", 0x70, 3, 0, 1, {"#01A300\r"}, {"!\r"}, 0},
        {"relay answer without CR", 0x70, 3, 0, 1, {"#01A300\r"}, {">"}, 0},
        {"relay 16", 0x70, 16, 1, 1, {}, {}, 0},
        {"value 0x1A", 0x60, 0, 0x1A, 2, {"~02311A\r"}, {"!02\r"}, 1},
        {"value 0", 0x60, 0, 0x100, 2, {"~021\r"}, {"!02\r"}, 1},
        {"value silence", 0x60, 0, 1, 2, {"~023101\r"}, {nullptr}, 0},
        {"address 05", 0x80, 0, 5, 1, {"$012\r", "%0105400600\r"}, {"!01400600\r", "!05\r"}, 1},
        {"address, second unanswered", 0x80, 0, 5, 1, {"$012\r", "%0105400600\r"},
         {"!01400600\r", nullptr}, 0},
        {"address, configuration short", 0x80, 0, 5, 1, {"$012\r"}, {"!01\r"}, 0},
        {"address, configuration of another", 0x80, 0, 5, 1, {"$012\r"}, {"!02400600\r"}, 0},
        {"address, configuration without CR", 0x80, 0, 5, 1, {"$012\r"}, {"!014006000"}, 0},
        {"other command", 0x50, 0, 1, 1, {}, {}, 0},
    };
    for (const Case& c : cases) {
        Kw7Rig r(0, 0);
        for (const char* reply : c.replies) {
            if (reply) r.ch.Reply(TextBytes(reply));
            else r.ch.Silence();
        }
        int value = c.value;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, c.addr, c.command << 16 | c.channel, &value, 4)) << c.what;
        ASSERT_EQ(c.frames.size(), r.ch.Written().size()) << c.what;
        for (size_t i = 0; i < c.frames.size(); i++) EXPECT_EQ(c.frames[i], r.Sent(i)) << c.what;
        EXPECT_TRUE(Sleeps().empty()) << c.what;
    }
    Kw7Rig r(0, 0);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x70 << 16, nullptr, 4));
    int v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 300, 0x70 << 16, &v, 4));
    EXPECT_TRUE(r.ch.Written().empty());
}

}  // namespace
