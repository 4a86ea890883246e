// Card reader K: the 0x7F frame codec over the YD/T frame routines, the reader's event, refused
// replies and the log row of every update.
#include <string.h>

#include <string>

#include "CardRig.h"
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

TEST(CardK, EveryUpdateLogsARow) {
    CardKRig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(true, &r.hist));
    ASSERT_EQ(1, r.Upd(true, &r.hist));  // the same event again: logged again
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbCardLog"));
    EXPECT_EQ("<null>|0|12345|1|2014-03-05 08:09:10|",
              r.hist.Str("select ifnull(SID,'<null>')||'|'||State||'|'||Card||'|'||Door||'|'||LogDate||'|'||LogImg "
                         "from tbCardLog order by DID desc"));

    // No answer: the block is cleared and a row of zeros logged.
    r.ch.Silence();
    ASSERT_EQ(0, r.Poll());
    ASSERT_EQ(1, r.Upd(false, &r.hist));
    EXPECT_EQ("2|0|0|0000-00-00 00:00:00",
              r.hist.Str("select State||'|'||Card||'|'||Door||'|'||LogDate from tbCardLog order by DID desc"));

    // Without a history database the row goes to the main database.
    ASSERT_EQ(1, r.Upd(false, nullptr));
    EXPECT_EQ(1, r.db.Int("select count(*) from tbCardLog where SID is null"));
}

TEST(CardK, TrimsOnEveryUpdate) {
    CardKRig r;
    r.hist.Run("begin");
    for (int i = 0; i < 1003; i++)
        r.hist.Run("insert into tbCardLog(DateUpd,State) values(datetime('now','localtime','-" +
                   std::to_string(2000 - i) + " minutes'),0)");
    r.hist.Run("commit");
    ASSERT_EQ(1, r.Upd(false, &r.hist));
    EXPECT_EQ(1001, r.hist.Int("select count(*) from tbCardLog"));
}

}  // namespace
