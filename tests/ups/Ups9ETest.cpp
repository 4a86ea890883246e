// The 9E UPS: the protocol each Variant chooses, the block protocol's exchange (sync, request,
// blocks and their acknowledgements), its decoding, the bounds on blocks and data and what a
// silent or malformed answer leaves; the Modbus path's input flags.
#include <stdint.h>

#include <string>
#include <vector>

#include "ModbusSlave.h"
#include "PointItem.h"
#include "ReplyCheck.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "Ups9EBlock.h"
#include "UpsModbusMaps.h"
#include "gtest/gtest.h"
#include "ups/SMUPS9EModbus.h"

using qxsim::Ups9EBlock;
using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

const uint8_t kIds[9] = {0x31, 0x78, 0x0D, 0x42, 0x30, 0x01, 0x2D, 0x27, 0x02};

qxsim::UpsReadings Readings() {
    qxsim::UpsReadings r;
    r.vin1 = 2301, r.vin2 = 2302, r.vin3 = 2303;
    r.vout = 2311, r.v2 = 2312, r.v3 = 2313;
    r.aout = 121, r.aed = 122, r.v4 = 123;
    r.vbatt = 54, r.fin = 50, r.fout = 49;  // the units of the block protocol
    return r;
}

// A 9E on its block protocol behind a scripted channel (Variant 1).
struct BlockRig {
    BlockRig() : item(61, 0x312) {
        ups.SetReadings(Readings(), 0x81);  // b7 and b0
        ch.SetResponder([this](const Bytes& req) { return ups.Answer(req); });
        item.Name("9E").Port(4).Addr(1).Variant(1).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll() { return h.DataGet(&ch, 1, 0); }
    std::vector<std::string> Sent() const {
        std::vector<std::string> s;
        for (const Bytes& w : ch.Written()) s.push_back(qxtest::Hex(w));
        return s;
    }

    Ups9EBlock ups;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    CSMUPS9EModbus h;
};

}  // namespace

// ---------------------------------------------------------------- which protocol

TEST(Ups9EVariant, VariantOneSpeaksTheBlockProtocolAnyOtherModbus) {
    struct Case {
        bool item;
        int variant;
        const char* first;
    } const cases[] = {
        {true, 1, "16"},
        {true, 0, "01 04 01 01 00 52 21 CB"},
        {true, 2, "01 04 01 01 00 52 21 CB"},
        {false, 0, "01 04 01 01 00 52 21 CB"},  // no current point: Modbus
    };
    for (const Case& c : cases) {
        CSMUPS9EModbus h;
        qxtest::ScriptChannel ch;
        qxhost::PointItem item(61, 0x312);
        item.Variant(c.variant);
        if (c.item) h.DoItem(item, 0);
        EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << c.variant;  // nobody answers
        ASSERT_FALSE(ch.Written().empty());
        EXPECT_EQ(c.first, qxtest::Hex(ch.Written()[0])) << c.variant;
    }
}

// ---------------------------------------------------------------- block protocol

TEST(Ups9EBlock, OneTransactionPerIdentifierEachBlockAcknowledged) {
    BlockRig r;
    // Ten data bytes per block: 0x31 (17 bytes), 0x42 and 0x30 (13) come in two blocks, 0x78
    // (23) in three, the other five in one: 14 blocks.
    r.ups.SetBlockSize(10);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(std::vector<uint8_t>(kIds, kIds + 9), r.ups.Identifiers());
    const std::vector<std::string> sent = r.Sent();
    ASSERT_LE(6u, sent.size());
    EXPECT_EQ("16", sent[0]);
    EXPECT_EQ("81 88 A1 01 31 03 00 00 40 00 D2", sent[1]);
    EXPECT_EQ("06", sent[2]);
    EXPECT_EQ("06", sent[3]);
    EXPECT_EQ("16", sent[4]);
    EXPECT_EQ("81 88 A1 01 78 03 00 00 40 00 9B", sent[5]);
    EXPECT_EQ(9 * 2 + 14, (int)sent.size());
    EXPECT_EQ(14, r.ups.Acks()) << "one after each block";
    // Every read follows a wait of 200 ms: the sync's answer and each block.
    EXPECT_EQ(std::vector<int>(9 + 14, 200), g_sleeps);
}

