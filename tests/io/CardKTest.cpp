// Card reader K: the 0x7F frame codec over the YD/T frame routines, the reader's event, refused
// replies, and its events in the card log it shares with the controllers.
#include <string.h>

#include <string>

#include "CardRig.h"
#include "io/SMCardA.h"
#include "io/SMCardK.h"

namespace {

using qxtest::Bytes;
using qxtest::TextBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

struct CardKRig : iotest::CardRig<CSMCardK, qxsim::CardK> {
    CardKRig() : CardRig(9, 0xD01) {}
    int Upd(bool answered, IDbBase* to) {
        int bits[1] = {0};
        return h.DataUpd(0, answered ? bits : nullptr, nullptr, -1, to);
    }
};

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(CardK, Codec) {
    struct Digit {
        uint8_t v, c;
    } digits[] = {{0, '0'}, {9, '9'}, {10, 'A'}, {15, 'F'}};
    for (const Digit& d : digits) {
        EXPECT_EQ(d.c, val2asc(d.v));
        EXPECT_EQ(d.v, asc2val(d.c));
    }
    EXPECT_EQ(0, val2asc(16));
    for (uint8_t c : {'a', 'f', 'G', ' ', '~'}) EXPECT_EQ(0, asc2val(c)) << c;
    uint8_t hi = 0, lo = 0, b = 0;
    num2asc(0x4A, &hi, &lo);
    EXPECT_EQ('4', hi);
    EXPECT_EQ('A', lo);
    EXPECT_EQ(0xF2, asc2num('F', '2', &b));
    EXPECT_EQ(0xF2, b);
    EXPECT_EQ(0x02, asc2num('f', '2', &b));  // lower case reads as 0

    struct Length {
        uint16_t lenid, word;
    } lengths[] = {{6, 0xA006}, {0, 0x0000}, {0x0FF, 0x20FF}, {28, 0x301C}};
    for (const Length& l : lengths) EXPECT_EQ(l.word, calc_length_chksum(l.lenid)) << l.lenid;
    const uint8_t chars[] = "1001804AA006F2EE00";
    EXPECT_EQ(0xFC28, calc_packet_chksum(chars, 18));
}

TEST(CardK, MonitorRequest) {
    uint8_t f[24];
    unsigned n = 0;
    ASSERT_EQ(1, get_monitor_req(f, &n));
    ASSERT_EQ(24u, n);
    EXPECT_EQ("\x7F" "1001804AA006F2EE00FC28\r", std::string((const char*)f, n));
    // The poll carries ADR 01 whatever the point's address.
    CardKRig r;
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 7, 500));
    EXPECT_EQ(Text(Bytes(f, f + 24)), Text(r.ch.Written()[0]));
    EXPECT_TRUE(iotest::Sleeps().empty());
}

TEST(CardK, DecodeReplies) {
    Bytes good = qxsim::CardK::Frame(1, 0x80, 0, Bytes(14, 0));
    auto spoil = [&](size_t at, uint8_t c) {
        Bytes b = good;
        b[at] = c;
        return b;
    };
    Bytes lower = good;
    for (size_t i = 1; i + 1 < lower.size(); i++)
        if (lower[i] >= 'A' && lower[i] <= 'F') lower[i] = (uint8_t)(lower[i] + 32);
    struct Case {
        const char* what;
        Bytes frame;
        int ok;
    } cases[] = {
        {"good", good, 1},
        {"lower-case digits", lower, 0},
        {"bad CHKSUM", spoil(good.size() - 2, good[good.size() - 2] == '0' ? '1' : '0'), 0},
        {"no 0x7F", spoil(0, '~'), 0},
        {"no CR", spoil(good.size() - 1, 0), 0},
        {"17 characters", TextBytes("\x7F" "1001800000000000\r"), 0},
    };
    for (const Case& c : cases) {
        uint8_t out[40];
        unsigned n = 0;
        EXPECT_EQ(c.ok, decode_recv_packet(c.frame.data(), (unsigned)c.frame.size(), out, &n, sizeof out)) << c.what;
        if (c.ok) {
            EXPECT_EQ(6u + 14u, n);
        }
    }
    // A wrong LCHKSUM nibble, with a CHKSUM that matches it.
    Bytes f = qxsim::CardK::Frame(1, 0x80, 0, Bytes(2, 0));
    std::string s = Text(f).substr(1, f.size() - 6);
    s[8] = s[8] == '0' ? '1' : '0';
    Bytes rebuilt = TextBytes("\x7F" + s);
    uint16_t sum = calc_packet_chksum(rebuilt.data() + 1, (unsigned)s.size());
    char tail[8];
    snprintf(tail, sizeof tail, "%04X\r", sum);
    rebuilt = TextBytes("\x7F" + s + tail);
    uint8_t out[40];
    unsigned n = 0;
    EXPECT_EQ(0, decode_recv_packet(rebuilt.data(), (unsigned)rebuilt.size(), out, &n, sizeof out));
}

