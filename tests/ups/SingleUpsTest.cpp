// The NMYG, Sentry, Link and Smart UPS drivers on the tbUps shape, each through a scripted
// channel answered by its device model: requests, waits, what replies decode to, which are
// refused and what a refusal keeps, commands, display keys, registration and storing.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "Q1Ups.h"
#include "ScriptChannel.h"
#include "SingleUps.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "ups/SMUpsLink.h"
#include "ups/SMUpsNMYG.h"
#include "ups/SMUpsSentry.h"
#include "ups/SMUpsSmart.h"

using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

struct Expect {
    int fld;
    int value;
};

void ExpectFields(CSMUpsTbUps& h, const std::vector<Expect>& want, const std::string& what) {
    for (const Expect& e : want) EXPECT_EQ(e.value, h.DataVal(e.fld)) << what << " field " << e.fld;
}

// Every numeric field and flag of the record, to show that a refusal changed nothing.
std::vector<int> Values(CSMUpsTbUps& h) {
    std::vector<int> v;
    for (int f = 1; f <= 30; f++) v.push_back(h.DataVal(f));
    return v;
}

// A driver answering through a scripted channel from its device model, one point of it.
template <class H>
struct Rig {
    explicit Rig(int sid = 41) : item(sid, 0) {
        item = qxhost::PointItem(sid, h.GetType());
        item.Name("UPS").Port(3).Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    std::string Sent(size_t i) {
        const std::vector<Bytes>& w = ch.Written();
        return i < w.size() ? std::string(w[i].begin(), w[i].end()) : "<none>";
    }
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    // On the heap, where the handler hands out its texts as addresses in an int.
    std::unique_ptr<H> owned{new H};
    H& h = *owned;
};

std::string H(const std::string& s) { return Hex(s); }

}  // namespace

// ================================================================ construction

TEST(SingleUps, EachStartsEmptyWithItsTypeNoteAndCounts) {
    struct Case {
        std::unique_ptr<CSMUpsTbUps> h;
        int type;
        const char* note;
        int size;
        int lastField;  // DataVal answers 0..lastField
    } cases[] = {
        {std::unique_ptr<CSMUpsTbUps>(new CSMUpsNMYG), 0x30E, "QX-NMYG", 35, 35},
        {std::unique_ptr<CSMUpsTbUps>(new CSMUpsSentry), 0x30A, "UPS-SENTRY", 38, 35},
        {std::unique_ptr<CSMUpsTbUps>(new CSMUpsLink), 0x30F, "QXUPS-EAST", 35, 35},
        {std::unique_ptr<CSMUpsTbUps>(new CSMUpsSmart), 0x303, "QX-UPSSMART", 36, 36},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.type, c.h->GetType());
        EXPECT_STREQ(c.note, c.h->GetNote());
        EXPECT_EQ(c.size, c.h->DataSize()) << c.note;
        // Nothing before the first reply: no battery defaults either.
        for (int f = 0; f <= c.lastField; f++) {
            if (f < kUpsCompany || f > kUpsVersion) {
                EXPECT_EQ(0, c.h->DataVal(f)) << c.note << f;
            }
        }
        EXPECT_EQ("", std::string(qxhost::TextOfVal(c.h->DataVal(kUpsCompany)))) << c.note;
        EXPECT_EQ(-1, c.h->DataVal(c.lastField + 1)) << c.note;
        EXPECT_EQ(-1, c.h->DataVal(-1)) << c.note;
    }
    // No display keys for the Sentry UPS.
    CSMUpsSentry h;
    char buf[16] = ".Vout";
    EXPECT_EQ(-1, h.VarEval(buf));
    EXPECT_STREQ(".Vout", buf);
}

// ================================================================ NMYG

namespace {

struct Nmyg : Rig<CSMUpsNMYG> {
    Nmyg() : dev(qxsim::Q1Ups::kNmyg) {
        ch.SetResponder([this](const Bytes& req) {
            std::string out = dev.Feed(std::string(req.begin(), req.end()));
            return Bytes(out.begin(), out.end());
        });
    }
    int Poll(int wait = 0) { return h.DataGet(&ch, 1, wait); }
    qxsim::Q1Ups dev;
};

const std::vector<Expect> kNmygGood = {
    {kUpsVin1, 2201}, {kUpsVin2, 2210}, {kUpsVin3, 2198}, {kUpsVout, 2200}, {kUpsV2, 2202},
    {kUpsV3, 2199},   {kUpsAout, 350},  {kUpsAed, 301},   {kUpsV4, 287},    {kUpsTem, 265},
    {kUpsFin, 500},   {kUpsVbatt, 2720}, {kUpsMbatt, 450}, {kUpsFout, 0},   {kUpsPout, 0},
    {kUpsPbatt, 0},   {kUpsStatus, 0},
};

}  // namespace


TEST(NmygPoll, AsksRsRdRnAndDecodes) {
    Nmyg r;
    r.dev.replies["RS"] = "(1 0 0 0 1\r";
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("RS\r", r.Sent(0));
    EXPECT_EQ("RD\r", r.Sent(1));
    EXPECT_EQ("RN\r", r.Sent(2));
    EXPECT_EQ(3, r.ch.Purges()) << "stale input goes before each request";
    ExpectFields(r.h, kNmygGood, "good");
    // The leading "(" is passed over; flags n1..n5 are b4, b5, b7, b6, b3; status not packed.
    ExpectFields(r.h, {{kUpsB4, 1}, {kUpsB3, 1}, {kUpsB5, 0}, {kUpsB7, 0}, {kUpsB6, 0},
                       {kUpsStatus, 0}},
                 "flags");
}

