// The default UPS handler and the Q1-family drivers on the tbUps shape: what each reply
// decodes to, which replies are refused, the read-once rating and identification, commands,
// display keys, and what one update stores in the host's tables.
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "PointItem.h"
#include "Q1Ups.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "ups/SMUps.h"
#include "ups/SMUpsEast.h"
#include "ups/SMUpsGXGD.h"

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

using Dialect = qxsim::Q1Ups::Dialect;

CSMUpsTbUps* NewHandler(Dialect d) {
    switch (d) {
    case Dialect::kEast: return new CSMUpsEast;
    case Dialect::kGxgd: return new CSMUpsGXGD;
    default: return new CSMUps;
    }
}

// A scripted channel whose writes the simulated device answers.
struct UpsChannel : qxtest::ScriptChannel {
    explicit UpsChannel(qxsim::Q1Ups& dev) {
        SetResponder([&dev](const qxtest::Bytes& request) {
            std::string reply = dev.Feed(std::string(request.begin(), request.end()));
            return qxtest::Bytes(reply.begin(), reply.end());
        });
    }
    std::string Write(size_t i) const {
        const qxtest::Bytes& b = Written().at(i);
        return std::string(b.begin(), b.end());
    }
    std::string AllWritten() const {
        std::string s;
        for (const qxtest::Bytes& b : Written()) s.append(b.begin(), b.end());
        return s;
    }
};

// One handler, one point, one simulated device behind an in-memory channel.
struct Rig {
    explicit Rig(Dialect d = Dialect::kDefault, int type = 0x300)
        : dev(d), ch(dev), item(7, type), h(NewHandler(d)) {
        item.Name("UPS-A").Port(1).Addr(1);
        h->DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0) { return h->DataGet(&ch, 1, wait); }
    std::string Text(int field) { return qxhost::TextOfVal(h->DataVal(field)); }

    qxsim::Q1Ups dev;
    UpsChannel ch;
    qxhost::PointItem item;
    std::unique_ptr<CSMUpsTbUps> h;
};

// Field numbers by name, for readable expectations.
struct Expect {
    int fld;
    int value;
};

void ExpectFields(CSMUpsTbUps& h, const std::vector<Expect>& want, const std::string& what) {
    for (const Expect& e : want) EXPECT_EQ(e.value, h.DataVal(e.fld)) << what << " field " << e.fld;
}

std::string Hex(const char* s) { return ::Hex(std::string(s)); }

}  // namespace

// ---------------------------------------------------------------- construction

TEST(UpsTbUps, EachHandlerStartsWithItsTypeNoteAndBatteryDefaults) {
    struct Case {
        Dialect d;
        int type;
        const char* note;
    } cases[] = {
        {Dialect::kDefault, 0x300, "RE-RIRA"},
        {Dialect::kEast, 0x306, "QXUPS-EAST"},
        {Dialect::kGxgd, 0x310, "RE-RIRA"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CSMUpsTbUps> h(NewHandler(c.d));
        EXPECT_EQ(c.type, h->GetType());
        EXPECT_STREQ(c.note, h->GetNote());
        EXPECT_EQ(35, h->DataSize());
        EXPECT_EQ(1000, h->DataVal(kUpsPbatt));
        EXPECT_EQ(120, h->DataVal(kUpsMbatt));
        EXPECT_EQ(0, h->DataVal(34));
        EXPECT_EQ(0, h->DataVal(35));
        EXPECT_EQ(0, h->DataVal(kUpsVin1));
        EXPECT_EQ("", std::string(qxhost::TextOfVal(h->DataVal(kUpsCompany))));
    }
}

// ---------------------------------------------------------------- the scanner and trimmer

TEST(UpsTbUps, ScannerSplitsOnItsSeparatorsAndStopsAtMax) {
    struct Case {
        const char* text;
        int max;
        const char* seps;
        double scale;
        std::vector<int> want;
        int posAfter;
    } cases[] = {
        // several separators in a row end one field only; pos stops on the next field
        {"(1.5  2/3.25 abc", 3, " /\r", 100.0, {150, 200, 325}, 13},
        // a field not ended by a separator before the end is not stored
        {"(1 2 3", 5, " /\r", 100.0, {100, 200}, 5},
        // 2.26 in hundredths truncates to 225
        {"(2.26\r", 1, " /\r", 100.0, {225}, 6},
        // the East dialect separates on '+' and counts tenths
        {"(1+2.55+3\r", 4, " /+\r", 10.0, {10, 25, 30}, 10},
        // a number out of the int range stops the scan at its field
        {"(1 1e30 2\r", 3, " /\r", 100.0, {100}, 3},
        {"(1 nan 2\r", 3, " /\r", 100.0, {100}, 3},
    };
    for (const Case& c : cases) {
        int out[16] = {0};
        int pos = 1;
        int n = CSMUpsTbUps::ScanNumbers(out, c.text, pos, (int)strlen(c.text), c.max, c.seps,
                                         c.scale);
        ASSERT_EQ((int)c.want.size(), n) << c.text;
        for (int i = 0; i < n; i++) EXPECT_EQ(c.want[i], out[i]) << c.text << " #" << i;
        EXPECT_EQ(c.posAfter, pos) << c.text;
    }
}

TEST(UpsTbUps, TrimmerDropsOnlyOuterSpaces) {
    struct Case {
        const char* text;
        int n;
        const char* want;
    } cases[] = {
        {"  ABC  ", 7, "ABC"},
        {"       ", 7, ""},
        {" A B  xyz", 6, "A B"},
        {"\tAB ", 4, "\tAB"},
    };
    for (const Case& c : cases) {
        char out[16];
        EXPECT_EQ((int)strlen(c.want), CSMUpsTbUps::IvalTrim(out, c.text, c.n)) << c.text;
        EXPECT_STREQ(c.want, out);
    }
}

// ---------------------------------------------------------------- requests

TEST(UpsTbUps, StatusRequestFollowsTheVariant) {
    struct Case {
        Dialect d;
        int variant;
        const char* request;
    } cases[] = {
        {Dialect::kDefault, 0, "Q1\r\n"}, {Dialect::kDefault, 1, "Q6\r\n"},
        {Dialect::kDefault, 2, "QGS\r"},  {Dialect::kDefault, 3, "Q1\r"},
        {Dialect::kDefault, 9, "Q1\r\n"}, {Dialect::kEast, 0, "Q1\r"},
        {Dialect::kEast, 1, "Q1\r"},      {Dialect::kGxgd, 0, "Q1\r\n"},
        {Dialect::kGxgd, 1, "Q6\r\n"},    {Dialect::kGxgd, 3, "Q1\r\n"},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        r.item.Variant(c.variant);
        r.dev.silent = true;
        EXPECT_EQ(0, r.Poll());
        ASSERT_FALSE(r.ch.Written().empty());
        EXPECT_EQ(c.request, r.ch.Write(0)) << c.d << "/" << c.variant;
    }
}

TEST(UpsTbUps, DefaultHandlerWithoutPointAsksQ1) {
    qxsim::Q1Ups dev;
    UpsChannel ch(dev);
    CSMUps h;
    EXPECT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ("Q1\r\n", ch.Write(0));
}

TEST(UpsTbUps, DefaultHandlerAsksQ2FAndIOnFirstPollThenOnlyQ2) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<std::string>{"Q1", "Q2", "F", "I"}), r.dev.requests);
    EXPECT_EQ(1, r.ch.Purges());
    r.dev.requests.clear();
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<std::string>{"Q1", "Q2"}), r.dev.requests);
}

