// The leak detectors: each model's reads and decode, the cable length written once, replies
// that are refused, the corrections and summary of an update, and the register write.
#include <string.h>

#include "core/SMSql.h"
#include "TestRig.h"
#include "io/SMLeak.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using iotest::Sleeps;
using qxtest::Bytes;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

struct LeakRig : iotest::Rig<CSMLeak> {
    explicit LeakRig(int variant = 0, int ext1 = 0, int ext2 = 0) : iotest::Rig<CSMLeak>(12, 0x601) {
        item.Variant(variant).Ext(ext1, ext2);
    }
    int Upd(int* bits, int flags = 0) { return h.DataUpd(flags, bits, nullptr, -1, &hist); }
    std::vector<int> Values() {
        std::vector<int> v;
        for (int f = 1; f <= 8; f++) v.push_back(h.DataVal(f));
        return v;
    }
    std::vector<std::string> Requests() {
        std::vector<std::string> out;
        for (const Bytes& b : ch.Written()) out.push_back(qxtest::Hex(b));
        return out;
    }
};

// Model 0: P 120, A 2000, B 3, L 500 (dry) and the wires 16 and 5000.
const char* const kModel0Dry[3] = {"01 04 08 00 78 07 D0 00 03 01 F4", "01 03 02 00 07",
                                   "01 04 04 00 10 13 88"};

TEST(Leak, ModelReadsAndValues) {
    struct Case {
        const char* what;
        int variant;
        std::vector<const char*> requests, replies;  // without CRC
        std::vector<int> values;                     // fields 1 to 8
    } cases[] = {
        {"model 0 dry", 0, {"01 04 00 01 00 04", "01 03 00 01 00 01", "01 04 00 04 00 02"},
         {kModel0Dry[0], kModel0Dry[1], kModel0Dry[2]}, {1, 0, 0, 1, 0, 7, 500, 0}},
        // P 1200, A 500, L 1500: water, but position and length beyond 999 are not stored.
        {"model 0 long cable", 0, {"01 04 00 01 00 04", "01 03 00 01 00 01", "01 04 00 04 00 02"},
         {"01 04 08 04 B0 01 F4 00 03 05 DC", "01 03 02 00 00", "01 04 04 13 88 00 10"},
         {1, 1, 1, 0, 0, 0, 0, 0}},
        {"model 0 water at 250", 0, {"01 04 00 01 00 04", "01 03 00 01 00 01", "01 04 00 04 00 02"},
         {"01 04 08 00 FA 01 F4 00 0A 01 F4", "01 03 02 00 00", "01 04 04 00 10 00 10"},
         {1, 1, 0, 0, 250, 0, 500, 0}},
        // Positions and lengths in 1/1.3 tenths, truncated.
        {"model 1", 1, {"01 03 00 00 00 02", "01 03 00 08 00 04"},
         {"01 03 04 00 03 00 64", "01 03 08 01 81 00 00 00 09 00 0B"}, {1, 1, 1, 1, 130, 9, 500, 11}},
        {"model 2", 2, {"01 04 00 00 00 01", "01 03 10 00 00 01"},
         {"01 04 02 00 01", "01 03 02 00 2C"}, {0, 1, 0, 0, 0, 44, 0, 0}},
        {"model 3", 3, {"01 04 00 02 00 01", "01 04 00 04 00 01", "01 04 00 26 00 01"},
         {"01 04 02 03 00", "01 04 02 00 4D", "01 04 02 01 81"}, {1, 1, 1, 1, 100, 0, 500, 0}},
        {"model 3 wire only", 3, {"01 04 00 02 00 01", "01 04 00 04 00 01", "01 04 00 26 00 01"},
         {"01 04 02 01 FF", "01 04 02 00 00", "01 04 02 01 81"}, {1, 0, 1, 1, 0, 0, 500, 0}},
    };
    for (const Case& c : cases) {
        LeakRig r(c.variant);
        for (const char* reply : c.replies) r.ch.Reply(Rtu(reply));
        EXPECT_EQ(1, r.Poll()) << c.what;
        std::vector<std::string> want;
        for (const char* q : c.requests) want.push_back(qxtest::Hex(Rtu(q)));
        EXPECT_EQ(want, r.Requests()) << c.what;
        EXPECT_EQ(c.values, r.Values()) << c.what;
        EXPECT_TRUE(Sleeps().empty() || c.variant == 2) << c.what;
    }
}