TEST(NmygPoll, EachFlagFromItsNumber) {
    struct Case {
        const char* rs;
        int b4, b5, b7, b6, b3;
    } cases[] = {
        {"(1 0 0 0 1\r", 1, 0, 0, 0, 1},
        {"(0 2 0 0 0\r", 0, 1, 0, 0, 0},
        {"(0 0 1 0 0\r\n", 0, 0, 1, 0, 0},
        {"(0 0 0 -5 0\n", 0, 0, 0, 1, 0},     // the sign is no part of the number: 50
        {"(0.05 0 0 0 0.1\r", 0, 0, 0, 0, 1},  // 0.5 truncated: 0; 1
        {"1 1 1 1 1 1\r", 1, 1, 1, 1, 1},     // the first byte is passed over: "1 1 1 1 1"
    };
    for (const Case& c : cases) {
        Nmyg r;
        r.dev.replies["RS"] = c.rs;
        ASSERT_EQ(1, r.Poll()) << c.rs;
        ExpectFields(r.h, {{kUpsB4, c.b4}, {kUpsB5, c.b5}, {kUpsB7, c.b7}, {kUpsB6, c.b6},
                           {kUpsB3, c.b3}, {kUpsStatus, 0}},
                     c.rs);
    }
}

TEST(NmygPoll, NumberScanner) {
    struct Case {
        const char* text;
        int pos;
        std::vector<int> want;
    } cases[] = {
        {"(1 0 0 0 1\r", 1, {10, 0, 0, 0, 10}},
        {"(-5 +2.5 .5\r", 1, {50, 25, 50}},       // sign and point before a digit passed over
        {"(0.05 0.19\r", 1, {0, 1}},
        {"(12 34", 1, {120}},                      // the last number has no end: lost
        {"(5-3 7x\n", 1, {50, 70}},                // characters after the digit stay in it
        {"(a b 1\r", 1, {10}},
        {"(1\r\n\r 2 ", 1, {10, 20}},
        {"(1e400 2\r", 1, {}},                     // no finite number stops the scan
        {"(3e9 2\r", 1, {}},                       // nor does one beyond int
        {"12 34\r", 0, {120, 340}},
    };
    for (const Case& c : cases) {
        int out[32];
        int pos = c.pos;
        int n = CSMUpsNMYG::GetVals(out, c.text, pos, (int)strlen(c.text), 13);
        EXPECT_EQ(std::vector<int>(out, out + n), c.want) << c.text;
    }
    // At most 32 numbers.
    std::string many = "(";
    for (int i = 0; i < 40; i++) many += std::to_string(i) + " ";
    int out[32];
    int pos = 1;
    EXPECT_EQ(32, CSMUpsNMYG::GetVals(out, many.c_str(), pos, (int)many.size(), 13));
    EXPECT_EQ(310, out[31]);
}

TEST(NmygPoll, RefusalsAndWhatTheyKeep) {
    enum Keeps { kAll, kFlagsOnly, kNew };
    struct Case {
        const char* what;
        const char* rs;  // null: silence; "" the model's
        const char* rd;
        const char* rn;
        Keeps keeps;
        int result;
    } cases[] = {
        {"RS silent", nullptr, "", "", kAll, 0},
        {"RS without line end", "(1 0 0 0 1", "", "", kAll, 0},
        {"RS four numbers", "(1 0 0 0\r", "", "", kAll, 0},
        {"RS garbage", "\x01\xfe\x80\r", "", "", kAll, 0},
        {"RS infinite", "(1 0 1e999 0 1\r", "", "", kAll, 0},
        {"RD silent", "(1 0 0 0 1\r", nullptr, "", kFlagsOnly, 0},
        {"RD twelve numbers", "(1 0 0 0 1\r", "(1 2 3 4 5 6 7 8 9 10 11 12\r", "", kFlagsOnly, 0},
        {"RD without line end", "(1 0 0 0 1\r", "(1 2 3 4 5 6 7 8 9 10 11 12 13", "", kFlagsOnly, 0},
        {"RD beyond int", "(1 0 0 0 1\r", "(1 2 3 4 5 6 7 8 9 10 11 12 1e9\r", "", kFlagsOnly, 0},
        {"RN silent", "(1 0 0 0 1\r", "", nullptr, kNew, 1},
        {"RN empty line", "(1 0 0 0 1\r", "", "\r", kNew, 1},
    };
    for (const Case& c : cases) {
        Nmyg r;
        ASSERT_EQ(1, r.Poll());  // the model's values: no flag set
        const std::vector<int> before = Values(r.h);
        auto set = [&](const char* req, const char* text) {
            if (!text) r.dev.replies.erase(req);
            else if (*text) r.dev.replies[req] = text;
        };
        set("RS", c.rs);
        set("RD", c.rd);
        set("RN", c.rn);
        EXPECT_EQ(c.result, r.Poll()) << c.what;
        if (c.keeps == kAll) {
            EXPECT_EQ(before, Values(r.h)) << c.what;
        } else if (c.keeps == kFlagsOnly) {
            ExpectFields(r.h, {{kUpsB4, 1}, {kUpsB3, 1}, {kUpsVin1, 0}, {kUpsMbatt, 0},
                               {kUpsVbatt, 0}},
                         c.what);
        } else {
            ExpectFields(r.h, kNmygGood, c.what);
        }
    }
}

TEST(NmygPoll, RnWriteFailureKeepsTheNewValuesAndFails) {
    Nmyg r;
    r.dev.replies["RS"] = "(1 0 0 0 1\r";
    r.ch.Reply(r.dev.replies["RS"]).Reply(r.dev.replies["RD"]).ShortWrite(2);
    EXPECT_EQ(0, r.Poll());
    ExpectFields(r.h, kNmygGood, "RN short write");
    EXPECT_EQ(1, r.h.DataVal(kUpsB4));
}

TEST(NmygPoll, ShortWriteOrClosedChannel) {
    Nmyg r;
    r.ch.ShortWrite(2);
    EXPECT_EQ(0, r.Poll());
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    EXPECT_EQ(1u, r.ch.Written().size());
}