TEST(UpsTbUps, EastAsksG1G3ThenRatingAndIdentificationOnce) {
    Rig r(Dialect::kEast, 0x306);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<std::string>{"Q1", "G1", "G3", "F", "I"}), r.dev.requests);
    EXPECT_EQ(0, r.ch.Purges());
    r.dev.requests.clear();
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<std::string>{"Q1", "G1", "G3"}), r.dev.requests);
}

TEST(UpsTbUps, GxgdAsksTheStatusAlone) {
    Rig r(Dialect::kGxgd, 0x310);
    r.item.Ext(1000, 0);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<std::string>{"Q1"}), r.dev.requests);
    EXPECT_EQ(0, r.ch.Purges());
    EXPECT_EQ(0, r.h->DataVal(34));
    EXPECT_EQ(0, r.h->DataVal(35));
}

// ---------------------------------------------------------------- decode tables

TEST(UpsTbUps, StatusRepliesDecodePerHandlerAndVariant) {
    struct Case {
        const char* what;
        Dialect d;
        int variant, ext1, ext2;
        const char* reply;
        std::vector<Expect> want;
    } cases[] = {
        {"default", Dialect::kDefault, 0, 0, 0,
         "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001001\r",
         {{kUpsVin1, 2300}, {kUpsV1, 0}, {kUpsVout, 2295}, {kUpsAout, 120}, {kUpsFin, 500},
          {kUpsFout, 500}, {kUpsVbatt, 225}, {kUpsTem, 300}, {kUpsB7, 0}, {kUpsB6, 0},
          {kUpsB5, 0}, {kUpsB4, 0}, {kUpsB3, 1}, {kUpsB2, 0}, {kUpsB1, 0}, {kUpsB0, 1},
          {kUpsStatus, 9}, {kUpsPout, 0}, {kUpsPbatt, 0}, {kUpsMbatt, 0}}},
        {"battery 2.26 truncates", Dialect::kDefault, 0, 0, 0,
         "(230.0 000.0 229.5 012 50.0 2.26 30.0 00001001\r", {{kUpsVbatt, 225}}},
        {"slashes and blank runs", Dialect::kDefault, 3, 0, 0,
         "(230.0/180.5  229.5 012/50.0   2.25 30.0 11111111\r",
         {{kUpsVin1, 2300}, {kUpsV1, 1805}, {kUpsVout, 2295}, {kUpsFin, 500},
          {kUpsStatus, 255}, {kUpsB7, 1}}},
        {"battery factor from Ext2", Dialect::kDefault, 0, 0, 120,
         "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001001\r", {{kUpsVbatt, 2700}}},
        {"any non-zero status character is set", Dialect::kDefault, 0, 0, 0,
         "(230.0 000.0 229.5 012 50.0 2.25 30.0 1x0000Z1\r",
         {{kUpsB7, 1}, {kUpsB6, 1}, {kUpsB1, 1}, {kUpsB0, 1}, {kUpsStatus, 195}}},
        {"QGS", Dialect::kDefault, 2, 0, 0,
         "(231.0 50.1 229.0 50.0 000.0 015 000.0 000.0 2.27 000.0 31.0 HL10000001\r",
         {{kUpsVin1, 2310}, {kUpsFin, 501}, {kUpsVout, 2290}, {kUpsFout, 500}, {kUpsAout, 150},
          {kUpsVbatt, 227}, {kUpsTem, 310}, {kUpsV1, 0}, {kUpsB7, 1}, {kUpsB0, 1},
          {kUpsStatus, 129}}},
        {"east", Dialect::kEast, 0, 0, 0, "(230.0 000.0 229.5 012 50.0 27.5 30.0 00000000\r",
         {{kUpsVin1, 2300}, {kUpsVout, 2295}, {kUpsAout, 120}, {kUpsFin, 500}, {kUpsVbatt, 275},
          {kUpsTem, 300}, {kUpsStatus, 0}}},
        {"east plus signs", Dialect::kEast, 0, 0, 0,
         "(230.0+001.0+229.5+012+50.0+27.5+30.0 00100000\r",
         {{kUpsVin1, 2300}, {kUpsVout, 2295}, {kUpsTem, 300}, {kUpsB5, 1}, {kUpsStatus, 32}}},
        {"gxgd", Dialect::kGxgd, 0, 1000, 0, "(230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r",
         {{kUpsVin1, 23000}, {kUpsVout, 23000}, {kUpsAout, 1200}, {kUpsFin, 5000},
          {kUpsFout, 5000}, {kUpsVbatt, 225}, {kUpsTem, 3000}, {kUpsB0, 1}, {kUpsStatus, 1}}},
        {"gxgd without Ext1", Dialect::kGxgd, 0, 0, 0,
         "(230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r", {{kUpsVbatt, 0}}},
        // Ext1 times the battery number does not fit 32 bits; the scaled result does
        {"gxgd large Ext1", Dialect::kGxgd, 0, 2000000000, 0,
         "(230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r", {{kUpsVbatt, 450000000}}},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        r.item.Variant(c.variant).Ext(c.ext1, c.ext2);
        r.dev.replies.clear();
        r.dev.replies[c.variant == 2 ? "QGS" : "Q1"] = c.reply;
        r.dev.replies["Q6"] = c.reply;
        ASSERT_EQ(1, r.Poll()) << c.what;
        ExpectFields(*r.h, c.want, c.what);
    }
}

