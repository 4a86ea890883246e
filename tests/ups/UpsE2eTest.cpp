// Whole polls of the Q1-family UPS handlers as a host makes them: both plug-ins loaded with
// dlopen, a serial channel on a pseudo-terminal to the simulated UPS, the host's SQLite
// databases; every check reads rows back from SQLite.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "E2eRig.h"
#include "GbkText.h"
#include "PtySim.h"
#include "Q1Ups.h"
#include "gtest/gtest.h"

namespace {

using qxtest::Gbk;

class UpsE2e : public ::testing::Test {
protected:
    void Start(qxsim::Q1Ups::Dialect dialect, int type) {
        dev.reset(new qxsim::Q1Ups(dialect));
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        pty.SetFramer(qxsim::FrameByTerminator('\r'));
        pty.SetResponder(dev->AsResponder());
        ASSERT_TRUE(pty.Start());
        ch = rig.Channel(pty.Definition());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(type);
        ASSERT_NE(nullptr, h);
        item.reset(new qxhost::PointItem(21, type));
        item->Name("UPS-1").Port(1).Addr(1).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *item));
    }

    void TearDown() override {
        rig.Close();
        pty.Stop();
    }

    // One poll as the host makes it; the stored state.
    int Poll(int* bits, int flags = 0) { return rig.Poll(h, *item, ch, bits, flags); }

    long long Cur(const char* col) {
        return db.Int(std::string("select ") + col + " from tbUps where SID=21");
    }
    std::string CurText(const char* col) {
        return db.Str(std::string("select ") + col + " from tbUps where SID=21");
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=21"); }
    long long DetailState() { return db.Int("select State from tbSubSysDetail where SID=21"); }

    qxsim::PtySim pty;
    std::unique_ptr<qxsim::Q1Ups> dev;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    std::unique_ptr<qxhost::PointItem> item;
};

TEST_F(UpsE2e, DefaultHandlerPollIsStoredInEveryTable) {
    Start(qxsim::Q1Ups::kDefault, 0x3AB);  // an unlisted UPS code: the default handler
    EXPECT_EQ(0x300, h->GetType());
    EXPECT_EQ(16, db.Int("select count(*) from tbSMDef where Type=768"));
    EXPECT_EQ(-1, Cur("State"));

    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));
    EXPECT_EQ(0, Cur("State"));
    EXPECT_EQ(2300, Cur("Vin1"));
    EXPECT_EQ(2315, Cur("Vin2"));
    EXPECT_EQ(2320, Cur("Vin3"));
    EXPECT_EQ(2295, Cur("Vout"));
    EXPECT_EQ(120, Cur("Aout"));
    EXPECT_EQ(500, Cur("Fin"));
    EXPECT_EQ(225, Cur("Vbatt"));
    EXPECT_EQ(9, Cur("status"));
    EXPECT_EQ(2200, Cur("Ved"));
    EXPECT_EQ(500, Cur("Fed"));
    EXPECT_EQ("ACME POWER", CurText("company"));
    EXPECT_EQ("QX-1000", CurText("mode"));
    EXPECT_EQ("V2.10", CurText("version"));
    EXPECT_EQ(0, DetailState());
    EXPECT_EQ(::Hex(Gbk("输入电压:230.0V, 输出电压:229.5V, 输出负载:12%")), ::Hex(Brief()));
    EXPECT_EQ(1, hist.Int("select count(*) from tbUps where SID=21"));
    EXPECT_EQ(2300, hist.Int("select Vin1 from tbUps where SID=21"));
    EXPECT_EQ((std::vector<std::string>{"Q1", "Q2", "F", "I"}), dev->Requests());

    char text[32] = ".Vin";
    EXPECT_EQ(5, h->VarEval(text));
    EXPECT_STREQ("230.0", text);
}

TEST_F(UpsE2e, AlarmPollStoresStateOneAndQuotesTheCaptions) {
    Start(qxsim::Q1Ups::kDefault, 0x300);
    dev->SetReply("Q1", "(180.0 000.0 229.5 012 50.0 2.25 30.0 10001001\r");
    // The host's limit checks found input voltage (field 1) and mains failure (field 11).
    int bits[2] = {(1 << 0) | (1 << 10), 0};
    ASSERT_EQ(1, Poll(bits, 1));
    EXPECT_EQ(1, Cur("State"));
    EXPECT_EQ(1800, Cur("Vin1"));
    EXPECT_EQ(1, Cur("b7"));
    EXPECT_EQ(1, DetailState());
    EXPECT_EQ(::Hex(Gbk("输入电压:180.0V, 输出电压:229.5V, 输出负载:12%告警:输入电压 b7市电异常")),
              ::Hex(Brief()));
    EXPECT_EQ(1, hist.Int("select State from tbUps where SID=21"));
}