TEST(NmygPoll, RepliesInPiecesAndStaleInput) {
    Nmyg r;
    r.ch.Inject(qxtest::TextBytes("(9 9 9 9 9 "));
    const std::string rd = r.dev.replies["RD"];
    r.ch.Reply(r.dev.replies["RS"]);
    r.ch.ReplyChunks({qxtest::TextBytes(rd.substr(0, 17)), qxtest::TextBytes(rd.substr(17, 20)),
                      qxtest::TextBytes(rd.substr(37))});
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, kNmygGood, "pieces");
    EXPECT_EQ(0, r.h.DataVal(kUpsB4)) << "stale flags not read";
}

TEST(NmygPoll, WaitAfterEachRequest) {
    struct Case {
        int wait;
        int channelType;
        std::vector<int> sleeps;
    } cases[] = {
        {150, 0x100001, {150, 150, 150}},
        {150, 0x200000, {150, 150, 150}},
        {0, 0x100001, {}},
        {0, 0x200000, {}},
        {-20, 0x200000, {}},
    };
    for (const Case& c : cases) {
        Nmyg r;
        r.ch.SetType(c.channelType);
        ASSERT_EQ(1, r.Poll(c.wait));
        EXPECT_EQ(c.sleeps, g_sleeps) << c.wait << " " << std::hex << c.channelType;
    }
}

TEST(NmygCommand, NoneIsSent) {
    Nmyg r;
    for (int cmd : {0, 1, 2}) EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, cmd, nullptr, 0)) << cmd;
    EXPECT_EQ(0, r.h.DoFunc(1, nullptr, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(NmygVarEval, EveryReadingInTenths) {
    Nmyg r;
    r.dev.replies["RS"] = "(1 0 0 0 1\r";
    ASSERT_EQ(1, r.Poll());
    struct Case {
        const char* key;
        const char* out;
    } cases[] = {
        {".Vin", "220.1"}, {".Tem", "26.5"}, {".Vbatt", "272.0"}, {".Aed", "30.1"},
        {".Fin", "50.0"},  {".B4", "1"},     {".status", "0"},    {".Vfault", "0.0"},
        {".Pbatt", "0.0"}, {".company", ""},
    };
    for (const Case& c : cases) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", c.key);
        EXPECT_EQ((int)strlen(c.out), r.h.VarEval(buf)) << c.key;
        EXPECT_STREQ(c.out, buf) << c.key;
    }
    char buf[32] = ".Vin1";
    EXPECT_EQ(-1, r.h.VarEval(buf));
}

// ================================================================ Sentry

namespace {

struct Sentry : Rig<CSMUpsSentry> {
    Sentry() {
        ch.SetResponder([this](const Bytes& req) {
            return req.size() == 1 && req[0] == 0xC0 ? dev.Frame() : Bytes();
        });
    }
    int Poll(int wait = 0) { return h.DataGet(&ch, 1, wait); }
    qxsim::SentryUps dev;
};

// A reply of n bytes with the fields at their offsets.
Bytes SentryFrame(size_t n, std::vector<std::pair<int, uint8_t>> bytes) {
    Bytes f(n, 0x20);
    if (n > 1) f[1] = 'g';
    for (auto& b : bytes) f[b.first] = b.second;
    return f;
}

}  // namespace


TEST(SentryPoll, FixedOffsets) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, uint8_t>> bytes;
        std::vector<Expect> fields;
    } cases[] = {
        {"frequencies and battery",
         {{41, 0xF4}, {42, 0x01}, {43, 0x01}, {44, 0x0E}, {68, 0xF4}, {69, 0x01}},
         {{kUpsFin, 500}, {kUpsVbatt, 270}, {kUpsFout, 500}, {kUpsB7, 0}, {kUpsStatus, 0}}},
        {"mains failure", {{41, 0}, {42, 0}, {68, 0xF4}, {69, 0x01}},
         {{kUpsFin, 0}, {kUpsB7, 1}, {kUpsStatus, 128}, {kUpsFout, 500}}},
        // The output voltages come in whole volts and are kept in tenths.
        {"bytes", {{41, 1}, {42, 0}, {48, 31}, {59, 220}, {60, 0xFF}, {61, 0}},
         {{kUpsFin, 1}, {kUpsTem, 31}, {kUpsVout, 2200}, {kUpsV2, 2550}, {kUpsV3, 0},
          {kUpsVin1, 0}, {kUpsPbatt, 0}, {kUpsMbatt, 0}}},
    };
    for (const Case& c : cases) {
        Sentry r;
        r.ch.Reply(SentryFrame(80, c.bytes));
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ("C0", qxtest::Hex(r.ch.Written().at(0))) << c.what;
        ExpectFields(r.h, c.fields, c.what);
    }
}

TEST(SentryPoll, WaitIsAtLeastATenthOfASecond) {
    for (auto c : {std::make_pair(0, 100), std::make_pair(100, 100), std::make_pair(101, 101),
                   std::make_pair(-5, 100)}) {
        Sentry r;
        ASSERT_EQ(1, r.Poll(c.first));
        EXPECT_EQ(std::vector<int>{c.second}, g_sleeps) << c.first;
    }
}

TEST(SentryPoll, RefusedRepliesKeepTheLastPoll) {
    struct Case {
        const char* what;
        Bytes reply;  // empty: silence
    } cases[] = {
        {"silence", {}},
        {"69 bytes", SentryFrame(69, {{41, 7}})},
        {"no g", SentryFrame(80, {{1, 'G'}, {41, 7}})},
        {"two bytes", SentryFrame(2, {})},
    };
    for (const Case& c : cases) {
        Sentry r;
        ASSERT_EQ(1, r.Poll());
        const std::vector<int> before = Values(r.h);
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(before, Values(r.h)) << c.what;
    }
    // Exactly 70 bytes carry every field.
    Sentry r;
    r.ch.Reply(SentryFrame(70, {{68, 0xF4}, {69, 0x01}}));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(500, r.h.DataVal(kUpsFout));
}