TEST(CardK, Event) {
    CardKRig r;
    qxsim::CardEvent e;
    e.card = 0x01020304;
    e.door = 5;
    r.dev.SetEvent(e);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(14, r.h.DataSize());
    struct Field {
        int fld, want;
    } fields[] = {{1, 5}, {2, 0x01020304}, {3, 0x20}, {4, 0x14}, {5, 3}, {9, 0x10}, {0, -1}, {10, -1}};
    for (const Field& f : fields) EXPECT_EQ(f.want, r.h.DataVal(f.fld)) << f.fld;
}

TEST(CardK, RefusedReplies) {
    struct Case {
        const char* what;
        void (*set)(qxsim::CardK&);
        int dataCnt;  // DataSize after the poll
        int card;     // field 2 after the poll
    } cases[] = {
        {"lower case", [](qxsim::CardK& d) { d.SetLowerCase(true); }, 9, 0},
        {"bad CHKSUM", [](qxsim::CardK& d) { d.SetBadChecksum(true); }, 9, 0},
        {"bad LCHKSUM", [](qxsim::CardK& d) { d.SetBadLengthCheck(true); }, 9, 0},
        {"INFO of 13", [](qxsim::CardK& d) { d.SetInfoLength(13); }, 9, 0},
        // 29 INFO bytes from a 64-character read: nothing copied into the 14-byte block.
        {"INFO of 23", [](qxsim::CardK& d) { d.SetInfoLength(23); }, 9, 0},
        // Byte 13 set: the event is copied, the poll fails.
        {"byte 13 = 1", [](qxsim::CardK& d) { d.SetAccept(1); }, 14, 12345},
    };
    for (const Case& c : cases) {
        CardKRig r;
        c.set(r.dev);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(c.dataCnt, r.h.DataSize()) << c.what;
        EXPECT_EQ(c.card, r.h.DataVal(2)) << c.what;
    }
    CardKRig r;
    r.ch.Silence();
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());  // only the silent poll was sent
}

// A reader K point (SID 9) and a controller A point (SID 20, address 1) of one site: their
// handlers write one main and one history database.
struct SharedLog : CardKRig {
    SharedLog() : itemA(20, 0xD00) {
        chA.SetResponder([this](const Bytes& q) { return devA.Answer(q); });
        itemA.Name("A").Port(3).Addr(1).Ser(&chA);
        a.SetDb(&db, 0);
        a.SetDb(&hist, 1);
        a.RegDb(&db, 0);
        EXPECT_EQ(1, a.ChkDb(itemA));
    }
    int CycleA() {
        a.DoItem(itemA, 0);
        int got = a.DataGet(&chA, 1, 0);
        int bits[1] = {0};
        EXPECT_EQ(1, a.DataUpd(0, got ? bits : nullptr, nullptr, -1, &hist));
        return got;
    }
    // n older rows of the controller, one a minute, each of its own second.
    void OlderRowsOfA(int n) {
        hist.Run("begin");
        for (int i = 0; i < n; i++)
            hist.Run("insert into tbCardLog(SID,DateUpd,State,Card,LogDate) values(20,datetime('now','localtime','-" +
                     std::to_string(n - i + 10) + " minutes'),0,7,'2013-01-01 00:00:" + std::to_string(i) + "')");
        hist.Run("commit");
    }
    long long Rows(int sid) { return hist.Int("select count(*) from tbCardLog where SID=" + std::to_string(sid)); }

    CSMCardA a;
    qxtest::ScriptChannel chA;
    qxsim::CardA devA{1};
    qxhost::PointItem itemA;
};

qxsim::CardEvent At(uint32_t card, int second, uint8_t door = 1) {
    qxsim::CardEvent e;
    e.card = card;
    e.second = second;
    e.door = door;
    return e;
}