TEST(UpsTbUps, RefusedStatusRepliesLeaveThePreviousValues) {
    struct Case {
        const char* what;
        Dialect d;
        int variant;
        const char* reply;
    } cases[] = {
        {"no reply", Dialect::kDefault, 0, ""},
        {"no opening bracket", Dialect::kDefault, 0, "230.0 000.0 229.5 012 50.0 2.25 30.0 00001001\r"},
        {"no final CR", Dialect::kDefault, 0, "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001001"},
        {"six numbers", Dialect::kDefault, 0, "(230.0 000.0 229.5 012 50.0 2.25 00001001\r"},
        {"seven numbers, no status", Dialect::kDefault, 0, "(230.0 000.0 229.5 012 50.0 2.25 30.0\r"},
        {"status of seven characters", Dialect::kDefault, 0,
         "(230.0 000.0 229.5 012 50.0 2.25 30.0 0000100\r"},
        {"QGS with ten numbers", Dialect::kDefault, 2,
         "(231.0 50.1 229.0 50.0 000.0 015 000.0 000.0 2.27 000.0 HL10000001\r"},
        {"QGS status without its two leading characters", Dialect::kDefault, 2,
         "(231.0 50.1 229.0 50.0 000.0 015 000.0 000.0 2.27 000.0 31.0 10000001\r"},
        {"number out of range", Dialect::kDefault, 0,
         "(230.0 1e300 229.5 012 50.0 2.25 30.0 00001001\r"},
        {"east six numbers", Dialect::kEast, 0, "(230.0 000.0 229.5 012 50.0 27.5 00000000\r"},
        {"east short status", Dialect::kEast, 0, "(230.0 000.0 229.5 012 50.0 27.5 30.0 0000\r"},
        {"gxgd short status", Dialect::kGxgd, 0, "(230.0 000.0 230.0 012 50.0 2.25 30.0 0000000\r"},
        {"gxgd no bracket", Dialect::kGxgd, 0, "#230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r"},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        r.item.Variant(c.variant).Ext(1000, 0);
        ASSERT_EQ(1, r.Poll()) << c.what;  // the preset device answers well first
        const int vin = r.h->DataVal(kUpsVin1), tem = r.h->DataVal(kUpsTem);
        const int status = r.h->DataVal(kUpsStatus);
        r.dev.replies[c.variant == 2 ? "QGS" : "Q1"] = c.reply;
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(vin, r.h->DataVal(kUpsVin1)) << c.what;
        EXPECT_EQ(tem, r.h->DataVal(kUpsTem)) << c.what;
        EXPECT_EQ(status, r.h->DataVal(kUpsStatus)) << c.what;
    }
}

TEST(UpsTbUps, ClosedMissingOrUnwritableChannelFailsThePoll) {
    for (Dialect d : {Dialect::kDefault, Dialect::kEast, Dialect::kGxgd}) {
        Rig r(d);
        EXPECT_EQ(0, r.h->DataGet(nullptr, 1, 0));
        r.ch.SetOpen(false);
        EXPECT_EQ(0, r.Poll());
        EXPECT_TRUE(r.ch.Written().empty());
        r.ch.SetOpen(true);
        r.ch.ShortWrite(0);
        EXPECT_EQ(0, r.Poll());
        EXPECT_EQ(1u, r.ch.Written().size()) << "nothing after a failed status request";
    }
}

