// The EDX UPS on the tbUps shape: its requests, the block check, what each block decodes to,
// which blocks end a poll and what they leave, the identity texts, the waits, the refused
// command, and the type and definition rows it registers.
#include <stdio.h>
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BinUpsRig.h"
#include "EdxUps.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "ups/SMUpsEdxRt6.h"

using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

const int kIdOrder[] = {0x01, 0x06, 0x07, 0x31, 0x38, 0x3A, 0x41, 0x42};

// One UPS answering through a scripted channel, one point of it.
struct Rig : qxtest::BinUpsRig<CSMUpsEdxRt6, qxsim::EdxUps> {
    Rig() : BinUpsRig(51, 0x308) {}
};

using Expect = qxtest::FieldIs;
using qxtest::ExpectFields;

// The values of the simulator's defaults.
const std::vector<Expect> kAtRest = {
    {kUpsB7, 1},       {kUpsB6, 0},      {kUpsB5, 1},     {kUpsB4, 1},     {kUpsPbatt, 1000},
    {kUpsPout, 350},   {kUpsVbatt, 2200}, {kUpsFin, 500},  {kUpsVin1, 2300}, {kUpsB3, 0},
    {kUpsB0, 0},       {kUpsV1, 0},      {kUpsV2, 2300},  {kUpsStatus, 1}, {kUpsV3, 10000},
    {kUpsAout, 40},    {kUpsFout, 500},  {kUpsV4, 80},    {kUpsVout, 2300}, {kUpsVin2, 0},
    {kUpsVin3, 0},     {kUpsTem, 0},     {kUpsMbatt, 0},  {kUpsVed, 0},    {kUpsFed, 0},
};

std::string Text(CSMUpsTbUps& h, int fld) {
    const int v = h.DataVal(fld);
    return v == -1 ? "<unreachable>" : qxhost::TextOfVal(v);
}

}  // namespace

// ---------------------------------------------------------------- frames

TEST(EdxFrames, EachIdentifiersRequest) {
    struct Case {
        int id;
        const char* frame;
    } cases[] = {
        {0x31, "81 88 A1 01 31 03 00 00 12 00 80"}, {0x01, "81 88 A1 01 01 03 00 00 12 00 B0"},
        {0x06, "81 88 A1 01 06 03 00 00 12 00 B7"}, {0x07, "81 88 A1 01 07 03 00 00 12 00 B6"},
        {0x38, "81 88 A1 01 38 03 00 00 12 00 89"}, {0x3A, "81 88 A1 01 3A 03 00 00 12 00 8B"},
        {0x41, "81 88 A1 01 41 03 00 00 12 00 F0"}, {0x42, "81 88 A1 01 42 03 00 00 12 00 F3"},
    };
    CSMUpsEdxRt6 h;
    for (const Case& c : cases) {
        ASSERT_EQ(11, h.EdxCmd(c.id));
        EXPECT_EQ(c.frame, qxtest::Hex(h.m_cmd, 11)) << c.id;
    }
}

TEST(EdxFrames, APollAsksTheEightIdentifiersInOrder) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(8u, r.ch.Written().size());
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(CSMUpsEdxRt6::EdxId(i), kIdOrder[i]);
        EXPECT_EQ(qxsim::EdxUps::Request((uint8_t)kIdOrder[i]), r.ch.Written()[i]) << i;
    }
}

// ---------------------------------------------------------------- blocks