TEST(SentryPoll, AReplyInPiecesIsGathered) {
    Sentry r;
    r.ch.Inject(HexBytes("00 67 01 02"));
    const Bytes f = r.dev.Frame();
    r.ch.ReplyChunks({Bytes(f.begin(), f.begin() + 30), Bytes(f.begin() + 30, f.begin() + 69),
                      Bytes(f.begin() + 69, f.end())});
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, {{kUpsFin, 500}, {kUpsVbatt, 270}, {kUpsVout, 2200}, {kUpsFout, 500}},
                 "pieces");
    EXPECT_EQ(1, r.ch.Purges());
}

TEST(SentryPoll, ShortWriteOrClosedChannel) {
    Sentry r;
    r.ch.ShortWrite(0);
    EXPECT_EQ(0, r.Poll());
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
}

TEST(SentryCommand, NoneIsSent) {
    Sentry r;
    for (int cmd : {0, 1, 2}) EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, cmd, nullptr, 0)) << cmd;
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 1, nullptr, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

// ================================================================ Link

namespace {

struct Link : Rig<CSMUpsLink> {
    Link() : slave(1) {
        qxsim::SetLinkUps(slave, qxsim::LinkUps());
        ch.SetResponder([this](const Bytes& req) {
            qxsim::ModbusReply m = slave.HandleRtu(req.data(), req.size());
            return m.bytes;
        });
    }
    int Poll(int wait = 0, int addr = 1) { return h.DataGet(&ch, addr, wait); }
    qxsim::ModbusSlave slave;
};

// A function-3 reply of unit 1 with these data bytes and the count given, CRC appended.
Bytes MbReply(const Bytes& data, int count = -1) {
    Bytes f(3 + data.size());
    f[0] = 0x01, f[1] = 0x03, f[2] = (uint8_t)(count < 0 ? data.size() : (size_t)count);
    std::copy(data.begin(), data.end(), f.begin() + 3);
    uint16_t crc = qxsim::ModbusSlave::Crc16(f.data(), f.size());
    f.push_back((uint8_t)crc);
    f.push_back((uint8_t)(crc >> 8));
    return f;
}

const std::vector<Expect> kLinkGood = {
    {kUpsVin1, 2200}, {kUpsFin, 500},    {kUpsVout, 2201}, {kUpsFout, 499}, {kUpsAout, 35},
    {kUpsPout, 41},   {kUpsVbatt, 2720}, {kUpsTem, 28},    {kUpsVin2, 0},   {kUpsVin3, 0},
    {kUpsPbatt, 0},   {kUpsMbatt, 0},
};

}  // namespace


TEST(LinkPoll, RequestsAndRegisters) {
    Link r;
    r.slave.SetHolding(0, 0x8007);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(2u, r.ch.Written().size());
    EXPECT_EQ("01 03 00 AA 00 0B 24 2D", qxtest::Hex(r.ch.Written()[0]));
    EXPECT_EQ("01 03 00 00 00 01 84 0A", qxtest::Hex(r.ch.Written()[1]));
    EXPECT_EQ((std::vector<int>{100, 100}), g_sleeps);
    ExpectFields(r.h, kLinkGood, "registers");
}

TEST(LinkPoll, AlarmWordBits) {
    struct Case {
        uint16_t word;
        int status;
        std::vector<Expect> flags;
    } cases[] = {
        {0x8007, 0xF0, {{kUpsB7, 1}, {kUpsB6, 1}, {kUpsB5, 1}, {kUpsB4, 1}, {kUpsB3, 0}}},
        {0x4000, 0x08, {{kUpsB3, 1}, {kUpsB4, 0}}},
        {0x2000, 0x04, {{kUpsB2, 1}}},
        {0x0800, 0x02, {{kUpsB1, 1}}},
        {0x0400, 0x01, {{kUpsB0, 1}}},
        {0x13F8, 0x00, {{kUpsB7, 0}, {kUpsB0, 0}}},  // bits no flag reads
        {0xFFFF, 0xFF, {{kUpsB7, 1}, {kUpsB0, 1}}},
    };
    for (const Case& c : cases) {
        Link r;
        r.slave.SetHolding(0, c.word);
        ASSERT_EQ(1, r.Poll()) << c.word;
        EXPECT_EQ(c.status, r.h.DataVal(kUpsStatus)) << std::hex << c.word;
        ExpectFields(r.h, c.flags, std::to_string(c.word));
    }
}

TEST(LinkPoll, FirstReplyLengthAndChecks) {
    Bytes data(22, 0);
    data[1] = 0x10;  // register 170: 16
    struct Case {
        const char* what;
        Bytes reply;
        int result;
    } cases[] = {
        {"27 bytes", MbReply(data), 1},
        {"26 bytes", [&] { Bytes b = MbReply(data); b.pop_back(); return b; }(), 0},
        {"bad CRC", [&] { Bytes b = MbReply(data); b[26] ^= 0xFF; return b; }(), 0},
        {"count 20", MbReply(Bytes(data.begin(), data.begin() + 20)), 0},
        {"exception", HexBytes("01 83 04 40 F3"), 0},
        {"another unit", [&] {
             Bytes b = MbReply(data);
             b[0] = 2;
             uint16_t crc = qxsim::ModbusSlave::Crc16(b.data(), 25);
             b[25] = (uint8_t)crc, b[26] = (uint8_t)(crc >> 8);
             return b;
         }(), 0},
        {"garbage", HexBytes("55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55"), 0},
    };
    for (const Case& c : cases) {
        Link r;
        ASSERT_EQ(1, r.Poll());
        const std::vector<int> before = Values(r.h);
        r.ch.Reply(c.reply);
        EXPECT_EQ(c.result, r.Poll()) << c.what;
        if (c.result) {
            EXPECT_EQ(16, r.h.DataVal(kUpsVin1)) << c.what;
        } else {
            EXPECT_EQ(before, Values(r.h)) << c.what;
            EXPECT_EQ(3u, r.ch.Written().size()) << c.what << ": no second request";
        }
    }
    Link r;
    r.ch.Silence();
    EXPECT_EQ(0, r.Poll()) << "silence";
    EXPECT_EQ(0, r.h.DataVal(kUpsVin1));
}

