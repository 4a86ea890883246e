// The door people counter: its frames, the state and count exchanges, the twenty records, the
// clock frame of the night hour through the clock seam, rows, summary and display texts.
#include <string.h>
#include <time.h>

#include <string>

#include "CardRig.h"
#include "core/QxPlatform.h"
#include "core/SMSql.h"
#include "io/SMCXV6V8.h"

namespace {

using qxtest::Bytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

time_t g_now = 0;
time_t FakeNow() { return g_now; }

// Local time of the tests' clock.
time_t At(int hour, int minute) {
    struct tm tm = {};
    tm.tm_year = 2014 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

struct CounterRig : iotest::CardRig<CSMCXV6V8, qxsim::PeopleCounter> {
    CounterRig() : CardRig(9, 0xD04, 1) {
        g_now = At(12, 0);
        qx::SetClockHook(FakeNow);
    }
    ~CounterRig() { qx::SetClockHook(nullptr); }
    std::string Letters() {
        std::string s;
        for (const Bytes& w : ch.Written()) s += (char)w[1];
        return s;
    }
};

TEST(CXV6V8, Frames) {
    struct Case {
        int cmd;
        const char* frame;
    } cases[] = {
        {2, "FA 62 9D 00 01 65 20 72 20 72 20 6F 72"},
        {3, "FA 63 9C 00 01 20 73 20 61 20 76 20 65"},
        {5, "FA 65 9A 00 01 B2 CE CA FD C9 E8 B6 A8"},
        {6, "FA 66 99 00 01 BD F8 3F 3F B3 F6 3F 3F"},
    };
    for (const Case& c : cases) {
        CounterRig r;
        EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, c.cmd, nullptr, 0)) << c.cmd;
        ASSERT_EQ(1u, r.ch.Written().size());
        const Bytes& f = r.ch.Written()[0];
        ASSERT_EQ(16u, f.size());
        EXPECT_EQ(c.frame, qxtest::Hex(f.data(), 13));
        EXPECT_EQ(CSMCXV6V8::crcCheck(f.data(), 13), f[13]);
        EXPECT_EQ("0D 0A", qxtest::Hex(f.data() + 14, 2));
    }
    CounterRig r;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 4, nullptr, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(CXV6V8, CountsRowAndSummary) {
    CounterRig r;
    const uint8_t st[8] = {0x31, 0x02, 0xF3, 0, 0, 0, 0, 0x1F};
    r.dev.SetState(st);
    r.dev.SetCounts(120, 135);
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ("bf", r.Letters());
    EXPECT_EQ("0|120|135|15|1|2|3|0|15",
              r.db.Str("select State||'|'||curEnter||'|'||curExport||'|'||EEnum||'|'||st1||'|'||st2||'|'||st3||'|'||st4||'|'||st8 "
                       "from tbCXV6V8 where SID=9"));
    EXPECT_EQ(std::string("当前设备：120人进，135人出，15人滞留"),
              r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbCXV6V8"));  // no history rows

    struct Key {
        const char* key;
        const char* text;
    } keys[] = {{".icurEnter", "120"}, {".当前进人数", "120"}, {".icurExport", "135"},
                {".当前出人数", "135"}, {".EEnum", "15"},      {".滞留人数", "15"}};
    for (const Key& k : keys) {
        char text[32];
        snprintf(text, sizeof text, "%s", k.key);
        EXPECT_GT(r.h.VarEval(text), 0) << k.key;
        EXPECT_STREQ(k.text, text);
    }
    char other[32] = ".EE";
    EXPECT_EQ(-1, r.h.VarEval(other));
}

// The persons inside, as the host reads them between the poll and the update: this poll's
// counts, for the first poll of a point and for a second counter after the first.
TEST(CXV6V8, PersonsInsideOfThePollJustRead) {
    CounterRig r;
    qxhost::PointItem& two = r.Twin(10, 2);
    qxsim::PeopleCounter second(2);
    second.SetCounts(300, 240);
    r.ch.SetResponder([&](const Bytes& q) { return q[4] == 2 ? second.Answer(q) : r.dev.Answer(q); });
    r.dev.SetCounts(120, 135);
    struct Step {
        qxhost::PointItem* point;
        int inside;
    } steps[] = {{&r.item, 15}, {&two, 60}, {&r.item, 15}};
    for (const Step& s : steps) {
        r.h.DoItem(*s.point, 0);
        ASSERT_EQ(1, r.h.DataGet(&r.ch, s.point->Get().Addr, 0));
        EXPECT_EQ(s.inside, r.h.DataVal(3)) << "sid " << s.point->Get().SID;
        int bits[1] = {0};
        ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
        EXPECT_EQ(s.inside, r.h.DataVal(3));
    }
}

TEST(CXV6V8, FailedPolls) {
    struct Case {
        const char* what;
        void (*spoil)(CounterRig&);
    } cases[] = {
        {"bad XOR", [](CounterRig& r) { r.dev.SetBadXor(true); }},
        {"silence", [](CounterRig& r) { r.ch.SetResponder(nullptr); }},
        {"counts refused", [](CounterRig& r) {
             r.ch.SetResponder([&r](const Bytes& q) {
                 Bytes a = r.dev.Answer(q);
                 if (q[1] == 'f') a[13] ^= 1;
                 return a;
             });
         }},
    };
    for (const Case& c : cases) {
        CounterRig r;
        r.dev.SetCounts(120, 135);
        ASSERT_EQ(1, r.Cycle());
        c.spoil(r);
        EXPECT_EQ(0, r.Cycle()) << c.what;
        EXPECT_EQ(0, r.h.DataVal(1)) << c.what;
        EXPECT_EQ("2|0|0|0", r.db.Str("select State||'|'||curEnter||'|'||curExport||'|'||EEnum from tbCXV6V8 where SID=9"));
        std::string brief = r.db.Str("select Brief from tbSMBrief where SID=9");
        EXPECT_EQ(qx::sql::NoAnswerBrief(), brief) << c.what;
        char text[32] = ".EEnum";
        EXPECT_EQ(1, r.h.VarEval(text));
        EXPECT_STREQ("0", text);
    }
    CounterRig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 0x10000, 0));
    EXPECT_EQ(0, r.h.DataGet(&r.ch, -1, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(CXV6V8, TwentyRecords) {
    CounterRig r;
    ASSERT_EQ(1, r.h.DoFunc(&r.ch, 1, 3, nullptr, 0));
    EXPECT_STREQ("2014-03-05 19:00:00", r.h.m_v.rec[0].time);
    EXPECT_EQ(10, r.h.m_v.rec[0].in);
    EXPECT_EQ(5, r.h.m_v.rec[0].out);
    EXPECT_STREQ("2014-03-05 00:00:00", r.h.m_v.rec[19].time);
    EXPECT_EQ(29, r.h.m_v.rec[19].in);

    // The sixth record fails its XOR: the read ends there, the five before it stay.
    CounterRig bad;
    bad.ch.SetResponder([&](const Bytes& q) {
        Bytes a = bad.dev.Answer(q);
        if (q[1] == 'c') a[5 * 16 + 13] ^= 1;
        return a;
    });
    EXPECT_EQ(0, bad.h.DoFunc(&bad.ch, 1, 3, nullptr, 0));
    EXPECT_EQ(14, bad.h.m_v.rec[4].in);
    EXPECT_STREQ("", bad.h.m_v.rec[5].time);
}

// The clock frame: once per point in hour 1, from the clock seam's local time; the point is
// forgotten after the hour.
TEST(CXV6V8, NightClock) {
    CounterRig r;
    qxhost::PointItem two(10, 0xD04);
    two.Name("P2").Port(2).Addr(1).Ser(&r.ch);
    g_now = At(1, 30) + 7;
    auto poll = [&](qxhost::PointItem& p) {
        r.h.DoItem(p, 0);
        size_t before = r.ch.Written().size();
        EXPECT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
        std::string s;
        for (size_t i = before; i < r.ch.Written().size(); i++) s += (char)r.ch.Written()[i][1];
        return s;
    };
    EXPECT_EQ("abf", poll(r.item));
    ASSERT_EQ(1u, r.dev.ClockFrames().size());
    EXPECT_EQ("0E 03 05 01 1E 07 00 00", qxtest::Hex(r.dev.ClockFrames()[0].data(), 8));
    EXPECT_EQ("bf", poll(r.item));
    EXPECT_EQ("abf", poll(two));
    EXPECT_EQ("abf", poll(r.item));
    g_now = At(2, 0);
    EXPECT_EQ("bf", poll(r.item));
    EXPECT_EQ(0, r.h.m_v.clockSid);
    g_now = At(1, 0) + 86400;
    EXPECT_EQ("abf", poll(r.item));
}

TEST(CXV6V8, SetDevTime) {
    struct Case {
        int64_t t;
        const char* data;
    } cases[] = {
        {140305080910LL, "0E 03 05 08 09 0A 00 00"},
        {991231235959LL, "63 0C 1F 17 3B 3B 00 00"},
        {140305000000LL, "0E 03 05 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        CounterRig r;
        ASSERT_EQ(1, r.h.setDevTime(&r.ch, 1, c.t)) << c.t;
        ASSERT_EQ(1u, r.dev.ClockFrames().size());
        EXPECT_EQ(c.data, qxtest::Hex(r.dev.ClockFrames()[0].data(), 8)) << c.t;
        EXPECT_EQ(c.data, qxtest::Hex(r.h.m_v.clock, 8));
    }
}

}  // namespace