// A broken sensing wire is read as the host judges it, before the update: every model's wire
// rows are out of their limits, and the summary names the broken wires and never reads
// normal beside them. A plain detector's state 2 is its wire fault: both wires, no position.
TEST(Leak, BrokenWiresReachTheLimitsAndTheSummary) {
    struct Case {
        const char* what;
        int variant;
        std::vector<const char*> replies;  // without CRC
        std::vector<int> values;           // fields 1 to 8, as DataVal gives them to the host
        const char* brief;
    } cases[] = {
        // The first wire's register is also the length: 5000, no cable, water nowhere.
        {"model 0 both wires", 0,
         {"01 04 08 01 F4 07 D0 00 03 13 88", "01 03 02 00 00", "01 04 04 13 88 13 88"},
         {1, 0, 1, 1, 0, 0, 0, 0}, "漏水状态:0 红黑线断 黄绿线断 (报警)"},
        {"model 0 second wire", 0,
         {"01 04 08 01 F4 07 D0 00 03 01 F4", "01 03 02 00 00", "01 04 04 01 F4 13 88"},
         {1, 0, 0, 1, 0, 0, 500, 0}, "漏水状态:0 黄绿线断 (报警)"},
        {"model 1 water and wire", 1, {"01 03 04 00 03 00 60", "01 03 08 01 81 00 00 00 00 00 00"},
         {1, 1, 1, 1, 124, 0, 500, 0}, "漏水状态:1 泄漏位置:12.4米 红黑线断 黄绿线断 (报警)"},
        {"model 2 wire fault", 2, {"01 04 02 00 02", "01 03 02 00 2C"},
         {0, 1, 1, 1, 0, 0, 0, 0}, "漏水状态:1 红黑线断 黄绿线断 (报警)"},
        {"model 3 wire only", 3, {"01 04 02 01 00", "01 04 02 00 00", "01 04 02 01 81"},
         {1, 0, 1, 1, 0, 0, 500, 0}, "漏水状态:0 红黑线断 黄绿线断 (报警)"},
    };
    for (const Case& c : cases) {
        LeakRig r(c.variant);
        for (const char* reply : c.replies) r.ch.Reply(Rtu(reply));
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(c.values, r.Values()) << c.what;
        // The host's flags of fields 2 to 4 (alarm kind 1, normal only at 0).
        int bits[1] = {0};
        for (int f = 2; f <= 4; f++)
            if (r.h.DataVal(f)) bits[0] |= 1 << (f - 1);
        ASSERT_EQ(1, r.Upd(bits, bits[0] ? 1 : 0)) << c.what;
        EXPECT_EQ(std::string(c.brief), r.db.Str("select Brief from tbSMBrief where SID=12")) << c.what;
        EXPECT_EQ(c.values, r.Values()) << c.what << ": stored as judged";
    }
}

TEST(Leak, WaitsComeFromExt2) {
    struct Case {
        int variant, ext2;
        std::vector<int> sleeps;
    } cases[] = {{0, 0, {}}, {0, 30, {30, 30, 30}}, {2, 0, {200, 200}}, {2, 50, {50, 50}}};
    for (const Case& c : cases) {
        LeakRig r(c.variant, 0, c.ext2);
        if (c.variant == 0)
            for (const char* reply : kModel0Dry) r.ch.Reply(Rtu(reply));
        else
            r.ch.Reply(Rtu("01 04 02 00 00")).Reply(Rtu("01 03 02 00 00"));
        EXPECT_EQ(1, r.Poll()) << c.variant << "/" << c.ext2;
        EXPECT_EQ(c.sleeps, Sleeps()) << c.variant << "/" << c.ext2;
    }
}

