// The switch-input module: its request, the inputs taken from a checked reply only, what one
// update stores, the hourly history of normal states and the display words.
#include <string.h>

#include "core/SMSql.h"
#include "TestRig.h"
#include "io/SMOnOff.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

struct OnOffRig : iotest::Rig<CSMOnOff> {
    OnOffRig() : iotest::Rig<CSMOnOff>(9, 0x203) {}
    int Upd(int* bits, int flags = 0) { return h.DataUpd(flags, bits, nullptr, -1, &hist); }
};

const char kSixOpen[] = "01 04 0C 01 00 00 02 00 00 05 00 00 00 00 00";

TEST(OnOff, TypeRow) {
    OnOffRig r;  // RegDb on an empty database
    EXPECT_EQ("QX-PD220-6 QX-PD220-6|2048|485接口...",
              r.db.Str("select Name||'|'||Kind||'|'||Note from tbSMType where Type=512"));
}

TEST(OnOff, RequestAndInputs) {
    OnOffRig r;
    r.ch.Reply(Rtu(kSixOpen));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1u, r.ch.Written().size());
    EXPECT_EQ("01 04 00 00 00 06 70 08", qxtest::Hex(r.ch.Written()[0]));
    const int want[6] = {1, 0, 0, 2, 0, 0};
    for (int f = 1; f <= 6; f++) EXPECT_EQ(want[f - 1], r.h.DataVal(f)) << f;
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(7));
}

TEST(OnOff, RefusedRepliesLeaveTheInputs) {
    struct Case {
        const char* what;
        qxtest::Bytes reply;
    } cases[] = {
        {"one byte", HexBytes("01")},
        {"two bytes", HexBytes("01 04")},
        {"exception", Rtu("01 84 02")},
        {"short", Rtu("01 04 06 00 00 00 00 00 00")},
        {"cut", HexBytes("01 04 0C 00 00 00 00")},
        {"bad CRC", BadCrc("01 04 0C 00 00 00 00 00 00 00 00 00 00 00 00")},
        {"garbage", HexBytes("FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF")},
        {"silence", {}},
    };
    for (const Case& c : cases) {
        OnOffRig r;
        r.ch.Reply(Rtu(kSixOpen));
        ASSERT_EQ(1, r.Poll());
        r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(1, r.h.DataVal(1)) << c.what;
        EXPECT_EQ(2, r.h.DataVal(4)) << c.what;
    }
}

TEST(OnOff, RefusesWideAddressAndClosedChannel) {
    OnOffRig r;
    r.ch.Reply(Rtu(kSixOpen));
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 257, 0));
    EXPECT_TRUE(r.ch.Written().empty());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
}

TEST(OnOff, CommandsSendNothing) {
    OnOffRig r;
    int arg = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 6, &arg, 1));
    EXPECT_EQ(0, r.h.DoFunc(6, &arg, 1));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(OnOff, RowStateAndSummary) {
    OnOffRig r;
    r.ch.Reply(Rtu(kSixOpen));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    ASSERT_EQ(1, r.Upd(bits));
    EXPECT_EQ("0|1|0|0|2|0|0",
              r.db.Str("select State||'|'||sd1||'|'||sd2||'|'||sd3||'|'||sd4||'|'||sd5||'|'||sd6 "
                       "from tbOnoff where SID=9"));
    EXPECT_EQ(std::string("断开,正常,正常,断开,正常,正常"),
              r.db.Str("select Brief from tbSMBrief where SID=9"));

    // The display word of a set input is 闭合, the opposite of the summary's.
    char text[16] = ".sd1";
    EXPECT_EQ(4, r.h.VarEval(text));
    EXPECT_EQ(std::string("闭合"), std::string(text));
    strcpy(text, ".sd2");
    EXPECT_EQ(4, r.h.VarEval(text));
    EXPECT_EQ(std::string("断开"), std::string(text));
    strcpy(text, ".sd7");
    EXPECT_EQ(-1, r.h.VarEval(text));

    // No answer, with the host's alarm flag too: the row is cleared, the summary names the
    // lost link and never says normal.
    for (int flags : {0, 1}) {
        ASSERT_EQ(1, r.Upd(nullptr, flags));
        EXPECT_EQ(flags ? 1 : 2, r.db.Int("select State from tbOnoff where SID=9")) << flags;
        EXPECT_EQ(0, r.db.Int("select sd1+sd4 from tbOnoff where SID=9")) << flags;
        std::string brief = r.db.Str("select Brief from tbSMBrief where SID=9");
        EXPECT_EQ(qx::sql::NoAnswerBrief(), brief) << flags;
        EXPECT_EQ(std::string::npos, brief.find(std::string("正常"))) << flags;
    }
}

TEST(OnOff, HistoryKeepsAlarmsAndANormalRowAnHour) {
    OnOffRig r;
    int bits[1] = {0};
    auto rows = [&] { return r.hist.Int("select count(*) from tbOnoff where SID=9"); };
    ASSERT_EQ(1, r.Upd(bits));
    EXPECT_EQ(1, rows());  // the point had no row
    ASSERT_EQ(1, r.Upd(bits));
    EXPECT_EQ(1, rows());  // the newest is not an hour old
    ASSERT_EQ(1, r.Upd(bits, 1));
    ASSERT_EQ(1, r.Upd(bits, 1));
    EXPECT_EQ(3, rows());  // every alarm is kept
    // The newest row an hour and a minute old: a normal state is kept again.
    r.hist.Run("update tbOnoff set DateUpd=datetime('now','localtime','-61 minutes')");
    ASSERT_EQ(1, r.Upd(bits));
    EXPECT_EQ(4, rows());
    // Another point's rows do not count.
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, 10, &r.hist));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbOnoff where SID=10"));
}

TEST(OnOff, TrimDropsOnlyOldAlarmRows) {
    OnOffRig r;
    r.hist.Run("begin");
    for (int i = 0; i < 1005; i++)
        r.hist.Run("insert into tbOnoff(SID,DateUpd,State) values(9,datetime('now','localtime','-" +
                   std::to_string(2000 - i) + " minutes')," + std::to_string(i % 3) + ")");
    r.hist.Run("commit");
    int bits[1] = {0};
    ASSERT_EQ(1, r.Upd(bits, 1));
    // The five oldest rows were states 0, 1, 2, 0, 1: the two alarms go, the rest stay.
    EXPECT_EQ(1004, r.hist.Int("select count(*) from tbOnoff"));
    EXPECT_EQ(670, r.hist.Int("select count(*) from tbOnoff where State<>1"));
}

TEST(OnOff, ChkDbNeedsTheMainDatabase) {
    qxhost::PointItem item(9, 0x200);
    CSMOnOff h;
    TestDb hist;
    h.SetDb(&hist, 1);
    EXPECT_EQ(0, h.ChkDb(item));
}

}  // namespace
