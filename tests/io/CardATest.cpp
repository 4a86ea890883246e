// Door controller A and the card log it shares with the other card handlers: the '~' frame,
// the event decode, refused replies, commands, the per-point records and current rows, and
// the keeping rule of the log on SQLite.
#include <string.h>

#include <string>

#include "CardRig.h"
#include "core/SMSql.h"
#include "io/SMCardA.h"

namespace {

using qxtest::Bytes;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// One controller A at address 1 answered by the simulator's model.
struct CardARig : iotest::CardRig<CSMCardA, qxsim::CardA> {
    CardARig() : CardRig(9, 0xD00, 1) {}
    int Upd(bool answered, int flags = 0, IDbBase* h = nullptr) {
        int bits[1] = {0};
        return this->h.DataUpd(flags, answered ? bits : nullptr, nullptr, -1, h);
    }
    long long Logged() { return hist.Int("select count(*) from tbCardLog"); }
};

qxsim::CardEvent Event(uint32_t rec, uint32_t card, int second = 10) {
    qxsim::CardEvent e;
    e.rec = rec;
    e.card = card;
    e.second = second;
    return e;
}

TEST(CardA, Frames) {
    CSMCardA h;
    const uint8_t two[2] = {0xAA, 0x55};
    const uint8_t one = 0x07;
    struct Case {
        int addr, cmd;
        const void* data;
        int len;
        const char* frame;  // bytes 0-6 and 31-33
    } cases[] = {
        {1, 0x1081, nullptr, 0, "7E 01 00 81 10 00 00 | 92 00 0D"},
        {0x1234, 0x109D, two, 2, "7E 34 12 9D 10 AA 55 | F2 01 0D"},
        {1, 0x1081, &one, 0, "7E 01 00 81 10 07 00 | 99 00 0D"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(34, h.CmdPack(c.addr, c.cmd, c.data, c.len)) << c.frame;
        EXPECT_EQ(c.frame, qxtest::Hex(h.m_cmd, 7) + " | " + qxtest::Hex(h.m_cmd + 31, 3));
        EXPECT_EQ(1, CSMCardA::ChkPack(h.m_cmd, 34));
    }
    // 26 data bytes fill the area; more, or a negative length, build nothing.
    uint8_t full[27];
    memset(full, 0x11, sizeof full);
    EXPECT_EQ(34, h.CmdPack(1, 0x1081, full, 26));
    EXPECT_EQ(0x11, h.m_cmd[30]);
    EXPECT_EQ(0, h.CmdPack(1, 0x1081, full, 27));
    EXPECT_EQ(0, h.CmdPack(1, 0x1081, full, -1));
}

TEST(CardA, ChkPack) {
    Bytes good = qxsim::CardA::Frame(1, 0x1081, Bytes(26, 0x33));
    Bytes badSum = good;
    badSum[31] ^= 1;
    Bytes otherEnds = good;
    otherEnds[0] = 0;
    otherEnds[33] = 0;
    Bytes longer = good;
    longer.push_back(0x0D);
    struct Case {
        const char* what;
        Bytes reply;
        int n;
        int ok;
    } cases[] = {
        {"good", good, 34, 1},
        {"first and last byte not examined", otherEnds, 34, 1},
        {"33 bytes", good, 33, 0},
        {"35 bytes", longer, 35, 0},
        {"bad sum", badSum, 34, 0},
        {"nothing", good, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ok, CSMCardA::ChkPack(c.reply.data(), c.n)) << c.what;
    EXPECT_EQ(0, CSMCardA::ChkPack(nullptr, 34));
}

TEST(CardA, DecodeEvent) {
    CardARig r;
    // Card: byte 19 = 3, bytes 17-18 = 39 30; date 2014-03-05, time 08:09:10, status 2, door 4.
    qxsim::CardEvent e = Event(0x010203, 3 * 100000 + 0x3039);
    e.st = 2;
    e.door = 4;
    r.dev.SetEvent(e);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1u, r.ch.Written().size());
    EXPECT_EQ("7E 01 00 81 10", qxtest::Hex(r.ch.Written()[0].data(), 5));
    EXPECT_EQ("39 30 03", qxtest::Hex(r.h.m_reply + 17, 3));
    struct Field {
        int fld;
        int want;
    } fields[] = {
        {1, 0x010203}, {2, 3 * 100000 + 0x3039}, {3, 2014 << 16 | 3 << 8 | 5},
        {4, 8 << 16 | 9 << 8 | 10}, {5, 2}, {8, 4}, {10, 0}, {17, 1}, {0, -1}, {18, -1},
    };
    for (const Field& f : fields) EXPECT_EQ(f.want, r.h.DataVal(f.fld)) << f.fld;

    // The same record number again: answered, no new event.
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h.DataVal(17));
    EXPECT_EQ(3 * 100000 + 0x3039, r.h.DataVal(2));
}

TEST(CardA, RefusedRepliesKeepTheEvent) {
    Bytes good = qxsim::CardA::Frame(1, 0x1081, Bytes(26, 0));
    Bytes bad = good;
    bad[32] ^= 0x10;
    struct Case {
        const char* what;
        std::vector<Bytes> chunks;
    } cases[] = {
        {"silence", {}},
        {"33 bytes", {Bytes(good.begin(), good.end() - 1)}},
        {"bad sum", {bad}},
        {"garbage", {Bytes(34, 0xFF)}},
    };
    for (const Case& c : cases) {
        CardARig r;
        r.dev.SetEvent(Event(5, 777));
        ASSERT_EQ(1, r.Poll());
        r.ch.ReplyChunks(c.chunks);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(777, r.h.DataVal(2)) << c.what;
        EXPECT_EQ(5, r.h.DataVal(1)) << c.what;
    }
    CardARig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 0x10000, 0));  // wider than the frame's 16 bits
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(CardA, WaitAbove200Only) {
    CardARig r;
    ASSERT_EQ(1, r.Poll(200));
    EXPECT_TRUE(iotest::Sleeps().empty());
    ASSERT_EQ(1, r.Poll(300));
    EXPECT_EQ(std::vector<int>{300}, iotest::Sleeps());
}