TEST(EdxBlock, CheckTable) {
    struct Case {
        const char* block;
        int id;
        int flagAt;  // -1: rejected
        const char* what;
    } cases[] = {
        {"84 04 31 32 E6 00 E5", 0x31, 0, "the example"},
        {"06 84 04 31 32 E6 00 E5", 0x31, 1, "with the leading acknowledgement"},
        {"04 04 31 32 E6 00 E5", 0x31, 0, "flag 04"},
        {"84 F4 31 32 E6 00 E5", 0x31, 0, "n in the low nibble only"},
        {"84 04 31 32 E6 00 E5 00", 0x31, -1, "a byte more"},
        {"84 04 31 32 E6 00", 0x31, -1, "a byte less"},
        {"06 84 04 31 32 E6 00", 0x31, -1, "a byte less after the acknowledgement"},
        {"84 04 31 32 E6 00 E4", 0x31, -1, "last byte not E5"},
        {"84 04 30 32 E6 00 E4", 0x31, -1, "another identifier, its XOR right"},
        {"85 04 31 32 E6 00 E5", 0x31, -1, "flag 85"},
        {"00 04 31 32 E6 00 E5", 0x31, -1, "flag 00"},
        {"06 06 84 04 31 32 E6 00 E5", 0x31, -1, "two acknowledgements"},
        {"84 03 31 32 E6 E5", 0x31, -1, "valid, but the voltage word is not covered"},
        {"84 04 41 01 00 01 41", 0x41, -1, "valid, three of the four status bytes"},
        {"84 05 41 01 00 01 00 41", 0x41, 0, "the four status bytes"},
        {"84 0A 42 00 00 E8 03 04 32 50 E6 00 29", 0x42, 0, "the longest decoding"},
        {"84 09 42 00 00 E8 03 04 32 50 E6 29", 0x42, -1, "output voltage cut in half"},
        {"84 02 06 64 62", 0x06, 0, "one data byte"},
        {"84 01 06 06", 0x06, -1, "no data for the capacity"},
        {"84 00 00", 0x00, -1, "n 0 covers no identifier"},
        {"", 0x31, -1, "nothing"},
        {"84", 0x31, -1, "a flag alone"},
    };
    for (const Case& c : cases) {
        const Bytes b = HexBytes(c.block);
        const uint8_t* flag = CSMUpsEdxRt6::EdxChk(b.data(), (int)b.size(), c.id);
        if (c.flagAt < 0) {
            EXPECT_EQ(nullptr, flag) << c.what;
        } else {
            EXPECT_EQ(b.data() + c.flagAt, flag) << c.what;
        }
    }
    EXPECT_EQ(nullptr, CSMUpsEdxRt6::EdxChk(nullptr, 7, 0x31));
}

TEST(EdxBlock, DecodingByIdentifier) {
    struct Case {
        int id;
        const char* data;  // after the identifier
        std::vector<Expect> fields;
    } cases[] = {
        {0x31, "32 E6 00", {{kUpsFin, 500}, {kUpsVin1, 2300}}},
        {0x01, "01 00 01 00 01", {{kUpsB7, 1}, {kUpsB6, 0}, {kUpsB5, 1}, {kUpsB4, 1}}},
        // Status bytes are kept as sent, not reduced to 0 or 1.
        {0x01, "02 FF 00 07 80", {{kUpsB7, 2}, {kUpsB6, 255}, {kUpsB5, 0}, {kUpsB4, 128}}},
        {0x06, "64", {{kUpsPbatt, 1000}}},
        {0x07, "23 DC 00", {{kUpsPout, 350}, {kUpsVbatt, 2200}}},
        {0x07, "FF FF FF", {{kUpsPout, 2550}, {kUpsVbatt, 655350}}},
        {0x38, "01 00 01 00 01", {{kUpsB3, 1}, {kUpsB2, 0}, {kUpsB1, 1}, {kUpsB0, 1}}},
        {0x3A, "05 E6 00", {{kUpsV1, 50}, {kUpsV2, 2300}}},
        {0x41, "01 00 00 00", {{kUpsStatus, 1}}},
        {0x41, "00 01 01 01", {{kUpsStatus, 14}}},
        {0x41, "01 01 01 01", {{kUpsStatus, 15}}},
        {0x41, "03 00 00 00", {{kUpsStatus, 3}}},
        {0x41, "80 80 00 00", {{kUpsStatus, 128}}},
        {0x42, "00 00 E8 03 04 32 50 E6 00",
         {{kUpsV3, 10000}, {kUpsAout, 40}, {kUpsFout, 500}, {kUpsV4, 80}, {kUpsVout, 2300}}},
    };
    for (const Case& c : cases) {
        CSMUpsEdxRt6 h;
        const Bytes b = qxsim::EdxUps::Block((uint8_t)c.id, HexBytes(c.data));
        const uint8_t* flag = CSMUpsEdxRt6::EdxChk(b.data(), (int)b.size(), c.id);
        ASSERT_NE(nullptr, flag) << qxtest::Hex(b);
        h.EdxTake(c.id, flag);
        ExpectFields(h, c.fields, qxtest::Hex(b));
    }
}

// ---------------------------------------------------------------- polls

TEST(EdxPoll, AllBlocksDecodeAndTheIdentityIsWritten) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, kAtRest, "at rest");
    EXPECT_EQ("EATON", Text(r.h, kUpsCompany));
    EXPECT_EQ("EDXRT", Text(r.h, kUpsMode));
    EXPECT_EQ("1000XL", Text(r.h, kUpsVersion));
    EXPECT_EQ(1, r.h.DataVal(34));
    EXPECT_EQ(0, r.h.DataVal(35));
    EXPECT_EQ(8, r.ch.Purges());
}