// ---------------------------------------------------------------- follow-up requests

TEST(UpsTbUps, SecondAndThirdPhaseInputVoltagesNeedThreeNumbers) {
    struct Case {
        const char* reply;
        int vin2, vin3;
    } cases[] = {
        {"(230.0 231.5 232.0\r", 2315, 2320},
        {"(230.0 231.5\r", 0, 0},
        {"", 0, 0},
        {"(230.0 231.5 232.0", 0, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        r.dev.replies["Q2"] = c.reply;
        ASSERT_EQ(1, r.Poll()) << c.reply;
        EXPECT_EQ(c.vin2, r.h->DataVal(kUpsVin2)) << c.reply;
        EXPECT_EQ(c.vin3, r.h->DataVal(kUpsVin3)) << c.reply;
    }
}

TEST(UpsTbUps, RatingIsReadOnceAndKeptAcrossPolls) {
    struct Case {
        Dialect d;
        std::vector<Expect> want;
    } cases[] = {
        {Dialect::kDefault,
         {{kUpsVed, 2200}, {kUpsAed, 40}, {kUpsVAed, 88}, {kUpsVdc, 240}, {kUpsFed, 500}, {35, 1}}},
        {Dialect::kEast,
         {{kUpsVed, 2200}, {kUpsAed, 40}, {kUpsVAed, 88}, {kUpsVdc, 240}, {kUpsFed, 500}, {35, 1}}},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        r.dev.replies["F"] = "#220.0 004 024.0 50.0\r";
        ASSERT_EQ(1, r.Poll());
        ExpectFields(*r.h, c.want, "first poll");
        r.dev.replies.erase("F");
        ASSERT_EQ(1, r.Poll());
        ExpectFields(*r.h, c.want, "second poll keeps the rating");
    }
}

TEST(UpsTbUps, EachPointKeepsItsOwnRatingAndIdentification) {
    // Two UPS units of one type on one handler: each is asked for its own rating and
    // identification once, and neither shows the other's.
    for (Dialect d : {Dialect::kDefault, Dialect::kEast}) {
        const int type = d == Dialect::kEast ? 0x306 : 0x300;
        Rig a(d, type);
        qxsim::Q1Ups devB(d);
        UpsChannel chB(devB);
        qxhost::PointItem itemB(8, type);
        itemB.Name("UPS-B").Port(1).Addr(2);
        a.dev.replies["F"] = "#220.0 004 024.0 50.0\r";
        a.dev.replies["I"] = qxsim::Q1Ups::Ident("MAKER-A", "MA", "VA");
        devB.replies["F"] = "#110.0 002 012.0 60.0\r";
        devB.replies["I"] = qxsim::Q1Ups::Ident("MAKER-B", "MB", "VB");
        struct Step {
            bool b;
            int ved, fed;
            const char* company;
            int asked;  // rating and identification requests this poll
        } steps[] = {
            {false, 2200, 500, "MAKER-A", 2},
            {true, 1100, 600, "MAKER-B", 2},
            {false, 2200, 500, "MAKER-A", 0},
            {true, 1100, 600, "MAKER-B", 0},
        };
        for (const Step& s : steps) {
            qxsim::Q1Ups& dev = s.b ? devB : a.dev;
            dev.requests.clear();
            a.h->DoItem(s.b ? (tagSMItem*)itemB : (tagSMItem*)a.item, 0);
            ASSERT_EQ(1, a.h->DataGet(s.b ? &chB : &a.ch, 1, 0)) << d;
            const std::string what = std::string(s.b ? "B " : "A ") + std::to_string((int)d);
            EXPECT_EQ(s.ved, a.h->DataVal(kUpsVed)) << what;
            EXPECT_EQ(s.fed, a.h->DataVal(kUpsFed)) << what;
            EXPECT_EQ(s.company, a.Text(kUpsCompany)) << what;
            EXPECT_EQ(1, a.h->DataVal(34)) << what;
            EXPECT_EQ(1, a.h->DataVal(35)) << what;
            EXPECT_EQ(s.asked, std::count(dev.requests.begin(), dev.requests.end(), "F") +
                                   std::count(dev.requests.begin(), dev.requests.end(), "I"))
                << what;
        }
    }
}

TEST(UpsTbUps, BadRatingRepliesAreAskedAgain) {
    for (const char* reply : {"#220.0 004 024.0\r", "(220.0 004 024.0 50.0\r", ""}) {
        Rig r;
        r.dev.replies["F"] = reply;
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0, r.h->DataVal(35)) << reply;
        EXPECT_EQ(0, r.h->DataVal(kUpsVed)) << reply;
        r.dev.requests.clear();
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(1, std::count(r.dev.requests.begin(), r.dev.requests.end(), "F")) << reply;
    }
}

TEST(UpsTbUps, IdentificationTextsAreTrimmedAndReadOnce) {
    Rig r;
    r.dev.replies["I"] = qxsim::Q1Ups::Ident("  ACME O'Neil", " QX-1000", "V2.10  ");
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("ACME O'Neil", r.Text(kUpsCompany));
    EXPECT_EQ("QX-1000", r.Text(kUpsMode));
    EXPECT_EQ("V2.10", r.Text(kUpsVersion));
    EXPECT_EQ(1, r.h->DataVal(34));
    r.dev.requests.clear();
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, std::count(r.dev.requests.begin(), r.dev.requests.end(), "I"));
    EXPECT_EQ("ACME O'Neil", r.Text(kUpsCompany)) << "kept once read";
}