TEST(LinkPoll, SecondReplyRefusedLeavesTheFlagsZero) {
    struct Case {
        const char* what;
        Bytes reply;  // empty: silence
    } cases[] = {
        {"silence", {}},
        {"bad CRC", HexBytes("01 03 02 80 07 00 00")},
        {"exception", HexBytes("01 83 02 C0 F1")},
        {"four registers", MbReply(HexBytes("80 07 80 07"))},
        {"cut short", HexBytes("01 03 02 80")},
    };
    for (const Case& c : cases) {
        Link r;
        r.slave.SetHolding(0, 0x8007);
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(0xF0, r.h.DataVal(kUpsStatus));
        r.ch.Reply(MbReply(Bytes(22, 0)));
        if (c.reply.empty()) r.ch.Silence();
        else r.ch.Reply(c.reply);
        EXPECT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(0, r.h.DataVal(kUpsStatus)) << c.what;
        for (int f = kUpsB7; f <= kUpsB0; f++) EXPECT_EQ(0, r.h.DataVal(f)) << c.what << f;
    }
}

TEST(LinkPoll, SecondWriteFailureKeepsTheFirstReply) {
    Link r;
    r.slave.SetHolding(0, 0x8007);
    ASSERT_EQ(1, r.Poll());
    Bytes data(22, 0);
    data[1] = 0x21;
    r.ch.Reply(MbReply(data)).ShortWrite(3);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0x21, r.h.DataVal(kUpsVin1));
}

TEST(LinkPoll, AddressOutsideOneByteIsRefusedUnsent) {
    for (int addr : {256, -1, 0x101, 100000}) {
        Link r;
        EXPECT_EQ(0, r.Poll(0, addr)) << addr;
        EXPECT_TRUE(r.ch.Written().empty()) << addr;
    }
    Link r;
    r.slave.SetUnit(255);
    EXPECT_EQ(1, r.Poll(0, 255));
    EXPECT_EQ("FF 03 00 AA 00 0B", qxtest::Hex(Bytes(r.ch.Written()[0].begin(), r.ch.Written()[0].begin() + 6)));
}

TEST(LinkPoll, WaitsSplitRepliesAndClosedChannel) {
    Link r;
    ASSERT_EQ(1, r.Poll(250));
    EXPECT_EQ((std::vector<int>{250, 250}), g_sleeps);
    qxsim::ModbusReply m = r.slave.HandleRtu(HexBytes("01 03 00 AA 00 0B 24 2D").data(), 8);
    r.ch.ReplyChunks({Bytes(m.bytes.begin(), m.bytes.begin() + 9), Bytes(m.bytes.begin() + 9, m.bytes.end())});
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(2200, r.h.DataVal(kUpsVin1));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
}

TEST(LinkCommand, NoneIsSent) {
    Link r;
    for (int cmd : {0, 1, 2}) EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, cmd, nullptr, 0)) << cmd;
    EXPECT_TRUE(r.ch.Written().empty());
}

// ================================================================ Smart

namespace {

struct Smart : Rig<CSMUpsSmart> {
    Smart() {
        ch.SetResponder([this](const Bytes& req) {
            qxsim::Reply reply;
            if (!responder(req, qxsim::Fault::None, reply)) return Bytes();
            return reply.data;
        });
    }
    int Poll() { return h.DataGet(&ch, 1, 0); }
    std::string Letters() {
        std::string s;
        for (const Bytes& w : ch.Written()) s += std::string(w.begin(), w.end());
        return s;
    }
    qxsim::SmartUps dev;
    qxsim::Responder responder = dev.AsResponder();
};

const std::vector<Expect> kSmartGood = {
    {kUpsTem, 315},  {kUpsStatus, 8},  {kUpsB3, 1},      {kUpsB7, 0},     {kUpsVdc, 24},
    {kUpsVbatt, 274}, {kUpsPbatt, 1000}, {kUpsVin1, 2204}, {kUpsV1, 2350},  {kUpsV2, 1960},
    {kUpsV3, 0},     {kUpsVout, 2200}, {kUpsFout, 500},  {kUpsPout, 410}, {kUpsAout, 410},
    {kUpsMbatt, 42}, {kUpsFin, 500},   {kUpsVed, 2200},  {kUpsAed, 0},    {kUpsVAed, 0},
    {kUpsVin2, 0},   {kUpsVin3, 0},    {kUpsV4, 0},      {kUpsFed, 0},
};

std::string Text(int val) { return qxhost::TextOfVal(val); }

}  // namespace


TEST(SmartPoll, ThirteenQueriesAndTheirValues) {
    Smart r;
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("YCQgBfLMNOFPj", r.Letters());
    EXPECT_EQ(std::vector<int>(13, 100), g_sleeps);
    ExpectFields(r.h, kSmartGood, "good");
    EXPECT_EQ("APC", Text(r.h.DataVal(kUpsCompany)));
    EXPECT_EQ("UPS Smart", Text(r.h.DataVal(kUpsMode)));
    EXPECT_EQ("v", Text(r.h.DataVal(kUpsVersion)));
    EXPECT_EQ(1, r.h.DataVal(34));
    EXPECT_EQ(0, r.h.DataVal(36));
}