TEST(EdxPoll, EveryCompletePollCarriesTheIdentity) {
    // The record is cleared at the start of each poll: the texts must come back each time.
    Rig r;
    for (int poll = 1; poll <= 3; poll++) {
        ASSERT_EQ(1, r.Poll()) << poll;
        EXPECT_EQ("EATON", Text(r.h, kUpsCompany)) << poll;
        EXPECT_EQ("EDXRT", Text(r.h, kUpsMode)) << poll;
        EXPECT_EQ("1000XL", Text(r.h, kUpsVersion)) << poll;
    }
    // A broken poll has none; the next complete one has them again.
    r.dev.SetSilent(true);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ("", Text(r.h, kUpsCompany));
    r.dev.SetSilent(false);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("EATON", Text(r.h, kUpsCompany));
}

TEST(EdxPoll, WaitsPerExchange) {
    struct Case {
        int wait;
        int slept;
    } cases[] = {{0, 100}, {100, 100}, {101, 101}, {250, 250}, {-5, 100}};
    for (const Case& c : cases) {
        Rig r;
        ASSERT_EQ(1, r.Poll(1, c.wait)) << c.wait;
        EXPECT_EQ(std::vector<int>(8, c.slept), g_sleeps) << c.wait;
    }
}

TEST(EdxPoll, AFailedBlockEndsThePollKeepingTheBlocksBeforeIt) {
    // The fourth exchange (0x31) fails: 0x01, 0x06 and 0x07 keep their new values, the rest
    // stay cleared, the previous poll's included, and nothing more is asked.
    using F = qxsim::EdxFault;
    struct Case {
        F fault;
        std::function<Bytes(const Bytes&)> tamper;
        const char* what;
    } cases[] = {
        {F::Silence, nullptr, "silence"},
        {F::WrongId, nullptr, "another identifier"},
        {F::BadXor, nullptr, "wrong XOR"},
        {F::Longer, nullptr, "a byte longer than n says"},
        {F::Shorter, nullptr, "a byte shorter than n says"},
        {F::Trailing, nullptr, "a valid block and one byte more"},
        {F::None, [](const Bytes& b) { return Bytes(b.begin(), b.end() - 1); }, "one byte less"},
        {F::TooShort, nullptr, "valid but too short for its decoding"},
        {F::None, [](const Bytes&) { return HexBytes("5A A5 13 37 00 FF 42"); }, "garbage"},
        {F::None, [](const Bytes& b) { return Bytes(b.begin(), b.begin() + 4); }, "cut short"},
        {F::None, [](const Bytes&) { return HexBytes("84"); }, "a flag alone"},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_EQ(1, r.Poll()) << c.what;
        const size_t before = r.ch.Written().size();
        for (int i = 0; i < 3; i++) r.dev.FaultOnce(F::None);
        r.dev.FaultOnce(c.fault);
        r.exchanges = 0;
        r.at = 3;
        r.tamper = c.tamper;
        r.dev.SetData(0x06, {90});
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(before + 4, r.ch.Written().size()) << c.what;
        ExpectFields(r.h,
                     {{kUpsB7, 1}, {kUpsPbatt, 900}, {kUpsPout, 350}, {kUpsVbatt, 2200},
                      {kUpsFin, 0}, {kUpsVin1, 0}, {kUpsStatus, 0}, {kUpsVout, 0}, {kUpsV4, 0}},
                     c.what);
        EXPECT_EQ("", Text(r.h, kUpsCompany)) << c.what;
    }
}

TEST(EdxPoll, SilenceOrGarbageAtAnyExchangeFailsThePoll) {
    const std::function<Bytes(const Bytes&)> kinds[] = {
        [](const Bytes&) { return Bytes(); },
        [](const Bytes&) { return HexBytes("FF 13 00 84 04 31"); },
    };
    for (int at = 0; at < 8; at++) {
        for (const auto& kind : kinds) {
            Rig r;
            r.at = (size_t)at;
            r.tamper = kind;
            EXPECT_EQ(0, r.Poll()) << at;
            EXPECT_EQ((size_t)at + 1, r.ch.Written().size()) << at;
            EXPECT_EQ(0, r.h.DataVal(34)) << at;
        }
    }
}

