// Door controller W: the 64-byte packet, the swipe record with its BCD time, short replies,
// the current row written in full only with a new record, and commands that send nothing.
#include <string.h>

#include <string>

#include "CardRig.h"
#include "core/SMSql.h"
#include "io/SMCardW.h"

namespace {

using qxtest::Bytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

struct CardWRig : iotest::CardRig<CSMCardW, qxsim::CardW> {
    CardWRig() : CardRig(9, 0xD03, 0x12345678u) { item.Addr(0x12345678); }
    std::string Row(int sid = 9) {
        return db.Str("select State||'|'||Rec||'|'||Card||'|'||Door||'|'||St||'|'||LogDate from tbCardLog where SID=" +
                      std::to_string(sid));
    }
};

qxsim::CardEvent Event(uint32_t rec, uint32_t card) {
    qxsim::CardEvent e;
    e.rec = rec;
    e.card = card;
    e.door = 2;
    e.st = 1;
    return e;
}

TEST(CardW, RequestPacket) {
    CSMCardW h;
    ASSERT_EQ(64, h.CmdPack(0x12345678, 0xB0));
    EXPECT_EQ("17 B0 00 00 78 56 34 12 FF FF FF FF 00", qxtest::Hex(h.m_cmd, 13));
    EXPECT_EQ(0, h.m_cmd[63]);
}

TEST(CardW, SwipeRecord) {
    CardWRig r;
    r.dev.SetEvent(Event(300, 0x00ABCDEF));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1u, r.ch.Written().size());
    EXPECT_EQ(64u, r.ch.Written()[0].size());
    // Time bytes 20 14 03 05 08 09 10.
    EXPECT_EQ("20 14 03 05 08 09 10", qxtest::Hex(r.h.m_reply + 20, 7));
    for (int f : {0, 1, 2, 17}) EXPECT_EQ(-1, r.h.DataVal(f));
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0|300|11259375|2|1|2014-03-05 08:09:10", r.Row());
    EXPECT_EQ("9|2014-03-05 08:09:10", r.hist.Str("select SID||'|'||LogDate from tbCardLog"));
}

TEST(CardW, ShortRepliesAndChannel) {
    struct Case {
        size_t len;
        int want;
    } cases[] = {{0, 0}, {27, 0}, {28, 1}, {64, 1}};
    for (const Case& c : cases) {
        CardWRig r;
        r.dev.SetEvent(Event(5, 6));
        r.dev.SetReplyLength(c.len);
        EXPECT_EQ(c.want, r.Poll()) << c.len;
    }
    CardWRig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
    r.ch.SetOpen(true);
    ASSERT_EQ(1, r.Poll(40));
    EXPECT_EQ(std::vector<int>{40}, iotest::Sleeps());
}

TEST(CardW, UnchangedIndexWritesOnlyStateAndSnap) {
    CardWRig r;
    r.dev.SetEvent(Event(7, 70));
    ASSERT_EQ(1, r.Cycle());
    r.db.Run("update tbCardLog set Card=-5,LogDate='kept' where SID=9");
    ASSERT_EQ(1, r.Cycle(1));  // the same index
    EXPECT_EQ("1|7|-5|2|1|kept", r.Row());
    EXPECT_EQ(std::string("有开门"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    r.ch.Silence();
    EXPECT_EQ(0, r.Cycle());
    EXPECT_EQ("2|7|-5|2|1|kept", r.Row());
    EXPECT_EQ(qx::sql::NoAnswerBrief(), r.db.Str("select Brief from tbSMBrief where SID=9"));
    r.dev.SetEvent(Event(8, 80));
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ("0|8|80|2|1|2014-03-05 08:09:10", r.Row());
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog"));  // same LogDate second
}

TEST(CardW, TwoControllersKeepTheirOwnIndex) {
    CardWRig r;
    qxsim::CardW dev2(2);
    qxhost::PointItem& two = r.Twin(10, 2);
    r.ch.SetResponder([&](const Bytes& q) {
        Bytes a = r.dev.Answer(q);
        return a.empty() ? dev2.Answer(q) : a;
    });
    r.dev.SetEvent(Event(7, 70));
    qxsim::CardEvent e2 = Event(7, 71);
    e2.second = 40;
    dev2.SetEvent(e2);
    EXPECT_EQ(1, r.CycleAt(r.item));
    EXPECT_EQ(1, r.CycleAt(two));
    EXPECT_EQ(1, r.CycleAt(r.item));
    EXPECT_EQ(1, r.CycleAt(two));
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbCardLog"));
    EXPECT_EQ("0|7|71|2|1|2014-03-05 08:09:40", r.Row(10));
    // The second falls silent: its row keeps its own card.
    r.ch.SetResponder([&](const Bytes& q) { return r.dev.Answer(q); });
    EXPECT_EQ(0, r.CycleAt(two));
    EXPECT_EQ("2|7|71|2|1|2014-03-05 08:09:40", r.Row(10));
    EXPECT_EQ("0|7|70|2|1|2014-03-05 08:09:10", r.Row(9));
}

TEST(CardW, CommandsSendNothing) {
    CardWRig r;
    int arg = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, &arg, 1));
    EXPECT_EQ(0, r.h.DoFunc(1, &arg, 1));
    EXPECT_TRUE(r.ch.Written().empty());
}

}  // namespace