TEST(UpsTbUps, ShortIdentificationIsIgnoredAndAskedAgain) {
    Rig r;
    std::string reply = qxsim::Q1Ups::Ident("ACME", "M", "V");
    r.dev.replies["I"] = reply.substr(0, 37) + "\r";  // 38 bytes
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h->DataVal(34));
    EXPECT_EQ("", r.Text(kUpsCompany));
    r.dev.replies["I"] = reply;
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("ACME", r.Text(kUpsCompany));
}

TEST(UpsTbUps, BlankMakerTakesThePointNameCutToFifteenBytes) {
    struct Case {
        const char* name;
        const char* company;
    } cases[] = {
        {"UPS-A", "UPS-A"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "ABCDEFGHIJKLMNO"},
        // fourteen ASCII bytes and a GBK character do not fit: the character is left out
        // whole rather than cut in half
        {"ABCDEFGHIJKLMN机房", "ABCDEFGHIJKLMN"},
        {"机房一号UPS1电源", "机房一号UPS1电"},
    };
    for (const Case& c : cases) {
        Rig r;
        r.item.Name(c.name);
        r.dev.replies["I"] = qxsim::Q1Ups::Ident("", "M", "V");
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(Hex(c.company), Hex(r.Text(kUpsCompany).c_str()));
    }
}

TEST(UpsTbUps, BlankMakerWithoutPointIsABlank) {
    qxsim::Q1Ups dev;
    dev.replies["I"] = qxsim::Q1Ups::Ident("", "M", "V");
    UpsChannel ch(dev);
    std::unique_ptr<CSMUps> h(new CSMUps);  // texts are handed out from the handler's area
    ASSERT_EQ(1, h->DataGet(&ch, 1, 0));
    EXPECT_STREQ(" ", qxhost::TextOfVal(h->DataVal(kUpsCompany)));
}

TEST(UpsTbUps, EastBatteryFiguresComeOnlyFromG1) {
    Rig r(Dialect::kEast, 0x306);
    r.dev.replies.erase("G1");
    for (int i = 0; i < 3; i++) ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1000, r.h->DataVal(kUpsPbatt)) << "not counted down";
    EXPECT_EQ(120, r.h->DataVal(kUpsMbatt));
    r.dev.replies["G1"] = "!000 095 045 2.5 000 000 000 50.1\r";
    ASSERT_EQ(1, r.Poll());
    ExpectFields(*r.h, {{kUpsPbatt, 950}, {kUpsMbatt, 450}, {kUpsV4, 25}, {kUpsFout, 501}}, "G1");
    r.dev.replies["G1"] = "!000 095\r";  // too few numbers: the fields stay as they were
    ASSERT_EQ(1, r.Poll());
    ExpectFields(*r.h, {{kUpsPbatt, 950}, {kUpsMbatt, 450}, {kUpsV4, 0}, {kUpsFout, 500}},
                 "short G1");
}

TEST(UpsTbUps, EastG3FillsPhasesAndLoad) {
    Rig r(Dialect::kEast, 0x306);
    ASSERT_EQ(1, r.Poll());
    ExpectFields(*r.h,
                 {{kUpsVin2, 2310}, {kUpsVin3, 2320}, {kUpsV1, 10}, {kUpsV2, 20}, {kUpsV3, 30},
                  {kUpsPout, 350}},
                 "G3");
    r.dev.replies["G3"] = "!000 231.0 232.0 1.0 2.0 3.0 000 000 000 000 000\r";
    ASSERT_EQ(1, r.Poll());
    ExpectFields(*r.h, {{kUpsVin2, 0}, {kUpsVin3, 0}, {kUpsPout, 0}}, "G3 with eleven numbers");
}

TEST(UpsTbUps, GxgdNeedsACurrentPoint) {
    qxsim::Q1Ups dev(Dialect::kGxgd);
    UpsChannel ch(dev);
    CSMUpsGXGD h;
    EXPECT_EQ(0, h.DataGet(&ch, 1, 0));
    EXPECT_TRUE(ch.Written().empty());
}

TEST(UpsTbUps, WaitsFollowTheWaitArgument) {
    struct Case {
        Dialect d;
        int wait;
        bool firstPoll;  // rating and identification still to be read
        std::vector<int> sleeps;
    } cases[] = {
        // status, then per follow-up: before the write, after it, before the read
        {Dialect::kDefault, 0, true, {150, 150, 150, 150, 150, 150, 150}},
        {Dialect::kDefault, 0, false, {150, 150, 150}},
        {Dialect::kDefault, 200, false, {200, 200, 150, 200}},
        {Dialect::kDefault, 200, true, {200, 200, 150, 200, 200, 150, 200, 200, 150, 200}},
        // status, then per follow-up: before the write, before the read
        {Dialect::kEast, 0, true, {100, 100, 100, 100, 100}},
        {Dialect::kEast, 50, false, {100, 50, 100, 50, 100}},
        {Dialect::kEast, 300, false, {100, 300, 300, 300, 300}},
        {Dialect::kGxgd, 300, true, {150}},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        r.item.Ext(1000, 0);
        if (!c.firstPoll) {
            ASSERT_EQ(1, r.Poll());
        }
        g_sleeps.clear();
        ASSERT_EQ(1, r.Poll(c.wait));
        EXPECT_EQ(c.sleeps, g_sleeps) << c.d << " wait " << c.wait << " first " << c.firstPoll;
    }
}