TEST(Ups9EBlock, Decoding) {
    BlockRig r;
    ASSERT_EQ(1, r.Poll());
    struct Expect {
        int fld, value;
    } const want[] = {
        {kUpsVin1, 2301}, {kUpsVin2, 2302}, {kUpsVin3, 2303}, {kUpsVout, 2311}, {kUpsV2, 2312},
        {kUpsV3, 2313},   {kUpsAout, 121},  {kUpsAed, 122},   {kUpsV4, 123},
        {kUpsVbatt, 540},  // 36 00 at offset 1, times 10
        {kUpsFin, 500},   {kUpsFout, 490},  {kUpsB7, 1},      {kUpsB3, 0},     {kUpsB2, 0},
        {kUpsB1, 0},      {kUpsB0, 1},      {kUpsB6, 0},      {kUpsStatus, 0}, {kUpsPbatt, 0},
        {kUpsMbatt, 0},   {kUpsTem, 0},
    };
    for (const Expect& e : want) EXPECT_EQ(e.value, r.h.DataVal(e.fld)) << "field " << e.fld;

    // A flag is any byte but 0.
    r.ups.SetData(0x2D, HexBytes("00 7F"));
    r.ups.SetData(0x27, HexBytes("00 00 00 00 00 00 80"));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1, r.h.DataVal(kUpsB3));
    EXPECT_EQ(1, r.h.DataVal(kUpsB2));
    EXPECT_EQ(0, r.h.DataVal(kUpsB0));
}

// One transaction as the blocks come: what it joins, what it writes.
TEST(Ups9EBlock, TransactionOfScriptedBlocks) {
    const Bytes kNone;
    // The first block 06 04 02 AA BB, then a byte EE that comes in a read of its own.
    const Bytes kSplit = HexBytes("5B");
    struct Case {
        const char* name;
        std::vector<Bytes> answers;  // to 0x16, to the request, to each 0x06 (empty: silence)
        int result;
        const char* data;           // joined data
        int acks;                   // 0x06 written
    } const cases[] = {
        {"bit 7 in the first block: one final acknowledgement",
         {HexBytes("06"), HexBytes("06 84 03 AA BB CC")}, 3, "AA BB CC", 1},
        {"length nibble 0 in the first block, the data after it",
         {HexBytes("06"), HexBytes("06 04 F0"), HexBytes("84 02 AA BB")}, 2, "AA BB", 2},
        {"the high nibble of the length and bytes beyond the count are no data",
         {HexBytes("06"), HexBytes("06 04 A2 AA BB EE EE"), HexBytes("84 31 CC EE")}, 3,
         "AA BB CC", 2},
        {"a byte after a block in a read of its own is dropped, not taken for the next block",
         {HexBytes("06"), kSplit, HexBytes("84 01 CC")}, 3, "AA BB CC", 2},
        {"the sync's answer beyond its first byte is dropped",
         {HexBytes("06 16 16"), HexBytes("06 84 01 AA")}, 1, "AA", 1},
        {"length nibble 0 with bit 7: no data", {HexBytes("06"), HexBytes("06 84 00")}, 0, "", 1},
        {"a block shorter than its count", {HexBytes("06"), HexBytes("06 84 0F AA BB")}, 0, "", 0},
        {"a block short of its count before a whole one: no data joined out of place",
         {HexBytes("06"), HexBytes("06 04 03 AA BB"), HexBytes("84 02 CC DD")}, 0, "", 0},
        {"no flag and length in the first block", {HexBytes("06"), HexBytes("06 84")}, 0, "", 0},
        {"no flag and length in a later block",
         {HexBytes("06"), HexBytes("06 04 01 AA"), HexBytes("84")}, 0, "", 1},
        {"silent at the sync", {kNone}, 0, "", 0},
        {"silent after the request", {HexBytes("06"), kNone}, 0, "", 0},
        {"silent after an acknowledgement", {HexBytes("06"), HexBytes("06 04 01 AA"), kNone}, 0,
         "", 1},
    };
    for (const Case& c : cases) {
        CSMUPS9EModbus h;
        qxtest::ScriptChannel ch;
        for (const Bytes& a : c.answers) {
            if (a == kSplit) ch.ReplyChunks({HexBytes("06 04 02 AA BB"), HexBytes("EE")});
            else if (a.empty()) ch.Silence();
            else ch.Reply(a);
        }
        uint8_t out[256];
        const int n = h.CmdPack(&ch, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out, sizeof out);
        EXPECT_EQ(c.result, n) << c.name;
        if (n > 0) {
            EXPECT_EQ(c.data, qxtest::Hex(out, (size_t)n)) << c.name;
        }
        int acks = 0;
        for (const Bytes& w : ch.Written()) acks += qxtest::Hex(w) == "06";
        EXPECT_EQ(c.acks, acks) << c.name;
        ASSERT_FALSE(ch.Written().empty());
        EXPECT_EQ("16", qxtest::Hex(ch.Written()[0])) << c.name;
    }
    // Bytes left from an earlier exchange are not taken for this one's answer.
    CSMUPS9EModbus h;
    qxtest::ScriptChannel ch;
    ch.Inject(HexBytes("84 0F 11 22 33"));
    ch.Reply(HexBytes("06"));
    ch.Reply(HexBytes("06 84 01 AA"));
    uint8_t out[256];
    EXPECT_EQ(1, h.CmdPack(&ch, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out, sizeof out));
    EXPECT_EQ(0xAA, out[0]);
}

