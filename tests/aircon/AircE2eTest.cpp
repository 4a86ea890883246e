// Whole polls of the comfort air-conditioner controller as a host makes them: both plug-ins
// loaded with dlopen, a serial channel on a pseudo-terminal to the simulated controller, the
// host's SQLite databases; every check reads rows back from SQLite.
#include <string.h>

#include <memory>
#include <string>

#include "AircCtrl.h"
#include "E2eRig.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

const char kColumns[] =
    "Sfkwd||','||Hfkwd||','||Ct||','||Ht||','||Lt||','||Ot||','||Dl||','||Hdl||','||Ldl||','||"
    "StatusV||','||ExceptV||'|'||Sfkwd2||','||Hfkwd2||','||Ct2||','||Ht2||','||Lt2||','||Ot2||"
    "','||Dl2||','||Hdl2||','||Ldl2||','||StatusV2||','||ExceptV2||'|'||Di1||','||Di2||','||"
    "Do1||','||Do2";

class AircE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ctrl.SetUnit(0, {2650, 2810, 26, 30, 16, 150, 200, 10, 1, 0});
        ctrl.SetUnit(1, {2400, 2555, 24, 29, 17, 120, 190, 5, 2, 4});
        ctrl.SetDigital(1, 0, 1, 0);
        ctrl.SetByte9(7);
        ctrl.Serve(pty);
        ASSERT_TRUE(pty.Start());
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        ch = rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | pty.Number());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(0x7A0);  // a code of the category without a driver of its own
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(h, rig.mgr->GetSM(0x700));
        item.Name("AC-1").Port(1).Addr(1).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
    }

    void TearDown() override {
        rig.Close();
        pty.Stop();
    }

    // One poll as the host makes it; returns what DataGet said.
    int Poll(int flags = 0, int bits0 = 0) {
        int bits[1] = {bits0};
        return rig.Poll(h, item, ch, bits, flags);
    }
    std::string Cur() { return db.Str(std::string("select ") + kColumns + " from tbAirc where SID=51"); }
    long long Detail() { return db.Int("select State from tbSubSysDetail where SID=51"); }

    qxsim::AircCtrl ctrl{1};
    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem item{51, 0x7A0};
};

}  // namespace

TEST_F(AircE2e, BothUnitsAreStoredInEveryTable) {
    EXPECT_EQ(0x700, h->GetType());
    EXPECT_EQ(4, db.Int("select count(*) from tbSMDef where Type=1792"));
    ASSERT_EQ(1, Poll());
    const std::string row =
        "2650,2810,26,30,16,0,150,200,10,1,0|2400,2555,24,29,17,0,120,190,5,2,4|1,0,1,0";
    EXPECT_EQ(row, Cur());
    EXPECT_EQ(0, db.Int("select State from tbAirc where SID=51"));
    EXPECT_EQ(0, Detail());
    EXPECT_EQ(7, h->DataVal(27));
    EXPECT_EQ(0, db.Int("select St from tbSMBrief where SID=51"));
    EXPECT_EQ(row, hist.Str(std::string("select ") + kColumns + " from tbAirc where SID=51"));
    char key[32] = ".status2";
    EXPECT_EQ(4, h->VarEval(key));
    EXPECT_EQ(Hex("制热"), Hex(key));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST_F(AircE2e, NoAnswerStoresStateTwoAndZeros) {
    ASSERT_EQ(1, Poll());
    ctrl.SetSilent(true);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("0,0,0,0,0,0,0,0,0,0,0|0,0,0,0,0,0,0,0,0,0,0|0,0,0,0", Cur());
    EXPECT_EQ(2, db.Int("select State from tbAirc where SID=51"));
    EXPECT_EQ(2, Detail());
    EXPECT_EQ(2, db.Int("select St from tbSMBrief where SID=51"));
    // The cleared values are not shown as readings, and nothing in it says normal.
    const std::string brief = db.Str("select Brief from tbSMBrief where SID=51");
    EXPECT_EQ(Hex("空调(故障),通讯中断"), Hex(brief));
    for (const char* word : {"正常", "送风口温度", "空调状态", "异常状态", "0.00"})
        EXPECT_EQ(std::string::npos, brief.find(word)) << Hex(word);
    EXPECT_EQ(2, hist.Int("select count(*) from tbAirc"));
    // The controller answers again.
    ctrl.SetSilent(false);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, Detail());
}