TEST(EdxPoll, LeadingAcknowledgementAndSplitBlocksAreTaken) {
    {
        Rig r;
        r.dev.SetFault(qxsim::EdxFault::Ack);
        ASSERT_EQ(1, r.Poll());
        ExpectFields(r.h, kAtRest, "with 06");
    }
    // Every block in pieces: the acknowledgement alone, the flag alone, then the rest in two.
    Rig r;
    qxsim::EdxUps model;
    for (int id : kIdOrder) {
        Bytes b = model.Answer(qxsim::EdxUps::Request((uint8_t)id));
        const size_t half = 2 + (b.size() - 2) / 2;
        r.ch.ReplyChunks({{0x06}, {b[0]}, Bytes(b.begin() + 1, b.begin() + half),
                          Bytes(b.begin() + half, b.end())});
    }
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, kAtRest, "split");
}

TEST(EdxPoll, EveryByteThatArrivesCountsAgainstTheBlock) {
    // A block is gathered to the length it announces, its pieces joined, and a byte right
    // after it, in the block's read or a later one, is counted against it.
    qxsim::EdxUps model;
    const Bytes b = model.Answer(qxsim::EdxUps::Request(0x01));
    struct Case {
        std::vector<Bytes> pieces;
        int result;
        const char* what;
    } cases[] = {
        {{b}, 1, "the block alone"},
        {{b, {0x99}}, 0, "a byte more in a later read"},
        {{Bytes(b.begin(), b.begin() + 3), Bytes(b.begin() + 3, b.end()), {0x00}}, 0,
         "a byte more after a split block"},
    };
    for (const Case& c : cases) {
        Rig r;
        r.ch.ReplyChunks(c.pieces);
        for (int i = 1; i < 8; i++)
            r.ch.Reply(model.Answer(qxsim::EdxUps::Request((uint8_t)kIdOrder[i])));
        EXPECT_EQ(c.result, r.Poll()) << c.what;
        EXPECT_EQ(c.result ? 8u : 1u, r.ch.Written().size()) << c.what;
    }
    // A block that announces more than the 16 bytes read for it: reading ends with the 16th,
    // without a look after it, and what follows is not read for this block.
    Rig r;
    Bytes big = HexBytes("06 84 0F");
    big.insert(big.end(), 13, 0x11);
    r.ch.ReplyChunks({big, Bytes(3, 0x22)});
    EXPECT_EQ(0, r.Poll());
    int asked = 0;
    for (int n : r.ch.ReadLengths()) asked += n;
    EXPECT_EQ(16, asked);
    EXPECT_EQ(3u, r.ch.Pending());
}

TEST(EdxPoll, EachBlockIsReadToItsLengthAndLookedAfterOnceBriefly) {
    // Per exchange: the flag and the length byte, the rest of the block, then one read of one
    // byte whose time-out is five characters of the line. No read after a whole block waits
    // for the line to fall silent.
    struct Case {
        const char* note;
        int lookMs;
    } cases[] = {{"ttyS1:9600,N,8,1", 6}, {"ttyS2:2400,E,8,1", 23}};
    qxsim::EdxUps model;
    for (const Case& c : cases) {
        Rig r;
        r.ch.SetNote(c.note);
        ASSERT_EQ(1, r.Poll()) << c.note;
        std::vector<int> lengths, timeouts;
        for (int id : kIdOrder) {
            const int size = (int)model.Answer(qxsim::EdxUps::Request((uint8_t)id)).size();
            lengths.insert(lengths.end(), {2, size - 2, 1});
            timeouts.insert(timeouts.end(), {0, 0, c.lookMs});
        }
        EXPECT_EQ(lengths, r.ch.ReadLengths()) << c.note;
        EXPECT_EQ(timeouts, r.ch.ReadTimeouts()) << c.note;
    }
}

TEST(EdxPoll, OnANetworkLinkNoReadFollowsTheBlock) {
    // A network link drops itself on a read that finds nothing, so the block is read to its
    // length and no further; a byte after it stays until the next request's purge.
    qxsim::EdxUps model;
    Rig r;
    r.ch.SetType(0x200001);
    r.ch.SetSilentRead(-1);
    Bytes first = model.Answer(qxsim::EdxUps::Request(0x01));
    first.push_back(0x99);
    r.ch.Reply(first);
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, kAtRest, "network");
    std::vector<int> lengths;
    for (int id : kIdOrder) {
        const int size = (int)model.Answer(qxsim::EdxUps::Request((uint8_t)id)).size();
        lengths.insert(lengths.end(), {2, size - 2});
    }
    EXPECT_EQ(lengths, r.ch.ReadLengths());
    EXPECT_EQ(8, r.ch.Purges());
}

