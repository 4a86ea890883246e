// Whole polls of SANTAK UPS points as a host makes them: both plug-ins loaded with dlopen, a
// serial channel on a pseudo-terminal to each simulated UPS, the host's SQLite databases;
// every check reads rows back from SQLite.
#include <memory>
#include <string>

#include "E2eRig.h"
#include "PtySim.h"
#include "Q1Ups.h"
#include "gtest/gtest.h"

namespace {

// One UPS behind its own pseudo-terminal and serial channel, and its point.
struct Ups {
    Ups(int sid, int variant) : dev(qxsim::Q1Ups::kSantak), item(sid, 0x304) {
        pty.SetFramer(qxsim::FrameByTerminator('\r'));
        pty.SetResponder(dev.AsResponder());
        item.Port(sid).Addr(1).Variant(variant);
    }
    qxsim::Q1Ups dev;
    qxsim::PtySim pty;
    qxhost::PointItem item;
    ISerBase* ch = nullptr;
};

class SantakE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        h = rig.Handler(0x304);
        ASSERT_NE(nullptr, h);
    }

    void Add(Ups& u) {
        ASSERT_TRUE(u.pty.Start());
        // Each terminal its own channel: the type code carries its number, as the channel
        // reports it, so that two terminals never share one channel.
        u.ch = rig.Channel(u.pty.Definition(), qxtest::E2eRig::kSerial | u.pty.Number());
        ASSERT_NE(nullptr, u.ch);
        u.item.Ser(u.ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, u.item));
    }

    void TearDown() override {
        rig.Close();
        a.pty.Stop();
        b.pty.Stop();
    }

    // One poll as the host makes it: DataGet's result and DataUpd's.
    std::pair<int, int> Poll(Ups& u, int flags = 0) {
        h->DoItem(u.item, 0);
        int got = h->DataGet(u.ch, u.item.Get().Addr, 0);
        int bits[2] = {0, 0};
        return {got, h->DataUpd(flags, got ? bits : nullptr, nullptr, -1, &hist)};
    }
    long long Cur(const Ups& u, const char* col) {
        return db.Int(std::string("select ") + col + " from tbUps where SID=" +
                      std::to_string(u.item.Get().SID));
    }
    long long Detail(const Ups& u) {
        return db.Int("select State from tbSubSysDetail where SID=" +
                      std::to_string(u.item.Get().SID));
    }

    Ups a{61, 0}, b{62, 1};
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISMBase* h = nullptr;
};

}  // namespace

TEST_F(SantakE2e, TwoPointsOneSilent) {
    Add(a);
    Add(b);
    EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Type=772"));

    // Both answer: values and flags of each point's form.
    EXPECT_EQ(std::make_pair(1, 1), Poll(a));
    EXPECT_EQ(std::make_pair(1, 1), Poll(b));
    EXPECT_EQ(2200, Cur(a, "Vin1"));
    EXPECT_EQ(120, Cur(a, "Mbatt"));
    EXPECT_EQ(8, Cur(a, "status"));
    EXPECT_EQ(500, Cur(b, "Fin"));
    EXPECT_EQ(16, Cur(b, "status")) << "the flags of WA";
    EXPECT_EQ(45, Cur(b, "Mbatt"));
    EXPECT_EQ(0, Detail(a));
    EXPECT_EQ(0, Detail(b));
    EXPECT_EQ((std::vector<std::string>{"Q2"}), a.dev.Requests());
    EXPECT_EQ((std::vector<std::string>{"Q6", "WA"}), b.dev.Requests());

    // A falls silent while b keeps answering: a is reported on its third silent poll.
    a.dev.SetSilent(true);
    for (int round = 1; round <= 3; round++) {
        EXPECT_EQ(std::make_pair(0, round == 3 ? 1 : 0), Poll(a)) << round;
        EXPECT_EQ(std::make_pair(1, 1), Poll(b)) << round;
        EXPECT_EQ(round == 3 ? 2 : 0, Detail(a)) << round;
    }
    EXPECT_EQ(2, Cur(a, "State"));
    EXPECT_EQ(0, Cur(a, "Vin1"));
    EXPECT_EQ(0, Detail(b));
    EXPECT_EQ(2200, Cur(b, "Vin1"));
    EXPECT_EQ(2, hist.Int("select State from tbUps where SID=61 order by DID desc limit 1"));
    EXPECT_EQ(0, db.Failures()) << db.Error();

    // The beeper command goes to the point's UPS.
    h->DoItem(b.item, 0);
    const size_t before = b.pty.RequestCount();
    EXPECT_EQ(1, h->DoFunc(1, nullptr, 0));
    EXPECT_EQ(0, h->DoFunc(2, nullptr, 0));
    ASSERT_TRUE(b.pty.WaitRequests(before + 1, 2000));
    EXPECT_EQ(before + 1, b.pty.RequestCount());
    // The line after the LF that ended the previous request.
    const std::string last = qxsim::ToHex(b.pty.LastRequest());
    EXPECT_TRUE(last == "51 0D" || last == "0A 51 0D") << last;
}

TEST_F(SantakE2e, EveryFormOverTheLine) {
    Add(a);
    struct Case {
        int variant;
        int vbatt;
        int status;
    } cases[] = {{0, 274, 8}, {1, 274, 16}, {2, 274, 9}, {3, 274, 8}};
    for (const Case& c : cases) {
        a.item.Variant(c.variant);
        EXPECT_EQ(std::make_pair(1, 1), Poll(a)) << c.variant;
        EXPECT_EQ(2200, Cur(a, "Vin1")) << c.variant;
        EXPECT_EQ(c.vbatt, Cur(a, "Vbatt")) << c.variant;
        EXPECT_EQ(c.status, Cur(a, "status")) << c.variant;
    }
}