TEST_F(AircE2e, StateRowOfTheLastCodeOfTheCategoryFollowsThePolls) {
    // A point of code 0x7FF, served by the category's default handler (reported type 0x700):
    // its state row carries its own Type.
    qxhost::PointItem last{52, 0x7FF};
    last.Name("AC-2").Port(1).Addr(1).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, last));
    db.Run("insert into tbSubSysDetail(SID,Type,State) values(52,1792,-1)");
    auto state = [&](int type) {
        return db.Int("select State from tbSubSysDetail where SID=52 and Type=" + std::to_string(type));
    };
    int bits[1] = {0};
    ASSERT_EQ(1, rig.Poll(h, last, ch, bits));
    EXPECT_EQ(0, state(0x7FF));
    ctrl.SetSilent(true);
    EXPECT_EQ(0, rig.Poll(h, last, ch, bits));
    EXPECT_EQ(2, state(0x7FF));
    ctrl.SetSilent(false);
    ASSERT_EQ(1, rig.Poll(h, last, ch, bits, 1));
    EXPECT_EQ(1, state(0x7FF));
    EXPECT_EQ(-1, state(0x700)) << "a row of the reported type is not the point's";
    EXPECT_EQ(-1, Detail()) << "the other point's row is untouched";
}

TEST_F(AircE2e, FaultyRepliesFailThePoll) {
    for (qxsim::Fault f : {qxsim::Fault::BadCheck, qxsim::Fault::Exception, qxsim::Fault::Short,
                           qxsim::Fault::Garbage}) {
        pty.InjectFault(f, 1);
        EXPECT_EQ(0, Poll()) << (int)f;
        EXPECT_EQ(2, Detail()) << (int)f;
    }
    pty.InjectFault(qxsim::Fault::Split, 1);
    EXPECT_EQ(1, Poll()) << "a reply in two pieces";
    EXPECT_EQ(0, Detail());
}

TEST_F(AircE2e, AnAlarmPoll) {
    int bits[1] = {1 << 10};  // field 11, the exception code of unit 1, out of limits
    h->DoItem(item, 0);
    ASSERT_EQ(1, h->DataGet(ch, 1, 0));
    ASSERT_EQ(1, h->DataUpd(1, bits, nullptr, -1, &hist));
    EXPECT_EQ(1, db.Int("select State from tbAirc where SID=51"));
    EXPECT_EQ(1, Detail());
    EXPECT_EQ(1, db.Int("select St from tbSMBrief where SID=51"));
    EXPECT_EQ(0, db.Str("select Brief from tbSMBrief where SID=51").find("空调(报警)"));
    EXPECT_EQ(1, hist.Int("select State from tbAirc"));
}

TEST_F(AircE2e, CommandsReachTheController) {
    h->DoItem(item, 0);
    int v = 0x0A0B0C;
    EXPECT_EQ(1, h->DoFunc(42, &v, 4));
    v = 3;
    EXPECT_EQ(1, h->DoFunc(8 << 16 | 65, &v, 4));
    EXPECT_EQ(0, h->DoFunc(10, &v, 4)) << "no command of this device";
    const auto cmds = ctrl.Commands();
    ASSERT_EQ(2u, cmds.size());
    EXPECT_EQ("01 0B 00 2A 00 03 0A 0B 0C", qxsim::ToHex(qxsim::Bytes(cmds[0].begin(), cmds[0].end() - 2)));
    EXPECT_EQ("01 08 00 41 00 01 03", qxsim::ToHex(qxsim::Bytes(cmds[1].begin(), cmds[1].end() - 2)));
    ctrl.SetSilent(true);
    EXPECT_EQ(0, h->DoFunc(42, &v, 4)) << "unanswered";
}