// No read waits for the line to fall silent: the sync's answer is read to its first byte, a
// block to the length its header announces, and each is followed by one look of a few
// character times whose bytes are dropped.
TEST(Ups9EBlock, EachAnswerReadToItsLengthThenOneShortLook) {
    CSMUPS9EModbus h;
    qxtest::ScriptChannel ch;
    ch.SetNote("ttyS1:2400,N,8,1");
    ch.Reply(HexBytes("06 06"));
    ch.Reply(HexBytes("06 04 02 AA BB 5A"));
    ch.Reply(HexBytes("84 01 CC 7E"));
    uint8_t out[256];
    ASSERT_EQ(3, h.CmdPack(&ch, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out, sizeof out));
    EXPECT_EQ("AA BB CC", qxtest::Hex(out, 3));
    const int look = qx::LineCharsMs(&ch, 5);
    EXPECT_GT(1000, look) << "a short read of the serial channel";
    // sync: its first byte, the look; first block: header, data, look; later block: the same.
    EXPECT_EQ(std::vector<int>({1, 64, 3, 2, 64, 2, 1, 64}), ch.ReadLengths());
    EXPECT_EQ(std::vector<int>({0, look, 0, 0, look, 0, 0, look}), ch.ReadTimeouts());
    EXPECT_EQ(0u, ch.Pending());
    EXPECT_EQ(std::vector<int>(3, 200), g_sleeps) << "the waits before the reads stay";
    g_sleeps.clear();

    // Behind a serial server the look is no read (one without data drops the link): what came
    // after a block is purged, and is not taken for the next block either.
    qxtest::ScriptChannel net;
    net.SetType(0x200001);
    net.Reply(HexBytes("06"));
    net.Reply(HexBytes("06 04 02 AA BB 5A"));
    net.Reply(HexBytes("84 01 CC 7E"));
    ASSERT_EQ(3, h.CmdPack(&net, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out, sizeof out));
    EXPECT_EQ("AA BB CC", qxtest::Hex(out, 3));
    EXPECT_EQ(std::vector<int>({1, 3, 2, 2, 1}), net.ReadLengths());
    EXPECT_EQ(0u, net.Pending());
}

TEST(Ups9EBlock, SilenceAtEachStepEndsThePollAndKeepsTheLastValues) {
    struct Case {
        const char* name;
        Ups9EBlock::Fault fault;
        std::vector<std::string> sent;
    } const cases[] = {
        {"sync", Ups9EBlock::Fault::SilentSync, {"16"}},
        {"request", Ups9EBlock::Fault::SilentFrame, {"16", "81 88 A1 01 31 03 00 00 40 00 D2"}},
        {"second block", Ups9EBlock::Fault::SilentAck,
         {"16", "81 88 A1 01 31 03 00 00 40 00 D2", "06"}},
    };
    for (const Case& c : cases) {
        BlockRig r;
        r.ups.SetBlockSize(8);
        ASSERT_EQ(1, r.Poll()) << c.name;
        qxsim::UpsReadings next = Readings();
        next.vin1 = 2000;
        r.ups.SetReadings(next, 0);
        r.ups.SetFault(c.fault);
        const size_t before = r.ch.Written().size();
        EXPECT_EQ(0, r.Poll()) << c.name;
        std::vector<std::string> sent = r.Sent();
        sent.erase(sent.begin(), sent.begin() + (long)before);
        EXPECT_EQ(c.sent, sent) << c.name;
        EXPECT_EQ(2301, r.h.DataVal(kUpsVin1)) << c.name;
        EXPECT_EQ(1, r.h.DataVal(kUpsB7)) << c.name;
    }
}

TEST(Ups9EBlock, BlocksThatNeverEndAreGivenUp) {
    BlockRig r;
    r.ups.SetFault(Ups9EBlock::Fault::Endless);
    EXPECT_EQ(0, r.Poll());
    // The first transaction only, and a bounded number of acknowledgements in it.
    EXPECT_EQ(std::vector<uint8_t>{0x31}, r.ups.Identifiers());
    EXPECT_GE(16, r.ups.Acks());
    EXPECT_LE(5, r.ups.Acks()) << "64 bytes in blocks of up to 15 are answered";
    EXPECT_EQ(0, r.h.DataVal(kUpsVin1)) << "nothing taken";
}