TEST(SmartPoll, AnswerForms) {
    struct Case {
        char letter;
        const char* answer;
        std::vector<Expect> fields;
    } cases[] = {
        {'Q', "08", {{kUpsStatus, 8}, {kUpsB3, 1}, {kUpsB7, 0}, {kUpsB0, 0}}},
        {'Q', "81", {{kUpsStatus, 0x81}, {kUpsB7, 1}, {kUpsB0, 1}, {kUpsB3, 0}}},
        {'Q', "1FF", {{kUpsStatus, 0xFF}}},        // the low byte
        {'Q', "zz", {{kUpsStatus, 0}}},
        {'j', "0042:", {{kUpsMbatt, 42}, {kUpsFin, 500}}},
        {'P', "041.0", {{kUpsPout, 410}, {kUpsAout, 410}}},
        {'P', "-3.25", {{kUpsPout, -32}, {kUpsAout, -32}}},  // truncated toward zero
        {'C', "ab", {{kUpsTem, 0}}},
        {'g', "12.9", {{kUpsVdc, 12}}},
    };
    for (const Case& c : cases) {
        Smart r;
        r.dev.SetAnswer(c.letter, c.answer);
        ASSERT_EQ(1, r.Poll()) << c.answer;
        ExpectFields(r.h, c.fields, c.answer);
    }
}

TEST(SmartPoll, NoNumbersAtAll) {
    Smart r;
    for (char l : std::string("CQgBfLMNOFPj")) r.dev.SetAnswer(l, "xx");
    ASSERT_EQ(1, r.Poll());
    for (int f = 1; f <= 30; f++) {
        const int want = f == kUpsVed ? 2200 : f == kUpsFin ? 500 : 0;
        EXPECT_EQ(want, r.h.DataVal(f)) << f;
    }
}

TEST(SmartPoll, RefusalsKeepWhatWasDecodedBefore) {
    struct Case {
        const char* what;
        char letter;
        const char* raw;  // null: silence
        int decoded;      // queries whose values stand
    } cases[] = {
        {"Y silent", 'Y', nullptr, 0},
        {"Y not SM", 'Y', "SX\r\n", 0},
        {"Y too short", 'Y', "S\r\n", 0},
        {"Y without LF", 'Y', "SM\r", 0},
        {"C without LF", 'C', "031.5\r", 1},
        {"C only CR", 'C', "\r", 1},
        {"C without CR", 'C', "031.5\n", 1},
        {"C one byte", 'C', "\n", 1},
        {"L infinite", 'L', "1e999\r\n", 6},
        {"j beyond int", 'j', "99999999999\r\n", 12},
        {"P beyond int", 'P', "300000000\r\n", 11},
        {"garbage", 'B', "\x80\xff\x01", 4},
    };
    for (const Case& c : cases) {
        Smart r;
        ASSERT_EQ(1, r.Poll());
        // The old values differ from the new ones wherever a query decodes.
        for (char l : std::string("CgBfLMNOFPj")) r.dev.SetAnswer(l, "1");
        r.dev.SetAnswer('Q', "80");
        if (c.raw) r.dev.SetRaw(c.letter, c.raw);
        else r.dev.SetRaw(c.letter, "");
        const std::vector<int> before = Values(r.h);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ((size_t)c.decoded + 1, r.ch.Written().size() - 13) << c.what << ": stops there";
        if (c.decoded == 0) {
            EXPECT_EQ(before, Values(r.h)) << c.what;
            continue;
        }
        // Y's clearing stands: Vin1..3, Fin and v1..v4 zero, Ved 2200.
        ExpectFields(r.h, {{kUpsVed, 2200}, {kUpsVin2, 0}, {kUpsV4, 0}}, c.what);
        EXPECT_EQ(c.decoded >= 7 ? 10 : 0, r.h.DataVal(kUpsVin1)) << c.what;
        EXPECT_EQ(c.decoded >= 2 ? 0x80 : 8, r.h.DataVal(kUpsStatus)) << c.what;
        EXPECT_EQ(c.decoded >= 12 ? 10 : 410, r.h.DataVal(kUpsPout)) << c.what;
        EXPECT_EQ(0, r.h.DataVal(kUpsFin)) << c.what << ": the mains frequency only when complete";
        EXPECT_EQ(c.decoded >= 1 ? 2200 : 0, r.h.DataVal(kUpsVed)) << c.what;
    }
}

TEST(SmartPoll, ShortWriteClosedChannelAndPieces) {
    Smart r;
    r.ch.ShortWrite(0);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));

    Smart s;
    s.ch.Inject(qxtest::TextBytes("99\r\n"));
    s.ch.ReplyChunks({qxtest::TextBytes("S"), qxtest::TextBytes("M\r"), qxtest::TextBytes("\n")});
    s.ch.ReplyChunks({qxtest::TextBytes("031"), qxtest::TextBytes(".5\r\n")});
    ASSERT_EQ(1, s.Poll());
    ExpectFields(s.h, kSmartGood, "pieces");
}

TEST(SmartPoll, EveryCompletePollNamesTheMakerForEachPoint) {
    Smart r;
    TestDb db;
    r.h.SetDb(&db, 0);
    ASSERT_EQ(1, r.h.ChkDb(r.item));
    ASSERT_EQ(1, r.Poll());
    // An update without answer empties the texts; the next complete poll fills them again.
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ("", Text(r.h.DataVal(kUpsCompany)));
    EXPECT_EQ(0, r.h.DataVal(34));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("APC", Text(r.h.DataVal(kUpsCompany)));
    EXPECT_EQ("v", Text(r.h.DataVal(kUpsVersion)));
    // A second point of the type gets them with its own first complete poll.
    qxhost::PointItem other(42, 0x303);
    other.Ser(&r.ch);
    r.h.DoItem(other, 0);
    EXPECT_EQ("", Text(r.h.DataVal(kUpsCompany)));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("UPS Smart", Text(r.h.DataVal(kUpsMode)));
}