TEST(EdxPoll, NoChannelOrAClosedOneSendsNothing) {
    CSMUpsEdxRt6 h;
    EXPECT_EQ(0, h.DataGet(nullptr, 1, 0));
    Rig r;
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(EdxPoll, AShortWriteEndsThePoll) {
    Rig r;
    r.ch.ShortWrite(5);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());
}

TEST(EdxCommand, NothingIsSentSoNothingSucceeds) {
    Rig r;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(1, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 1, nullptr, 0));
    EXPECT_TRUE(r.ch.Written().empty());
}

// ---------------------------------------------------------------- registration and texts

TEST(EdxDb, TypeAndTwentyOneRows) {
    TestDb db;
    CSMUpsEdxRt6 h;
    EXPECT_EQ(0x308, h.GetType());
    EXPECT_STREQ("QX-UPSEDXRT6", h.GetNote());
    EXPECT_EQ(35, h.DataSize());
    h.RegDb(&db, 0);
    EXPECT_EQ(768, db.Int("select Kind from tbSMType where Type=776"));
    EXPECT_EQ("UPS QX-UPSEDXRT6", db.Str("select Name from tbSMType where Type=776"));
    EXPECT_EQ("APC UPS Smart...", db.Str("select Note from tbSMType where Type=776"));
    EXPECT_EQ(21, db.Int("select count(*) from tbSMDef where Type=776"));
    const char* names[] = {"Vin1", "Fin", "Vout", "Aout", "Fout", "Pout", "status", "B7", "B6",
                           "B5", "B4", "B3", "B2", "B1", "B0", "Vbatt", "Pbatt", "v1", "v2",
                           "v3", "v4"};
    const int flds[] = {1, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 27, 28, 29, 30};
    for (int i = 0; i < 21; i++) {
        EXPECT_EQ(names[i], db.Str("select FldName from tbSMDef where Type=776 and Fld=" +
                                   std::to_string(flds[i])));
    }
    EXPECT_EQ(10, db.Int("select Ratio from tbSMDef where Type=776 and Fld=10"));
    EXPECT_EQ(2450, db.Int("select HiLmt from tbSMDef where Type=776 and Fld=19"));
    EXPECT_EQ(Hex("1表示市电正常"), Hex(db.Str("select LoText from tbSMDef where Type=776 and Fld=11")));
    EXPECT_EQ(Hex("UPS输状态"), Hex(db.Str("select Note from tbSMDef where Type=776 and Fld=14")));
    EXPECT_EQ(8, db.Int("select count(*) from tbSMDef where Type=776 and Ratio=1"));
}

TEST(EdxTexts, DisplayKeysAreTheDefaultUpsOnes) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    struct Case {
        const char* key;
        const char* text;
    } cases[] = {{".Vin", "230.0"}, {".Pout", "35.0"}, {".company", "EATON"},
                 {".version", "1000XL"}, {".status", "1"}, {".nothing", nullptr}};
    for (const Case& c : cases) {
        char text[64];
        snprintf(text, sizeof text, "%s", c.key);
        int n = r.h.VarEval(text);
        if (!c.text) {
            EXPECT_EQ(-1, n) << c.key;
            continue;
        }
        EXPECT_STREQ(c.text, text) << c.key;
    }
}

TEST(EdxDb, SummaryShowsTheLoadInWholePercent) {
    // The load is stored in tenths (divisor 10) and summarised in whole percent.
    struct Case {
        uint8_t load;
        const char* brief;
    } cases[] = {
        {35, "输入电压:230.0V, 输出电压:230.0V, 输出负载:35%"},
        {0, "输入电压:230.0V, 输出电压:230.0V, 输出负载:0%"},
        {255, "输入电压:230.0V, 输出电压:230.0V, 输出负载:255%"},
    };
    for (const Case& c : cases) {
        Rig r;
        TestDb db, hist;
        r.h.SetDb(&db, 0);
        r.h.SetDb(&hist, 1);
        r.h.RegDb(&db, 0);
        ASSERT_EQ(1, r.h.ChkDb(r.item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(51,776,-1)");
        r.dev.SetData(0x07, {c.load, 220, 0});
        ASSERT_EQ(1, r.Poll()) << (int)c.load;
        int bits[2] = {0, 0};
        ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &hist)) << (int)c.load;
        EXPECT_EQ(Hex(c.brief), Hex(db.Str("select Brief from tbSMBrief where SID=51")));
        EXPECT_EQ(c.load * 10, db.Int("select Pout from tbUps where SID=51")) << (int)c.load;
    }
}