TEST(UpsTbUps, GxgdTracesTheReplyAsReceived) {
    Rig r(Dialect::kGxgd, 0x310);
    r.item.Ext(1000, 0);
    const std::string reply = "(230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r";
    // A long reply, then a short one into the same place: the trace shows the short one only.
    r.ch.Reply("(" + std::string(90, 'X') + "\r").Reply(reply);
    ::testing::internal::CaptureStdout();
    const int first = r.Poll();
    const int second = r.Poll();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(0, first);
    EXPECT_EQ(1, second);
    EXPECT_NE(std::string::npos, out.find("SMUps::DataGet buf: " + reply + "\r\n"));
}

TEST(UpsTbUps, GxgdWaitsOnlyOnNetworkChannels) {
    struct Case {
        int type;
        int wait;
        bool waited;
    } cases[] = {
        {0x100001, 500, false},
        {0x200001, 500, true},
        {0x200001, 0, false},
    };
    for (const Case& c : cases) {
        Rig r(Dialect::kGxgd, 0x310);
        r.ch.SetType(c.type);
        ASSERT_EQ(1, r.Poll(c.wait));
        EXPECT_EQ(c.waited, std::count(g_sleeps.begin(), g_sleeps.end(), 500) == 1)
            << std::hex << c.type << " wait " << std::dec << c.wait;
    }
}

// ---------------------------------------------------------------- values and display keys

TEST(UpsTbUps, DataValOutsideTheRecordIsMinusOne) {
    Rig r;
    EXPECT_EQ(0, r.h->DataVal(0));
    EXPECT_EQ(-1, r.h->DataVal(36));
    EXPECT_EQ(-1, r.h->DataVal(-1));
}

TEST(UpsTbUps, VarEvalPrintsKnownKeysOnly) {
    struct Case {
        Dialect d;
        const char* key;
        const char* want;  // null: unknown, -1 and untouched
    } cases[] = {
        {Dialect::kDefault, ".Vin", "230.0"},   {Dialect::kDefault, ".Vin1", nullptr},
        {Dialect::kDefault, ".Fin", "50.0"},    {Dialect::kDefault, ".Vbatt", "225"},
        {Dialect::kDefault, ".B3", "1"},        {Dialect::kDefault, ".status", "9"},
        {Dialect::kDefault, ".VAed", "88"},     {Dialect::kDefault, ".company", "ACME POWER"},
        {Dialect::kDefault, ".Vfault", "0"},    {Dialect::kDefault, "Vin", nullptr},
        {Dialect::kGxgd, ".Vin", "230.0"},      {Dialect::kGxgd, ".Vbatt", "27.1"},
        {Dialect::kGxgd, ".Tem", "3000"},       {Dialect::kEast, ".Vbatt", "275"},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        r.item.Ext(12053, 0);  // GXGD: 2.25 V in hundredths times 12.053 is 2711.9
        ASSERT_EQ(1, r.Poll());
        char text[64];
        snprintf(text, sizeof text, "%s", c.key);
        int n = r.h->VarEval(text);
        if (!c.want) {
            EXPECT_EQ(-1, n) << c.key;
            EXPECT_STREQ(c.key, text);
        } else {
            EXPECT_EQ((int)strlen(c.want), n) << c.key;
            EXPECT_STREQ(c.want, text) << c.key;
        }
    }
}

// ---------------------------------------------------------------- commands

TEST(UpsTbUps, CommandsAreSentAndReportedOnlyWhenSent) {
    int five = 5, many = 120, negative = -3;
    struct Case {
        Dialect d;
        int cmd;
        void* buf;
        int result;
        const char* sent;
    } cases[] = {
        {Dialect::kDefault, 1, nullptr, 1, "Q\r"},
        {Dialect::kDefault, 8000, nullptr, 1, "T\r"},
        {Dialect::kDefault, 8001, &five, 1, "T05\r"},
        {Dialect::kDefault, 8001, &many, 1, "T99\r"},
        {Dialect::kDefault, 8001, nullptr, 0, ""},
        {Dialect::kDefault, 8001, &negative, 0, ""},
        {Dialect::kDefault, 8002, nullptr, 1, "TL\r"},
        {Dialect::kDefault, 8003, nullptr, 1, "CT\r"},
        {Dialect::kDefault, 77, nullptr, 0, ""},
        {Dialect::kEast, 1, nullptr, 1, "Q\r"},
        {Dialect::kEast, 8000, nullptr, 0, ""},
        {Dialect::kGxgd, 1, nullptr, 1, "Q\r"},
        {Dialect::kGxgd, 8003, nullptr, 0, ""},
    };
    for (const Case& c : cases) {
        Rig r(c.d);
        EXPECT_EQ(c.result, r.h->DoFunc(&r.ch, 1, c.cmd, c.buf, 4)) << c.d << "/" << c.cmd;
        EXPECT_EQ(c.sent, r.ch.AllWritten()) << c.d << "/" << c.cmd;
    }
}