TEST(SmartCommand, OnlyCommandOneWritesW) {
    struct Case {
        int command;
        bool shortWrite;
        int result;
        const char* sent;
    } cases[] = {
        {1, false, 1, "W"}, {1, true, 0, "W"}, {2, false, 0, nullptr}, {0, false, 0, nullptr},
    };
    for (const Case& c : cases) {
        Smart r;
        if (c.shortWrite) r.ch.ShortWrite(0);
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.command, nullptr, 0)) << c.command;
        if (c.sent) {
            EXPECT_EQ(c.sent, r.Sent(0));
            EXPECT_EQ(c.result ? std::vector<int>{100} : std::vector<int>{}, g_sleeps);
        } else {
            EXPECT_TRUE(r.ch.Written().empty()) << c.command;
        }
    }
    Smart r;
    EXPECT_EQ(1, r.h.DoFunc(1, nullptr, 0)) << "through the point's channel";
    EXPECT_EQ(1, r.dev.Commands());
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 1, nullptr, 0));
}

TEST(SmartVarEval, TheDefaultKeys) {
    Smart r;
    ASSERT_EQ(1, r.Poll());
    struct Case {
        const char* key;
        const char* out;
    } cases[] = {{".Vin", "220.4"}, {".Pout", "41.0"}, {".Vfault", "2350"}, {".Tem", "315"},
                 {".company", "APC"}, {".B3", "1"}};
    for (const Case& c : cases) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", c.key);
        EXPECT_EQ((int)strlen(c.out), r.h.VarEval(buf)) << c.key;
        EXPECT_STREQ(c.out, buf) << c.key;
    }
}

// ================================================================ registration and storing