TEST(Leak, CableLengthWrittenOnceAfterItChecks) {
    LeakRig r(1, 300);
    const Bytes state = Rtu("01 03 04 00 00 00 00"), cable = Rtu("01 03 08 00 00 00 00 00 00 00 00");
    // The device stays silent: the poll goes on and the frame goes out again next time.
    r.ch.Silence().Reply(state).Reply(cable);
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(300, r.item.Get().Ext1);
    r.ch.Reply(Rtu("01 06 00 08 00 01")).Reply(state).Reply(cable);
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ("01 06 00 08 00 01 01 2C 57 8B", qxtest::Hex(r.ch.Written()[3]));
    EXPECT_EQ(-300, r.item.Get().Ext1);
    r.ch.Reply(state).Reply(cable);
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(8u, r.ch.Written().size());
    EXPECT_EQ(qxtest::Hex(Rtu("01 03 00 00 00 02")), qxtest::Hex(r.ch.Written()[6]));

    // A reply that does not check (an exception, a wrong echo) leaves Ext1 as it was; a length
    // beyond 16 bits is never sent.
    for (const Bytes& reply : {Rtu("01 86 03"), Rtu("01 06 00 08 00 02"), BadCrc("01 06 00 08 00 01")}) {
        LeakRig e(1, 300);
        e.ch.Reply(reply).Reply(state).Reply(cable);
        EXPECT_EQ(1, e.Poll()) << qxtest::Hex(reply);
        EXPECT_EQ(300, e.item.Get().Ext1) << qxtest::Hex(reply);
    }
    LeakRig wide(1, 70000);
    wide.ch.Reply(state).Reply(cable);
    EXPECT_EQ(1, wide.Poll());
    EXPECT_EQ(2u, wide.ch.Written().size());
    EXPECT_EQ(70000, wide.item.Get().Ext1);
}

TEST(Leak, RefusedRepliesFailThePoll) {
    struct Case {
        const char* what;
        int failing;  // the read of model 0 that gets the reply
        Bytes reply;
    } cases[] = {
        {"one byte", 0, HexBytes("01")},
        {"two bytes", 0, HexBytes("01 04")},
        {"exception", 0, Rtu("01 84 02")},
        {"count beyond the bytes", 0, HexBytes("01 04 08 00 78 07 D0")},
        {"count of another read", 0, Rtu("01 04 02 00 78")},
        {"bad CRC", 0, BadCrc("01 04 08 00 78 07 D0 00 03 01 F4")},
        {"garbage", 0, HexBytes("55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55")},
        {"silence", 0, {}},
        {"exception on the second", 1, Rtu("01 83 02")},
        {"short on the third", 2, Rtu("01 04 02 00 10")},
    };
    for (const Case& c : cases) {
        LeakRig r(0);
        for (int i = 0; i < c.failing; i++) r.ch.Reply(Rtu(kModel0Dry[i]));
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ((size_t)c.failing + 1, r.ch.Written().size()) << c.what;
        // What the earlier reads gave is kept, nothing of the refused one.
        EXPECT_EQ(c.failing ? 1 : 0, r.h.DataVal(1)) << c.what;
        EXPECT_EQ(c.failing ? 500 : 0, r.h.DataVal(7)) << c.what;
        EXPECT_EQ(c.failing > 1 ? 7 : 0, r.h.DataVal(6)) << c.what;
    }
}

TEST(Leak, UnknownModelOrAddressSendsNothing) {
    LeakRig r(7);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    LeakRig wide(0);
    EXPECT_EQ(0, wide.h.DataGet(&wide.ch, 256, 0));
    EXPECT_TRUE(r.ch.Written().empty());
    EXPECT_TRUE(wide.ch.Written().empty());
}