TEST(UpsTbUps, CommandsFailOnAClosedChannelOrAFailedWrite) {
    for (Dialect d : {Dialect::kDefault, Dialect::kEast, Dialect::kGxgd}) {
        Rig r(d);
        EXPECT_EQ(0, r.h->DoFunc(nullptr, 1, 1, nullptr, 0));
        r.ch.SetOpen(false);
        EXPECT_EQ(0, r.h->DoFunc(&r.ch, 1, 1, nullptr, 0));
        r.ch.SetOpen(true);
        r.ch.ShortWrite(1);
        EXPECT_EQ(0, r.h->DoFunc(&r.ch, 1, 1, nullptr, 0)) << "short write";
        // the three-argument form goes through the point's channel
        r.item.Ser(&r.ch);
        EXPECT_EQ(1, r.h->DoFunc(1, nullptr, 0));
        r.item.Ser(nullptr);
        EXPECT_EQ(0, r.h->DoFunc(1, nullptr, 0));
    }
}

// ---------------------------------------------------------------- registration and storage

namespace {

struct DbRig : Rig {
    explicit DbRig(Dialect d = Dialect::kDefault, int type = 0x300) : Rig(d, type) {
        h->SetDb(&db, 0);
        h->SetDb(&hist, 1);
        h->RegDb(&db, 0);
        EXPECT_EQ(1, h->ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,type,State) values(7," + std::to_string(type) + ",-1)");
    }
    long long Cur(const std::string& col) {
        return db.Int("select " + col + " from tbUps where SID=7");
    }
    std::string CurText(const std::string& col) {
        return db.Str("select " + col + " from tbUps where SID=7");
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=7"); }
    TestDb db;
    TestDb hist;
};

}  // namespace

TEST(UpsTbUpsDb, RegistersTypeAndSixteenRowsOnceUnlessForced) {
    struct Case {
        Dialect d;
        int type;
        int analogScale;
    } cases[] = {
        {Dialect::kDefault, 0x300, 10},
        {Dialect::kEast, 0x306, 10},
        {Dialect::kGxgd, 0x310, 100},
    };
    for (const Case& c : cases) {
        TestDb db;
        std::unique_ptr<CSMUpsTbUps> h(NewHandler(c.d));
        h->RegDb(&db, 0);
        const std::string t = std::to_string(c.type);
        EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=" + t));
        EXPECT_EQ(768, db.Int("select Kind from tbSMType where Type=" + t));
        EXPECT_EQ("UPS " + std::string(h->GetNote()), db.Str("select Name from tbSMType where Type=" + t));
        EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Type=" + t));
        EXPECT_EQ(8, db.Int("select count(*) from tbSMDef where Ratio=" +
                            std::to_string(c.analogScale) + " and Type=" + t));
        EXPECT_EQ(8, db.Int("select count(*) from tbSMDef where Ratio=1 and Type=" + t));
        EXPECT_EQ(2350, db.Int("select HiLmt from tbSMDef where Fld=7 and Type=" + t));
        db.Run("update tbSMDef set Note='x' where Type=" + t);
        h->RegDb(&db, 0);
        EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Type=" + t));
        EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Note='x' and Type=" + t));
        h->RegDb(&db, 1);
        EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Type=" + t));
        EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Note='x' and Type=" + t));
        EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=" + t));
    }
}

TEST(UpsTbUpsDb, RegDbWithoutDatabaseDoesNothing) {
    std::unique_ptr<CSMUps> h(new CSMUps);
    h->RegDb(nullptr, 1);
    EXPECT_EQ(0, h->ChkDb(nullptr));
}

TEST(UpsTbUpsDb, ChkDbCreatesTheTableInBothDatabasesAndOneRowPerPoint) {
    DbRig r;
    EXPECT_TRUE(r.hist.TableExists("tbUps"));
    EXPECT_EQ(1, r.h->ChkDb(r.item));
    EXPECT_EQ(1, r.db.Int("select count(*) from tbUps where SID=7"));
    EXPECT_EQ(-1, r.Cur("State"));
    EXPECT_EQ(1, r.db.Int("select count(*) from tbSMBrief where SID=7"));
    EXPECT_EQ(1, r.h->ChkDb(nullptr));

    CSMUps lone;
    EXPECT_EQ(0, lone.ChkDb(r.item)) << "no main database";
}

TEST(UpsTbUpsDb, APollIsStoredAsCurrentRowStateSummaryAndHistory) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {0, 0};
    int snap = 42;
    ASSERT_EQ(1, r.h->DataUpd(16, bits, &snap, -1, &r.hist));
    EXPECT_EQ(0, r.Cur("State"));
    EXPECT_EQ(42, r.Cur("SnapID"));
    EXPECT_EQ(2300, r.Cur("Vin1"));
    EXPECT_EQ(2315, r.Cur("Vin2"));
    EXPECT_EQ(2295, r.Cur("Vout"));
    EXPECT_EQ(9, r.Cur("status"));
    EXPECT_EQ(1, r.Cur("b3"));
    EXPECT_EQ("<null>", r.CurText("VAed")) << "VAed is not written";
    EXPECT_EQ("ACME POWER", r.CurText("company"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=7"));
    EXPECT_EQ(Hex("输入电压:230.0V, 输出电压:229.5V, 输出负载:12%"), Hex(r.Brief().c_str()));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbUps where SID=7"));
    EXPECT_EQ(2300, r.hist.Int("select Vin1 from tbUps where SID=7"));
    EXPECT_EQ("<null>", r.hist.Str("select Pout from tbUps where SID=7"));
}

TEST(UpsTbUpsDb, IdentificationWithQuotesIsStoredIntact) {
    DbRig r;
    r.dev.replies["I"] = qxsim::Q1Ups::Ident("O'Neil's 'UPS'", "it's", "v'1");
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {0, 0};
    ASSERT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("O'Neil's 'UPS'", r.CurText("company"));
    EXPECT_EQ("it's", r.CurText("mode"));
    EXPECT_EQ("v'1", r.CurText("version"));
    EXPECT_EQ("O'Neil's 'UPS'", r.hist.Str("select company from tbUps"));
}

TEST(UpsTbUpsDb, PointNameWithQuoteAsMakerIsStoredIntact) {
    DbRig r;
    r.item.Name("Room 'B' UPS");
    r.dev.replies["I"] = qxsim::Q1Ups::Ident("", "M", "V");
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {0, 0};
    ASSERT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ("Room 'B' UPS", r.CurText("company"));
}

TEST(UpsTbUpsDb, NoAnswerStoresStateTwoAndZeros) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.h->DataUpd(0, nullptr, nullptr, -1, &r.hist));
    EXPECT_EQ(2, r.Cur("State"));
    EXPECT_EQ(0, r.Cur("Vin1"));
    EXPECT_EQ(0, r.Cur("Pbatt"));
    EXPECT_EQ("", r.CurText("company"));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=7"));
    // The cleared values are not shown as readings: the summary names the lost link only.
    EXPECT_EQ(Hex("通讯中断"), Hex(r.Brief().c_str()));
    EXPECT_EQ(2, r.hist.Int("select State from tbUps"));
}