namespace {

// Registers a driver in a fresh database, polls point 41 once and stores it with history.
template <class R>
struct Stored {
    Stored() {
        r.h.SetDb(&db, 0);
        r.h.SetDb(&hist, 1);
        r.h.RegDb(&db, 0);
        EXPECT_EQ(1, r.h.ChkDb(r.item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(41," +
               std::to_string(r.h.GetType()) + ",-1)");
    }
    int Store(bool answered, int bit = 0) {
        int bits[2] = {bit ? 1 << (bit - 1) : 0, 0};
        r.h.DoItem(r.item, 0);
        return r.h.DataUpd(0, answered ? bits : nullptr, nullptr, -1, &hist);
    }
    std::string Row(const std::string& cols, TestDb& d) {
        return d.Str("select " + cols + " from tbUps where SID=41 order by DID desc limit 1");
    }
    R r;
    TestDb db, hist;
};

std::string Flds(TestDb& db) {
    return db.Str("select group_concat(Fld) from (select Fld from tbSMDef order by rowid)");
}

}  // namespace

TEST(SingleUpsDb, TypeAndDefinitionRows) {
    {
        Stored<Nmyg> s;
        EXPECT_EQ("782|768", s.db.Str("select Type||'|'||Kind from tbSMType"));
        EXPECT_EQ(H("UPS QX-NMYG"), H(s.db.Str("select Name from tbSMType")));
        EXPECT_EQ(H("UPS山特兼容KR APC..."), H(s.db.Str("select Note from tbSMType")));
        EXPECT_EQ("1,2,3,4,5,28,29,6,23,30,11,12,13,14,15,19,9", Flds(s.db));
        EXPECT_EQ(H("b6电池电压"), H(s.db.Str("select Note from tbSMDef where Fld=12")));
        EXPECT_EQ(H("b3 放电状态"), H(s.db.Str("select Note from tbSMDef where Fld=15")));
        EXPECT_EQ(H("输出负载C|10|0|1500"),
                  H(s.db.Str("select Note||'|'||Ratio||'|'||AlmKind||'|'||HiLmt from tbSMDef where Fld=30")));
    }
    {
        Stored<Sentry> s;
        EXPECT_EQ("778|768", s.db.Str("select Type||'|'||Kind from tbSMType"));
        EXPECT_EQ(H("SENTRY UPS UPS-SENTRY"), H(s.db.Str("select Name from tbSMType")));
        EXPECT_EQ(H("232接口..."), H(s.db.Str("select Note from tbSMType")));
        EXPECT_EQ("11,5,7", Flds(s.db));
    }
    {
        Stored<Link> s;
        EXPECT_EQ("783|768", s.db.Str("select Type||'|'||Kind from tbSMType"));
        EXPECT_EQ(H("UPS QXUPS-EAST"), H(s.db.Str("select Name from tbSMType")));
        EXPECT_EQ(H("易事特 EA86系列及兼容..."), H(s.db.Str("select Note from tbSMType")));
        EXPECT_EQ("1,4,5,6,7,8,11,12,13,14,15,16,17,18,19,20", Flds(s.db));
        EXPECT_EQ(H("b2 EPO激活|0"), H(s.db.Str("select Note||'|'||HiText from tbSMDef where Fld=16")));
    }
    {
        Stored<Smart> s;
        EXPECT_EQ("771|768", s.db.Str("select Type||'|'||Kind from tbSMType"));
        EXPECT_EQ(H("UPS QX-UPSSMART"), H(s.db.Str("select Name from tbSMType")));
        EXPECT_EQ(H("APC UPS Smart..."), H(s.db.Str("select Note from tbSMType")));
        EXPECT_EQ("1,4,5,6,7,8,12,13,14,15,19,20,21", Flds(s.db));
        EXPECT_EQ("B6,B5,B4,B3", s.db.Str("select group_concat(FldName) from tbSMDef where Fld between 12 and 15"));
        EXPECT_EQ(H("电池时间|1|5|最小值|允许最低电池时间,低于此值告警|0|"),
                  H(s.db.Str("select Note||'|'||Ratio||'|'||vref||'|'||LoText||'|'||HiLmt||'|'||HiText from tbSMDef where Fld=21")));
        EXPECT_EQ(H("最大值|允许最高输出负载,超过此值告警"),
                  H(s.db.Str("select HiText from tbSMDef where Fld=8")));
    }
}

TEST(SingleUpsDb, EachDriversColumnsAndSummary) {
    // Columns a driver does not write stay as the row had them (NULL in a new row).
    const std::string cols =
        "State||'|'||Vin1||'|'||Vin2||'|'||Fin||'|'||Vout||'|'||Aout||'|'||Fout||'|'||"
        "ifnull(Pout,'-')||'|'||Tem||'|'||status||'|'||b7||'|'||b4||'|'||b3||'|'||Vbatt||'|'||"
        "Pbatt||'|'||ifnull(Mbatt,'-')||'|'||Ved||'|'||Aed||'|'||ifnull(VAed,'-')||'|'||Vdc||'|'||"
        "ifnull(Fed,'-')||'|'||v1||'|'||ifnull(v2,'-')||'|'||ifnull(v3,'-')||'|'||ifnull(v4,'-')||"
        "'|'||company||'|'||mode||'|'||version";
    {
        Stored<Nmyg> s;
        s.r.dev.replies["RS"] = "(1 0 0 0 1\r";
        ASSERT_EQ(1, s.r.Poll());
        ASSERT_EQ(1, s.Store(true, kUpsB4));
        const char* want = "0|2201|2210|500|2200|350|0|-|265|0|0|1|1|2720|0|450|0|301|-|0|0|0|2202|2199|287|||";
        EXPECT_EQ(want, s.Row(cols, s.db));
        EXPECT_EQ(want, s.Row(cols, s.hist));
        EXPECT_EQ(H("输入电压:220.1V, 输出电压:220.0V, 输出负载:35.0%告警:b4 UPS故障"),
                  H(s.db.Str("select Brief from tbSMBrief where SID=41")));
        EXPECT_EQ(0, s.db.Int("select State from tbSubSysDetail where SID=41"));
        EXPECT_EQ(0, s.db.Failures()) << s.db.Error();
    }
    {
        Stored<Sentry> s;
        ASSERT_EQ(1, s.r.Poll());
        ASSERT_EQ(1, s.Store(true));
        const char* want = "0|0|0|500|2200|0|500|-|31|0|0|0|0|270|0|0|0|0|-|0|0|0|2210|2190|0|||";
        EXPECT_EQ(want, s.Row(cols, s.db));
        EXPECT_EQ(want, s.Row(cols, s.hist));
        EXPECT_EQ(H("输入频率:50.0Hz,输出电压1:220.0V,输出电压2:221.0V,输出电压3:219.0V"),
                  H(s.db.Str("select Brief from tbSMBrief where SID=41")));
    }
    {
        Stored<Link> s;
        s.r.slave.SetHolding(0, 0x8007);
        ASSERT_EQ(1, s.r.Poll());
        ASSERT_EQ(1, s.Store(true, kUpsB7));
        const char* want = "0|2200|0|500|2201|35|499|-|28|240|1|1|0|2720|0|-|0|0|-|0|0|0|-|-|-|||";
        EXPECT_EQ(want, s.Row(cols, s.db));
        EXPECT_EQ(want, s.Row(cols, s.hist));
        EXPECT_EQ(H("输入电压:220.0V, 输出电压:220.1V, 输出负载:4.1%, 电池电压:272.0V告警:b7旁路频率不稳定"),
                  H(s.db.Str("select Brief from tbSMBrief where SID=41")));
    }
    {
        Stored<Smart> s;
        ASSERT_EQ(1, s.r.Poll());
        ASSERT_EQ(1, s.Store(true));
        const char* want =
            "0|2204|0|500|2200|410|500|410|315|8|0|0|1|274|1000|42|2200|0|0|24|-|2350|1960|0|-|APC|UPS Smart|v";
        EXPECT_EQ(want, s.Row(cols, s.db));
        EXPECT_EQ(want, s.Row(cols, s.hist));
        EXPECT_EQ(H("输入电压:220.4V, 输出电压:220.0V, 输出负载:41.0%"),
                  H(s.db.Str("select Brief from tbSMBrief where SID=41")));
    }
}

TEST(SingleUpsDb, NoAnswerIsWrittenAtOnce) {
    // None of these drivers withholds an abnormal state: the first update without answer
    // stores state 2 and a cleared row.
    Stored<Link> s;
    ASSERT_EQ(1, s.r.Poll());
    ASSERT_EQ(1, s.Store(true));
    ASSERT_EQ(1, s.Store(false));
    EXPECT_EQ("2|0|0", s.Row("State||'|'||Vin1||'|'||Vbatt", s.db));
    EXPECT_EQ(2, s.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ("2|0", s.Row("State||'|'||Vin1", s.hist));
    EXPECT_EQ(H("通讯中断"), H(s.db.Str("select Brief from tbSMBrief where SID=41")));
}

TEST(SingleUpsDb, LinkSummaryShowsTheLoadRegisterInPerCent) {
    // Register 174 is the output current and 175 the load, both in tenths: the summary's load
    // is 175's, never the current's count.
    struct Case {
        uint16_t current, load;
        const char* shown;
    } cases[] = {
        {35, 41, "输出负载:4.1%"},
        {350, 1000, "输出负载:100.0%"},
        {120, 0, "输出负载:0.0%"},
    };
    for (const Case& c : cases) {
        Stored<Link> s;
        s.r.slave.SetHolding(174, c.current);
        s.r.slave.SetHolding(175, c.load);
        ASSERT_EQ(1, s.r.Poll());
        ASSERT_EQ(1, s.Store(true));
        const std::string brief = s.db.Str("select Brief from tbSMBrief where SID=41");
        EXPECT_NE(std::string::npos, brief.find(c.shown)) << c.load << ": " << H(brief);
        EXPECT_EQ(std::to_string(c.current), s.Row("Aout", s.db)) << "the current stays stored";
    }
}
