// Door controller T: the A6 frame, the event report with its time stamp, refused and short
// replies, commands, and the per-point time stamps and rows.
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "CardRig.h"
#include "core/SMSql.h"
#include "io/SMCardT.h"

namespace {

using qxtest::Bytes;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// Local time is UTC+8 in these tests (the board's zone); a time stamp then reads as local.
struct Zone {
    Zone() {
        setenv("TZ", "CST-8", 1);
        tzset();
    }
};

struct CardTRig : Zone, iotest::CardRig<CSMCardT, qxsim::CardT> {
    CardTRig() : CardRig(9, 0xD02, 1) {}
};

// 2014-03-05 08:09:10 at UTC+8.
const uint32_t kStamp = 1393978150u;

qxsim::CardEvent Event(uint32_t card, uint8_t door = 3, uint8_t st = 1) {
    qxsim::CardEvent e;
    e.card = card;
    e.door = door;
    e.st = st;
    return e;
}

TEST(CardT, Frames) {
    CSMCardT h;
    const uint8_t data[2] = {0x10, 0x20};
    ASSERT_EQ(6, h.CmdPack(1, 1, 1, nullptr, 0));
    EXPECT_EQ("A6 01 01 01 00 A9", qxtest::Hex(h.m_cmd, 6));
    ASSERT_EQ(8, h.CmdPack(0x12, 1, 0x05, data, 2));
    EXPECT_EQ("A6 12 01 05 02 10 20 F0", qxtest::Hex(h.m_cmd, 8));
    EXPECT_EQ(6, h.CmdPack(1, 1, 5, nullptr, 9));  // no data: length 0
    uint8_t big[64] = {0};
    EXPECT_EQ(64, h.CmdPack(1, 1, 5, big, 58));
    EXPECT_EQ(0, h.CmdPack(1, 1, 5, big, 59));
    EXPECT_EQ(0, h.CmdPack(1, 1, 5, big, -1));

    struct Case {
        const char* what;
        Bytes reply;
        int ok;
    } cases[] = {
        {"poll request", HexBytes("A6 01 01 01 00 A9"), 1},
        {"length byte not compared", HexBytes("A6 01 01 01 09 B2"), 1},
        {"bad sum", HexBytes("A6 01 01 01 00 AA"), 0},
        {"other head", HexBytes("A7 01 01 01 00 AA"), 0},
        {"empty", Bytes(), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.ok, CSMCardT::ChkPack(c.reply.data(), (int)c.reply.size())) << c.what;
}

TEST(CardT, EventReport) {
    CardTRig r;
    r.dev.SetEvent(Event(0x00BC614E, 3, 1), kStamp);
    ASSERT_EQ(1, r.Poll());
    struct Field {
        int fld, want;
    } fields[] = {{1, 0}, {2, 0x00BC614E}, {3, 2014 << 16 | 3 << 8 | 5}, {4, 8 << 16 | 9 << 8 | 10},
                  {5, 1}, {6, 0}, {7, 0}, {8, 3 << 4 | 1}, {9, 9}, {17, 1}, {10, -1}};
    for (const Field& f : fields) EXPECT_EQ(f.want, r.h.DataVal(f.fld)) << f.fld;

    // The same time stamp with another card: no new event, the old card stays.
    r.dev.SetEvent(Event(777), kStamp);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h.DataVal(17));
    EXPECT_EQ(0x00BC614E, r.h.DataVal(2));

    // Door flag 0: Door stays, the rest changes.
    r.dev.SetEvent(Event(778, 6, 4), kStamp + 60, 0);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1, r.h.DataVal(17));
    EXPECT_EQ(778, r.h.DataVal(2));
    EXPECT_EQ(4, r.h.DataVal(5));
    EXPECT_EQ(3 << 4 | 1, r.h.DataVal(8));
    EXPECT_EQ(8 << 16 | 10 << 8 | 10, r.h.DataVal(4));

    // No event report: answered, nothing decoded.
    r.dev.SetNoEvent();
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h.DataVal(17));
    EXPECT_EQ(778, r.h.DataVal(2));
}