TEST(Ups9EBlock, LongAndShortBlocks) {
    BlockRig r;
    r.ups.SetBlockSize(6);
    r.ups.SetFault(Ups9EBlock::Fault::LongBlock);
    EXPECT_EQ(1, r.Poll()) << "bytes beyond the count are not data";
    EXPECT_EQ(2303, r.h.DataVal(kUpsVin3));
    EXPECT_EQ(540, r.h.DataVal(kUpsVbatt));
    r.ups.SetFault(Ups9EBlock::Fault::ShortBlock);
    EXPECT_EQ(0, r.Poll()) << "a block short of its count";
    EXPECT_EQ(2303, r.h.DataVal(kUpsVin3)) << "the last poll's value";
}

TEST(Ups9EBlock, ALaterTransactionShortOfItsOffsetsTakesNothingOfAnEarlierOne) {
    BlockRig r;
    ASSERT_EQ(1, r.Poll());
    // 0x0D answers two bytes: the word at offset 1 has not arrived.
    r.ups.SetData(0x0D, HexBytes("00 36"));
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(2301, r.h.DataVal(kUpsVin1)) << "0x31 was decoded";
    EXPECT_EQ(2311, r.h.DataVal(kUpsVout)) << "0x78 was decoded";
    EXPECT_EQ(0, r.h.DataVal(kUpsVbatt)) << "cleared by the first transaction, never stale";
    const std::vector<uint8_t> ids = r.ups.Identifiers();
    ASSERT_LE(9u, ids.size());
    EXPECT_EQ(std::vector<uint8_t>({0x31, 0x78, 0x0D}), std::vector<uint8_t>(ids.begin() + 9, ids.end()));
}

TEST(Ups9EBlock, TransactionStaysInsideItsArea) {
    CSMUPS9EModbus h;
    qxtest::ScriptChannel ch;
    ch.Reply(HexBytes("06"));
    ch.Reply(HexBytes("06 04 0F 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"));
    uint8_t out[12] = {0};
    EXPECT_EQ(0, h.CmdPack(&ch, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out, 10));
    for (int i = 10; i < 12; i++) EXPECT_EQ(0, out[i]);
    EXPECT_EQ(0, h.CmdPack(nullptr, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out, 10));
    EXPECT_EQ(0, h.CmdPack(&ch, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, nullptr, 10));
    // The header bytes given go out as given, the check over bytes 2..9.
    qxtest::ScriptChannel d;
    d.Reply(HexBytes("06"));
    d.Reply(HexBytes("06 84 02 AA BB"));
    EXPECT_EQ(2, h.CmdPack(&d, 0x82, 0xA2, 0x02, 0x0D, 0x04, 1, 2, out, 10));
    EXPECT_EQ("82 88 A2 02 0D 04 01 00 02 00 AA", qxtest::Hex(d.Written()[1]));
    EXPECT_EQ(0xAA, out[0]);
    EXPECT_EQ(0xBB, out[1]);
}

// ---------------------------------------------------------------- Modbus path

TEST(Ups9EModbus, StatusInputs) {
    struct Case {
        const char* in1128;
        std::vector<int> b7to3;
    } const cases[] = {
        {"3D", {1, 1, 1, 1, 1}},  // bits 0, 2, 3, 4, 5
        {"02", {0, 0, 0, 0, 0}},  // bit 1 is no flag of this UPS
        {"01", {1, 0, 0, 0, 0}},
        {"20", {0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        CSMUPS9EModbus h;
        qxsim::ModbusSlave slave(1);
        qxsim::SetUps9E(slave, Readings(), 0);
        qxtest::ScriptChannel ch;
        ch.SetResponder([&](const Bytes& req) { return slave.HandleRtu(req.data(), req.size()).bytes; });
        ch.Reply(slave.HandleRtu(HexBytes("01 04 01 01 00 52 21 CB").data(), 8).bytes);
        Bytes reply = HexBytes(std::string("01 02 01 ") + c.in1128);
        uint16_t crc = qxsim::ModbusSlave::Crc16(reply.data(), reply.size());
        reply.push_back((uint8_t)crc);
        reply.push_back((uint8_t)(crc >> 8));
        ch.Reply(reply);
        ASSERT_EQ(1, h.DataGet(&ch, 1, 0)) << c.in1128;
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(c.b7to3[i], h.DataVal(kUpsB7 + i)) << c.in1128 << " b" << 7 - i;
    }
    // b2 and b0 both come from input 1169, each from its own reply; b1 from 1218.
    CSMUPS9EModbus h;
    qxsim::ModbusSlave slave(1);
    qxsim::SetUps9E(slave, Readings(), 0x06);  // b2 and b1
    qxtest::ScriptChannel ch;
    ch.SetResponder([&](const Bytes& req) { return slave.HandleRtu(req.data(), req.size()).bytes; });
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(1, h.DataVal(kUpsB2));
    EXPECT_EQ(1, h.DataVal(kUpsB1));
    EXPECT_EQ(1, h.DataVal(kUpsB0));
    EXPECT_EQ(1, ch.Purges() - 5) << "a purge before the first request besides the exchanges'";
}