TEST(UpsTbUpsDb, RatingAndIdentificationComeBackAfterANoAnswerUpdate) {
    for (Dialect d : {Dialect::kDefault, Dialect::kEast}) {
        DbRig r(d, d == Dialect::kEast ? 0x306 : 0x300);
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.h->DataUpd(0, nullptr, nullptr, -1, nullptr));
        EXPECT_EQ(0, r.Cur("Ved"));
        r.dev.requests.clear();
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(1, std::count(r.dev.requests.begin(), r.dev.requests.end(), "F")) << d;
        EXPECT_EQ(1, std::count(r.dev.requests.begin(), r.dev.requests.end(), "I")) << d;
        int bits[2] = {0, 0};
        ASSERT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, nullptr));
        EXPECT_EQ(2200, r.Cur("Ved")) << d;
        EXPECT_NE("", r.CurText("company")) << d;
    }
}

TEST(UpsTbUpsDb, AlarmSummaryQuotesTheCaptionsOfOutOfLimitFields) {
    struct Case {
        Dialect d;
        int type;
        int flags;
        int bits;
        int state;
        const char* brief;
    } cases[] = {
        {Dialect::kDefault, 0x300, 1, (1 << 0) | (1 << 10) | (1 << 17), 1,
         "输入电压:230.0V, 输出电压:229.5V, 输出负载:12%告警:输入电压 b7市电异常 b0蜂鸣..."},
        {Dialect::kDefault, 0x300, 1, (1 << 0) | (1 << 3) | (1 << 4) | (1 << 5), 1,
         "输入电压:230.0V, 输出电压:229.5V, 输出负载:12%告警:输入电压 输入频率 输出电压..."},
        {Dialect::kEast, 0x306, 0, 0, 0, ""},
        {Dialect::kEast, 0x306, 1, (1 << 0) | (1 << 3) | (1 << 4) | (1 << 5), 1,
         "告警:输入电压 输入频率 输出电压 输出电流"},
        {Dialect::kGxgd, 0x310, 0, 0, 0, "输入电压:230.0V, 输出电压:230.0V, 输出负载:12%"},
    };
    for (const Case& c : cases) {
        DbRig r(c.d, c.type);
        r.item.Ext(1000, 0);
        ASSERT_EQ(1, r.Poll());
        int bits[2] = {c.bits, 0};  // 35 fields: two words
        ASSERT_EQ(1, r.h->DataUpd(c.flags, bits, nullptr, -1, nullptr));
        EXPECT_EQ(c.state, r.Cur("State"));
        EXPECT_EQ(Hex(c.brief), Hex(r.Brief().c_str())) << c.d << " bits " << c.bits;
        if (c.d == Dialect::kEast) {
            EXPECT_EQ(c.state, r.db.Int("select St from tbSMBrief where SID=7"));
        }
    }
}

TEST(UpsTbUpsDb, ResultFollowsTheCurrentRowAndHistory) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {0, 0};
    r.hist.Run("drop table tbUps");
    EXPECT_EQ(0, r.h->DataUpd(0, bits, nullptr, -1, &r.hist)) << "history insert failed";
    EXPECT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, nullptr));
    r.db.Run("drop table tbSMBrief");
    EXPECT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, nullptr)) << "the summary does not decide";
    // with neither database there is nothing to fail
    CSMUps bare;
    bare.DoItem(r.item, 0);
    EXPECT_EQ(1, bare.DataUpd(0, bits, nullptr, 5, nullptr));
    // an explicit sid is used as given
    EXPECT_EQ(1, r.h->DataUpd(0, bits, nullptr, 99, nullptr));
    EXPECT_EQ(0, r.Cur("State"));
}