TEST_F(UpsE2e, SilentDeviceIsStoredAsNoAnswer) {
    Start(qxsim::Q1Ups::kDefault, 0x300);
    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));
    dev->SetSilent(true);
    EXPECT_EQ(0, Poll(bits));
    EXPECT_EQ(2, Cur("State"));
    EXPECT_EQ(0, Cur("Vin1"));
    EXPECT_EQ(2, DetailState());
    EXPECT_EQ(::Hex(Gbk("通讯中断")), ::Hex(Brief()));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=21"));
}

TEST_F(UpsE2e, IdentificationWithQuotesIsStoredIntact) {
    Start(qxsim::Q1Ups::kDefault, 0x300);
    dev->SetReply("I", qxsim::Q1Ups::Ident("O'Brien's", "M'1", "V'2"));
    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));
    EXPECT_EQ("O'Brien's", CurText("company"));
    EXPECT_EQ("M'1", CurText("mode"));
    EXPECT_EQ("V'2", CurText("version"));
    EXPECT_EQ("O'Brien's", hist.Str("select company from tbUps where SID=21"));
}

TEST_F(UpsE2e, CommandsReachTheDevice) {
    Start(qxsim::Q1Ups::kDefault, 0x300);
    h->DoItem(*item, 0);
    int minutes = 5;
    EXPECT_EQ(1, h->DoFunc(8001, &minutes, sizeof minutes));
    EXPECT_EQ(1, h->DoFunc(8003, nullptr, 0));
    EXPECT_EQ(0, h->DoFunc(77, nullptr, 0));
    ASSERT_TRUE(pty.WaitRequests(2, 2000));
    EXPECT_EQ((std::vector<std::string>{"T05", "CT"}), dev->Commands());
}

TEST_F(UpsE2e, ACommandRightBeforeAPollStillGoesOut) {
    // The poll clears the line of stale input first: a command written just before it must
    // reach the UPS all the same, ahead of the poll's requests, round after round.
    Start(qxsim::Q1Ups::kDefault, 0x300);
    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));  // the first poll also reads the ratings and the identity
    const size_t first = dev->Requests().size();
    ASSERT_EQ(1, Poll(bits));
    std::vector<std::string> want = dev->Requests();
    const std::vector<std::string> poll(want.begin() + (long)first, want.end());
    ASSERT_FALSE(poll.empty());
    for (int round = 1; round <= 10; round++) {
        h->DoItem(*item, 0);
        ASSERT_EQ(1, h->DoFunc(8000, nullptr, 0)) << round;
        ASSERT_EQ(1, Poll(bits)) << round;
        want.push_back("T");
        want.insert(want.end(), poll.begin(), poll.end());
    }
    EXPECT_EQ(want, dev->Requests());
    EXPECT_EQ(std::vector<std::string>(10, "T"), dev->Commands());
}

TEST_F(UpsE2e, EastPollStoresG1AndG3Figures) {
    Start(qxsim::Q1Ups::kEast, 0x306);
    EXPECT_EQ(0x306, h->GetType());
    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));
    EXPECT_EQ(2300, Cur("Vin1"));
    EXPECT_EQ(2310, Cur("Vin2"));
    EXPECT_EQ(275, Cur("Vbatt"));
    EXPECT_EQ(950, Cur("Pbatt"));
    EXPECT_EQ(501, Cur("Fout"));
    EXPECT_EQ(88, h->DataVal(24));
    EXPECT_EQ("EAST", CurText("company"));
    EXPECT_EQ("", Brief());
    EXPECT_EQ(0, db.Int("select St from tbSMBrief where SID=21"));
}

TEST_F(UpsE2e, GxgdPollKeepsHundredths) {
    Start(qxsim::Q1Ups::kGxgd, 0x310);
    item->Ext(1000, 0);
    EXPECT_EQ(100, db.Int("select Ratio from tbSMDef where Type=784 and Fld=1"));
    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));
    EXPECT_EQ(23000, Cur("Vin1"));
    EXPECT_EQ(225, Cur("Vbatt"));
    EXPECT_EQ(1, Cur("b0"));
    EXPECT_EQ(::Hex(Gbk("输入电压:230.0V, 输出电压:230.0V, 输出负载:12%")), ::Hex(Brief()));
    EXPECT_EQ((std::vector<std::string>{"Q1"}), dev->Requests());
}

}  // namespace