TEST(CardK, LogsEachEventOnceBesideController) {
    SharedLog r;
    r.OlderRowsOfA(1200);
    r.devA.SetEvent(At(4242, 30));
    ASSERT_EQ(1, r.CycleA());
    ASSERT_EQ(1201, r.Rows(20));

    // The reader reports the same event on every poll: logged once, with the point's SID.
    r.dev.SetEvent(At(0x01020304, 10, 2));
    for (int i = 0; i < 50; i++) ASSERT_EQ(1, r.Cycle()) << i;
    EXPECT_EQ(1, r.Rows(9));
    EXPECT_EQ("9|0|0|16909060|2|0|2014-03-05 08:09:10",
              r.hist.Str("select SID||'|'||State||'|'||Rec||'|'||Card||'|'||Door||'|'||St||'|'||LogDate "
                         "from tbCardLog where SID=9"));
    EXPECT_EQ(1201, r.Rows(20));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog where SID=20 and Card=4242"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbCardLog where SID is null"));

    // A new event: one more row.
    r.dev.SetEvent(At(77, 11));
    ASSERT_EQ(1, r.Cycle());
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ(2, r.Rows(9));
    EXPECT_EQ("77|2014-03-05 08:09:11",
              r.hist.Str("select Card||'|'||LogDate from tbCardLog where SID=9 order by DID desc"));
    EXPECT_EQ(1201, r.Rows(20));

    // An event of the same second as one the controller logged is not logged again.
    r.dev.SetEvent(At(78, 30));
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ(2, r.Rows(9));
    // The reader keeps no current row: its own stays as ChkDb made it.
    EXPECT_EQ("-1|-", r.db.Str("select State||'|'||ifnull(Card,'-') from tbCardLog where SID=9"));
}

TEST(CardK, LogsOnlyAnEventJustRead) {
    struct Case {
        const char* what;
        void (*poll)(CardKRig&);  // the poll and update that must log nothing
    } cases[] = {
        {"silence", [](CardKRig& r) { r.ch.Silence(); EXPECT_EQ(0, r.Cycle()); }},
        {"silence, host's alarm flag", [](CardKRig& r) { r.ch.Silence(); EXPECT_EQ(0, r.Cycle(1)); }},
        {"bad checksum", [](CardKRig& r) { r.dev.SetBadChecksum(true); EXPECT_EQ(0, r.Cycle()); }},
        // Copied into the block, not accepted.
        {"byte 13 = 1", [](CardKRig& r) { r.dev.SetAccept(1); EXPECT_EQ(0, r.Cycle()); }},
        {"no history database", [](CardKRig& r) {
             ASSERT_EQ(1, r.Poll());
             EXPECT_EQ(1, r.Upd(true, nullptr));
             EXPECT_EQ(1, r.Upd(true, &r.hist));  // that event is not logged later
         }},
        {"update without a poll", [](CardKRig& r) { EXPECT_EQ(1, r.Upd(true, &r.hist)); }},
        {"answered poll stored as unanswered", [](CardKRig& r) {
             ASSERT_EQ(1, r.Poll());
             EXPECT_EQ(1, r.Upd(false, &r.hist));
         }},
    };
    for (const Case& c : cases) {
        CardKRig r;
        c.poll(r);
        EXPECT_EQ(0, r.hist.Int("select count(*) from tbCardLog")) << c.what;
        EXPECT_EQ(1, r.db.Int("select count(*) from tbCardLog")) << c.what << ": the current row only";
    }
    // Without an answer the block is cleared and the state stored.
    CardKRig r;
    ASSERT_EQ(1, r.Cycle());
    r.ch.Silence();
    EXPECT_EQ(0, r.Cycle());
    EXPECT_EQ(0, r.h.DataVal(2));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog"));
}

TEST(CardK, TrimsAbove1500Rows) {
    struct Case {
        int rows, after;
    } cases[] = {{1499, 1500}, {1500, 1501}, {1501, 1001}};
    for (const Case& c : cases) {
        CardKRig r;
        r.hist.Run("begin");
        for (int i = 0; i < c.rows; i++)
            r.hist.Run("insert into tbCardLog(SID,DateUpd,State,LogDate) values(1,datetime('now','localtime','-" +
                       std::to_string(2000 - i) + " minutes'),0,'old" + std::to_string(i) + "')");
        r.hist.Run("commit");
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(c.after, r.hist.Int("select count(*) from tbCardLog")) << c.rows;
        EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardLog where SID=9")) << c.rows;
    }
}

}  // namespace