TEST(Leak, UpdateCorrectsStoresAndSummarises) {
    auto row = [](LeakRig& r) {
        return r.db.Str("select State||'|'||Kind||'|'||Status||'|'||LineRB||'|'||LineYG||'|'||"
                        "Locate||'|'||Lmd||'|'||Cable from tbLeak where SID=12");
    };
    int bits[1] = {0};
    {
        // A plain detector's state 2: a wire fault without position, length or register.
        LeakRig r(2);
        r.ch.Reply(Rtu("01 04 02 00 02")).Reply(Rtu("01 03 02 00 2C"));
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Upd(bits));
        EXPECT_EQ("0|0|1|1|1|0|0|0", row(r));
        EXPECT_EQ(1, r.hist.Int("select count(*) from tbLeak where SID=12 and Status=1"));
        EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 0, 0, 0, 0}), r.Values());
        EXPECT_EQ(std::string("漏水状态:1 红黑线断 黄绿线断 (报警)"),
                  r.db.Str("select Brief from tbSMBrief where SID=12"));
    }
    {
        LeakRig r(0);
        r.ch.Reply(Rtu("01 04 08 00 7D 01 F4 00 0A 01 F4")).Reply(Rtu("01 03 02 00 00"))
            .Reply(Rtu("01 04 04 00 10 00 10"));
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Upd(bits));
        EXPECT_EQ("0|1|1|0|0|125|0|500", row(r));
        EXPECT_EQ(std::string("漏水状态:1 泄漏位置:12.5米 (报警)"),
                  r.db.Str("select Brief from tbSMBrief where SID=12"));
        char text[32] = ".Locate";
        EXPECT_EQ(4, r.h.VarEval(text));
        EXPECT_STREQ("12.5", text);
        strcpy(text, ".位置");
        EXPECT_EQ(4, r.h.VarEval(text));
        strcpy(text, ".locate");
        EXPECT_EQ(-1, r.h.VarEval(text));

        // A position beyond the cable is dropped.
        r.h.m_v.locate = 600;
        ASSERT_EQ(1, r.Upd(bits));
        EXPECT_EQ(0, r.h.DataVal(5));
        EXPECT_EQ(std::string("漏水状态:1 (报警)"), r.db.Str("select Brief from tbSMBrief where SID=12"));

        // No answer: the row cleared, State 2 (1 with the host's flag), the fault named.
        for (int flags : {0, 1}) {
            ASSERT_EQ(1, r.Upd(nullptr, flags));
            EXPECT_EQ(std::to_string(flags ? 1 : 2) + "|0|0|0|0|0|0|0", row(r)) << flags;
            std::string brief = r.db.Str("select Brief from tbSMBrief where SID=12");
            EXPECT_EQ(qx::sql::NoAnswerBrief("漏水状态(故障)"), brief) << flags;
            EXPECT_EQ(std::string::npos, brief.find(std::string("正常"))) << flags;
        }
    }
    {
        LeakRig r(3);
        r.ch.Reply(Rtu("01 04 02 00 00")).Reply(Rtu("01 04 02 00 00")).Reply(Rtu("01 04 02 01 81"));
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Upd(bits));
        EXPECT_EQ(std::string("漏水状态:0 (正常)"), r.db.Str("select Brief from tbSMBrief where SID=12"));
    }
}

TEST(Leak, RegisterWriteByModel) {
    struct Case {
        const char* what;
        int variant, function;
        const char* frame;  // without CRC; null: nothing sent
        Bytes reply;
        int result;
    } cases[] = {
        {"model 0", 0, 6, "01 06 00 03 01 02", Rtu("01 06 00 03 01 02"), 1},
        {"model 2", 2, 6, "01 06 00 03 01 02", Rtu("01 06 00 03 01 02"), 1},
        {"model 1, no byte count", 1, 6, "01 06 00 03 00 01 01 02", Rtu("01 06 00 03 00 01"), 1},
        {"exception", 0, 6, "01 06 00 03 01 02", Rtu("01 86 02"), 0},
        {"wrong echo", 0, 6, "01 06 00 03 01 02", Rtu("01 06 00 03 01 03"), 0},
        {"bad CRC", 0, 6, "01 06 00 03 01 02", BadCrc("01 06 00 03 01 02"), 0},
        {"silence", 1, 6, "01 06 00 03 00 01 01 02", {}, 0},
        {"function 5", 0, 5, nullptr, {}, 0},
        {"model 1, function 5", 1, 5, nullptr, {}, 0},
        {"model 3", 3, 6, nullptr, {}, 0},
    };
    for (const Case& c : cases) {
        LeakRig r(c.variant);
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        uint16_t value = 0x0102;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.function << 16 | 3, &value, 2)) << c.what;
        if (c.frame) {
            ASSERT_EQ(1u, r.ch.Written().size()) << c.what;
            EXPECT_EQ(qxtest::Hex(Rtu(c.frame)), qxtest::Hex(r.ch.Written()[0])) << c.what;
        } else {
            EXPECT_TRUE(r.ch.Written().empty()) << c.what;
        }
    }
    LeakRig r(0);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 6 << 16 | 3, nullptr, 2));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 6 << 16 | 3, &r, 2));
}

TEST(Leak, DefinitionsAndMainDatabase) {
    LeakRig r;
    EXPECT_EQ("status,LineRB,LineYG",
              r.db.Str("select group_concat(FldName) from (select FldName from tbSMDef where "
                       "Type=1536 order by Fld)"));
    EXPECT_EQ(1536, r.db.Int("select Type from tbSMType where Type=1536"));
    qxhost::PointItem item(9, 0x600);
    CSMLeak h;
    TestDb hist;
    h.SetDb(&hist, 1);
    EXPECT_EQ(0, h.ChkDb(item));
}

}  // namespace