TEST(CardT, RefusedReplies) {
    Bytes report = qxsim::CardT::Frame(1, 1, 0x42, Bytes(16, 0x11));
    // A report cut after its byte 15 whose sum is right for what came.
    Bytes cut(report.begin(), report.begin() + 16);
    unsigned sum = 0;
    for (uint8_t b : cut) sum += b;
    cut.push_back((uint8_t)sum);
    Bytes bad = report;
    bad.back() ^= 1;
    struct Case {
        const char* what;
        std::vector<Bytes> chunks;
    } cases[] = {{"silence", {}}, {"bad sum", {bad}}, {"17-byte report", {cut}}, {"garbage", {Bytes(22, 0x5A)}}};
    for (const Case& c : cases) {
        CardTRig r;
        r.dev.SetEvent(Event(55), kStamp);
        ASSERT_EQ(1, r.Poll());
        r.ch.ReplyChunks(c.chunks);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(55, r.h.DataVal(2)) << c.what;
    }
    CardTRig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(CardT, Commands) {
    const uint8_t arg[2] = {1, 2};
    const char* const withData = "A6 01 01 05 02 01 02 B2";
    const char* const noData = "A6 01 01 05 00 AD";
    struct Case {
        const char* what;
        int len;  // 2: the data arg, 0: none
        Bytes reply;
        int want;
    } cases[] = {
        {"done", 2, qxsim::CardT::Frame(1, 1, 5, HexBytes("05 00")), 1},
        {"refused", 2, qxsim::CardT::Frame(1, 1, 5, HexBytes("05 02")), 0},
        {"other command", 2, qxsim::CardT::Frame(1, 1, 5, HexBytes("06 00")), 0},
        {"bad sum", 2, HexBytes("A6 01 01 05 02 05 00 00"), 0},
        {"no bytes 5 and 6", 2, qxsim::CardT::Frame(1, 1, 5, Bytes()), 0},
        // A reply longer than the request is read and checked whole.
        {"no data, done", 0, qxsim::CardT::Frame(1, 1, 5, HexBytes("05 00")), 1},
        {"no data, refused", 0, qxsim::CardT::Frame(1, 1, 5, HexBytes("05 02")), 0},
        {"no data, reply with more data", 0, qxsim::CardT::Frame(1, 1, 5, HexBytes("05 00 11 22 33 44")), 1},
        {"no data, last byte spoilt", 0, HexBytes("A6 01 01 05 02 05 00 00"), 0},
        {"no data, cut reply", 0, HexBytes("A6 01 01 05 02 05"), 0},
    };
    for (const Case& c : cases) {
        CardTRig r;
        r.ch.Reply(c.reply);
        EXPECT_EQ(c.want, r.h.DoFunc(&r.ch, 1, 5, c.len ? (void*)arg : nullptr, c.len)) << c.what;
        EXPECT_EQ(c.len ? withData : noData, qxtest::Hex(r.ch.Written()[0])) << c.what;
        EXPECT_EQ(std::vector<int>{100}, iotest::Sleeps());
        iotest::Sleeps().clear();
        // Nothing of the reply is left for the next poll.
        r.dev.SetEvent(Event(0x00BC614E), kStamp);
        EXPECT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(0x00BC614E, r.h.DataVal(2)) << c.what;
    }
    CardTRig r;
    uint8_t big[64] = {0};
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 5, big, 59));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 5, big, 2));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 5, big, 2));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(CardT, RowsPerPoint) {
    CardTRig r;
    qxhost::PointItem& two = r.Twin(10, 2);
    r.dev.SetEvent(Event(41), kStamp);
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ("0|0|41|49|1|2014-03-05 08:09:10",
              r.db.Str("select State||'|'||Rec||'|'||Card||'|'||Door||'|'||St||'|'||LogDate from tbCardLog where SID=9"));
    EXPECT_EQ(std::string("正常"), r.db.Str("select Brief from tbSMBrief where SID=9"));

    // The second controller does not answer; its row shows no card of the first.
    EXPECT_EQ(0, r.CycleAt(two));
    EXPECT_EQ("2|0", r.db.Str("select State||'|'||Card from tbCardLog where SID=10"));
    EXPECT_EQ(qx::sql::NoAnswerBrief(), r.db.Str("select Brief from tbSMBrief where SID=10"));
    EXPECT_EQ(0, r.h.DataVal(2));

    // Back at the first: the same time stamp is no new event.
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog"));
    r.ch.Silence();
    EXPECT_EQ(0, r.Cycle());
    EXPECT_EQ("2|41", r.db.Str("select State||'|'||Card from tbCardLog where SID=9"));
}

}  // namespace