TEST(CardA, Commands) {
    struct Case {
        int cmd;
        uint8_t status;
        int want;
    } cases[] = {{0x109D, 0, 1}, {0x109D, 1, 0}, {0x1081, 1, 1}, {0x1090, 0, 1}};
    for (const Case& c : cases) {
        CardARig r;
        r.dev.SetStatus(c.status);
        uint8_t arg = 1;
        EXPECT_EQ(c.want, r.h.DoFunc(&r.ch, 1, c.cmd, &arg, 1)) << std::hex << c.cmd;
        EXPECT_EQ(std::vector<uint16_t>{(uint16_t)c.cmd}, r.dev.Commands());
    }
    // Lengths beyond the data area, a missing or closed channel: 0, nothing sent.
    CardARig r;
    uint8_t big[40] = {0};
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x1090, big, 27));
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x1090, big, -1));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 0x1090, big, 1));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x1090, big, 1));
    EXPECT_TRUE(r.ch.Written().empty());
    // Silence: 0.
    r.ch.SetOpen(true);
    r.ch.Silence();
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0x1090, big, 1));
}

TEST(CardA, RowSummaryAndNoAnswer) {
    CardARig r;
    r.dev.SetEvent(Event(7, 4321));
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ("0|7|4321|1|0|2014-03-05 08:09:10",
              r.db.Str("select State||'|'||Rec||'|'||Card||'|'||Door||'|'||St||'|'||LogDate "
                       "from tbCardLog where SID=9"));
    EXPECT_EQ(std::string("正常"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(1, r.Logged());
    ASSERT_EQ(1, r.Cycle(1));
    EXPECT_EQ(std::string("有开门"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(1, r.Logged());  // the same record

    // No answer (with the host's alarm flag too): the row keeps the last event, the summary
    // names the lost link and never says normal.
    for (int flags : {0, 1}) {
        r.ch.Silence();
        EXPECT_EQ(0, r.Cycle(flags));
        EXPECT_EQ(std::to_string(flags ? 1 : 2) + "|4321",
                  r.db.Str("select State||'|'||Card from tbCardLog where SID=9"));
        std::string brief = r.db.Str("select Brief from tbSMBrief where SID=9");
        EXPECT_EQ(qx::sql::NoAnswerBrief(), brief);
        EXPECT_EQ(std::string::npos, brief.find(std::string("正常")));
    }
    EXPECT_EQ(1, r.Logged());
}

TEST(CardLog, KeepingRule) {
    auto fill = [](CardARig& r, int rows) {
        r.hist.Run("begin");
        for (int i = 0; i < rows; i++)
            r.hist.Run("insert into tbCardLog(SID,DateUpd,State,LogDate) values(1,datetime('now','localtime','-" +
                       std::to_string(rows - i) + " minutes'),0,'old" + std::to_string(i) + "')");
        r.hist.Run("commit");
    };
    {
        CardARig r;  // 1500 rows: not trimmed
        fill(r, 1499);
        r.dev.SetEvent(Event(1, 11));
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(1500, r.Logged());
        r.dev.SetEvent(Event(2, 12, 20));
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(1501, r.Logged());
    }
    {
        CardARig r;  // 1501 rows: the next event trims to 1000, then is logged
        fill(r, 1501);
        r.dev.SetEvent(Event(1, 11));
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(1001, r.Logged());
        EXPECT_EQ(0, r.hist.Int("select count(*) from tbCardLog where LogDate='old500'"));
        EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog where LogDate='old501'"));
        EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog where Card=11 and SID=9"));
    }
    {
        CardARig r;  // a repeated record and an earlier event of the same second
        r.dev.SetEvent(Event(1, 11));
        ASSERT_EQ(1, r.Cycle());
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(1, r.Logged());
        r.dev.SetEvent(Event(2, 12));  // new record, same LogDate
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(1, r.Logged());
        EXPECT_EQ(12, r.db.Int("select Card from tbCardLog where SID=9"));
    }
    {
        CardARig r;  // without a history database the event is never logged
        r.dev.SetEvent(Event(1, 11));
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Upd(true, 0, nullptr));
        EXPECT_EQ(11, r.db.Int("select Card from tbCardLog where SID=9"));
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(0, r.Logged());
    }
}

// Two controllers on one handler, the second silent: each point keeps its own record number
// and its row shows only its own card.
TEST(CardA, TwoPointsKeepTheirOwnRecords) {
    CardARig r;
    qxhost::PointItem& two = r.Twin(10, 2);
    qxsim::CardA dev2(2);
    r.ch.SetResponder([&](const Bytes& q) {
        Bytes a = r.dev.Answer(q);
        return a.empty() ? dev2.Answer(q) : a;
    });
    r.dev.SetEvent(Event(5, 501));
    dev2.SetEvent(Event(5, 502, 30));
    EXPECT_EQ(1, r.CycleAt(r.item));
    EXPECT_EQ(1, r.CycleAt(two));
    EXPECT_EQ(2, r.Logged());
    // Record 5 again at each: no new event, although the other controller answered between.
    EXPECT_EQ(1, r.CycleAt(r.item));
    EXPECT_EQ(0, r.h.DataVal(17));
    EXPECT_EQ(1, r.CycleAt(two));
    EXPECT_EQ(0, r.h.DataVal(17));
    EXPECT_EQ(2, r.Logged());

    // The second falls silent while the first reports a new card.
    r.ch.SetResponder([&](const Bytes& q) { return r.dev.Answer(q); });
    r.dev.SetEvent(Event(6, 601, 40));
    EXPECT_EQ(1, r.CycleAt(r.item));
    EXPECT_EQ(0, r.CycleAt(two));
    EXPECT_EQ(502, r.h.DataVal(2));
    EXPECT_EQ("0|601", r.db.Str("select State||'|'||Card from tbCardLog where SID=9"));
    EXPECT_EQ("2|502", r.db.Str("select State||'|'||Card from tbCardLog where SID=10"));
    EXPECT_EQ(3, r.Logged());
}

TEST(CardA, Registration) {
    CardARig r;
    EXPECT_EQ("3329|CardA ISMBase基类", r.db.Str("select Kind||'|'||Name from tbSMType where Type=3328"));
    EXPECT_EQ("1|CardId|17|CardFound", r.db.Str("select group_concat(Fld||'|'||FldName,'|') from tbSMDef where Type=3328"));
}

}  // namespace
