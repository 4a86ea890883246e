// The shared reply checks and exchanges: a reply is accepted only when every byte the caller
// reads arrived in a frame that checks against the request that was sent.
#include <string.h>

#include <string>
#include <vector>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "ReplyCheck.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TeFrame.h"
#include "YdFrameText.h"
#include "gtest/gtest.h"

using qx::MbFraming;
using qx::ReplyStatus;
using qxtest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;
using qxtest::ScriptChannel;
using qxtest::TextBytes;

// Statuses print by name in failure messages.
namespace qx {
std::ostream& operator<<(std::ostream& os, ReplyStatus s)
{
    return os << ReplyStatusText(s);
}
}  // namespace qx

namespace {

// The frame with its CRC appended, low byte first (the CRC itself is checked against known
// frames in the codec tests).
Bytes WithCrc(const char* hex)
{
    Bytes b = HexBytes(hex);
    uint16_t crc = CBufHelper::crc16(b.data(), (int)b.size());
    b.push_back((uint8_t)crc);
    b.push_back((uint8_t)(crc >> 8));
    return b;
}


// ------------------------------------------------------------------ Modbus RTU
TEST(MbCheckRtu, ReadOfTwoRegisters)
{
    const Bytes req = HexBytes("01 03 00 00 00 02 C4 0B");
    Bytes good = HexBytes("01 03 04 00 FA 01 2C DA 4F");
    Bytes badCrc = good;
    badCrc.back() ^= 1;
    Bytes trailing = good;
    trailing.push_back(0x55);
    struct Case {
        const char* name;
        Bytes reply;
        ReplyStatus status;
        int exception;
    } cases[] = {
        {"good", good, ReplyStatus::Ok, 0},
        {"a stray byte after the frame", trailing, ReplyStatus::Ok, 0},
        {"nothing", Bytes(), ReplyStatus::NoReply, 0},
        {"four bytes", HexBytes("01 03 04 00"), ReplyStatus::Short, 0},
        {"cut in its data", Bytes(good.begin(), good.begin() + 7), ReplyStatus::Short, 0},
        {"bad CRC", badCrc, ReplyStatus::BadCrc, 0},
        {"other address", WithCrc("02 03 04 00 FA 01 2C"), ReplyStatus::BadAddress, 0},
        {"other function", WithCrc("01 04 04 00 FA 01 2C"), ReplyStatus::BadFunction, 0},
        {"exception", HexBytes("01 83 02 C0 F1"), ReplyStatus::Exception, 2},
        {"exception with a bad CRC", HexBytes("01 83 02 C0 F2"), ReplyStatus::BadCrc, 0},
        {"one register instead of two", HexBytes("01 03 02 00 FA 38 07"), ReplyStatus::BadCount, 0},
    };
    for (const Case& c : cases) {
        qx::MbReply r = qx::MbCheckRtu(c.reply.empty() ? nullptr : c.reply.data(), (int)c.reply.size(),
                                       req.data(), (int)req.size());
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.exception, c.exception) << c.name;
        if (r.ok()) {
            EXPECT_EQ(r.frameLen, 9) << c.name;
            EXPECT_EQ(r.dataLen, 4) << c.name;
            EXPECT_EQ(r.Word(0), 250) << c.name;
            EXPECT_EQ(r.Word(1), 300) << c.name;
            EXPECT_EQ(r.Word(2), 0) << c.name << ": beyond the data";
        } else {
            EXPECT_EQ(r.dataLen, 0) << c.name;
        }
    }
}

TEST(MbCheckRtu, WritesCoilsAndOtherFunctions)
{
    struct Case {
        const char* name;
        Bytes request;
        Bytes reply;
        ReplyStatus status;
        int dataLen;
    } cases[] = {
        {"single register echoed", WithCrc("01 06 00 10 00 01"), WithCrc("01 06 00 10 00 01"),
         ReplyStatus::Ok, 4},
        {"single register, other value", WithCrc("01 06 00 10 00 01"), WithCrc("01 06 00 10 00 02"),
         ReplyStatus::BadEcho, 0},
        {"single register, exception", WithCrc("02 06 00 10 00 01"), WithCrc("02 86 03"),
         ReplyStatus::Exception, 0},
        {"multiple registers", WithCrc("01 10 00 01 00 02 04 00 0A 00 0B"),
         HexBytes("01 10 00 01 00 02 10 08"), ReplyStatus::Ok, 4},
        {"multiple registers, other count", WithCrc("01 10 00 01 00 02 04 00 0A 00 0B"),
         WithCrc("01 10 00 01 00 03"), ReplyStatus::BadEcho, 0},
        {"multiple registers, cut", WithCrc("01 10 00 01 00 02 04 00 0A 00 0B"),
         HexBytes("01 10 00 01 00 02 10"), ReplyStatus::Short, 0},
        {"ten coils in two bytes", WithCrc("01 01 00 00 00 0A"), WithCrc("01 01 02 05 01"),
         ReplyStatus::Ok, 2},
        {"ten coils in one byte", WithCrc("01 01 00 00 00 0A"), WithCrc("01 01 01 05"),
         ReplyStatus::BadCount, 0},
        {"report id, taken as it came", WithCrc("01 11"), HexBytes("01 11 03 41 42 FF DD 79"),
         ReplyStatus::Ok, 4},
        {"report id, bad CRC", WithCrc("01 11"), HexBytes("01 11 03 41 42 FF DD 7A"),
         ReplyStatus::BadCrc, 0},
    };
    for (const Case& c : cases) {
        qx::MbReply r = qx::MbCheckRtu(c.reply.data(), (int)c.reply.size(), c.request.data(),
                                       (int)c.request.size());
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.dataLen, c.dataLen) << c.name;
    }
    Bytes coils = WithCrc("01 01 02 05 01");
    Bytes req = WithCrc("01 01 00 00 00 0A");
    qx::MbReply r = qx::MbCheckRtu(coils.data(), (int)coils.size(), req.data(), (int)req.size());
    std::string bits;
    for (int i = 0; i < 16; i++)
        bits += r.Bit(i) ? '1' : '0';
    EXPECT_EQ(bits, "1010000010000000");
}

TEST(MbCheckRtu, RequestsThatCannotBeCheckedAgainst)
{
    Bytes reply = HexBytes("01 03 02 00 FA 38 07");
    Bytes shortRead = HexBytes("01 03 00 00");  // a read request without its count
    EXPECT_EQ(qx::MbCheckRtu(reply.data(), 7, nullptr, 8).status, ReplyStatus::BadArgument);
    EXPECT_EQ(qx::MbCheckRtu(reply.data(), 7, shortRead.data(), 4).status, ReplyStatus::BadArgument);
}

TEST(MbCheckRtu, ByteCountOfADeviceThatAnswersOneBytePerInput)
{
    // Function 2, 10 inputs: the standard reply carries 2 bytes, this device one per input.
    const Bytes req = WithCrc("01 02 00 10 00 0A");
    const Bytes perInput = WithCrc("01 02 0A 01 00 01 00 00 00 00 00 00 01");
    const Bytes standard = WithCrc("01 02 02 05 02");
    struct Case {
        const char* name;
        Bytes reply;
        int dataBytes;
        ReplyStatus status;
    } const cases[] = {
        {"one byte per input, asked so", perInput, 10, ReplyStatus::Ok},
        {"one byte per input, standard asked", perInput, -1, ReplyStatus::BadCount},
        {"standard reply, one per input asked", standard, 10, ReplyStatus::BadCount},
        {"standard reply, standard asked", standard, -1, ReplyStatus::Ok},
        {"one byte per input, cut before its CRC", Bytes(perInput.begin(), perInput.end() - 3), 10,
         ReplyStatus::Short},
        {"exception", WithCrc("01 82 02"), 10, ReplyStatus::Exception},
    };
    for (const Case& c : cases) {
        qx::MbReply r = qx::MbCheckRtu(c.reply.data(), (int)c.reply.size(), req.data(),
                                       (int)req.size(), c.dataBytes);
        EXPECT_EQ(r.status, c.status) << c.name;
        if (r.ok()) {
            EXPECT_EQ(r.dataLen, c.dataBytes < 0 ? 2 : c.dataBytes) << c.name;
        }
    }
    EXPECT_EQ(qx::MbReplyLength(req.data(), (int)req.size(), MbFraming::Rtu, 10), 15);
    EXPECT_EQ(qx::MbReplyLength(req.data(), (int)req.size(), MbFraming::Rtu), 7);
}

// ------------------------------------------------------------------ Modbus TCP
TEST(MbCheckTcp, ReadOfTwoRegisters)
{
    const Bytes req = HexBytes("00 07 00 00 00 06 01 03 00 00 00 02");
    struct Case {
        const char* name;
        const char* reply;
        ReplyStatus status;
        int exception;
    } cases[] = {
        {"good", "00 07 00 00 00 07 01 03 04 00 FA 01 2C", ReplyStatus::Ok, 0},
        {"other transaction", "00 08 00 00 00 07 01 03 04 00 FA 01 2C", ReplyStatus::BadHeader, 0},
        {"protocol 1", "00 07 00 01 00 07 01 03 04 00 FA 01 2C", ReplyStatus::BadHeader, 0},
        {"length beyond what arrived", "00 07 00 00 00 08 01 03 04 00 FA 01 2C", ReplyStatus::Short, 0},
        {"length short of the byte count", "00 07 00 00 00 06 01 03 04 00 FA 01", ReplyStatus::BadCount, 0},
        {"length field 2", "00 07 00 00 00 02 01 03 04", ReplyStatus::BadCount, 0},
        {"other unit", "00 07 00 00 00 07 02 03 04 00 FA 01 2C", ReplyStatus::BadAddress, 0},
        {"other function", "00 07 00 00 00 07 01 04 04 00 FA 01 2C", ReplyStatus::BadFunction, 0},
        {"one register", "00 07 00 00 00 05 01 03 02 00 FA", ReplyStatus::BadCount, 0},
        {"exception", "00 07 00 00 00 03 01 83 02", ReplyStatus::Exception, 2},
        {"eight bytes", "00 07 00 00 00 07 01 03", ReplyStatus::Short, 0},
    };
    for (const Case& c : cases) {
        Bytes reply = HexBytes(c.reply);
        qx::MbReply r = qx::MbCheckTcp(reply.data(), (int)reply.size(), req.data(), (int)req.size());
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.exception, c.exception) << c.name;
        if (r.ok()) {
            EXPECT_EQ(r.Word(0), 250);
            EXPECT_EQ(r.Word(1), 300);
            EXPECT_EQ(r.frameLen, 13);
        }
    }
    // A write of one register: the reply echoes it.
    Bytes wreq = HexBytes("00 09 00 00 00 06 05 06 00 10 00 01");
    Bytes echo = wreq;
    EXPECT_EQ(qx::MbCheckTcp(echo.data(), 12, wreq.data(), 12).status, ReplyStatus::Ok);
    echo[11] = 2;
    EXPECT_EQ(qx::MbCheckTcp(echo.data(), 12, wreq.data(), 12).status, ReplyStatus::BadEcho);
}

// ------------------------------------------------------------------ Modbus exchange
std::vector<int>& g_sleeps = qxtest::Sleeps();
using qxtest::RecordSleep;

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_sleeps.clear();
        qx::SetSleepHook(RecordSleep);
    }
    void TearDown() override { qx::SetSleepHook(nullptr); }
};

TEST_F(Exchange, ModbusRtuRead)
{
    const Bytes good = HexBytes("01 03 04 00 FA 01 2C DA 4F");
    struct Case {
        const char* name;
        std::vector<Bytes> chunks;  // empty: silence
        Bytes stale;                // waiting before the request
        int shortWrite;
        ReplyStatus status;
    } cases[] = {
        {"good", {good}, {}, -1, ReplyStatus::Ok},
        {"split across reads", {HexBytes("01 03"), HexBytes("04 00 FA"), HexBytes("01 2C DA 4F")}, {}, -1,
         ReplyStatus::Ok},
        {"stale bytes are purged first", {good}, HexBytes("01 03 04 00 00"), -1, ReplyStatus::Ok},
        {"exception", {HexBytes("01 83 02 C0 F1")}, {}, -1, ReplyStatus::Exception},
        {"silence", {}, {}, -1, ReplyStatus::NoReply},
        {"short reply", {Bytes(good.begin(), good.begin() + 6)}, {}, -1, ReplyStatus::Short},
        {"bad CRC", {HexBytes("01 03 04 00 FA 01 2C DA 4E")}, {}, -1, ReplyStatus::BadCrc},
        {"short write", {}, {}, 4, ReplyStatus::WriteFailed},
    };
    for (const Case& c : cases) {
        ScriptChannel ch;
        if (!c.stale.empty())
            ch.Inject(c.stale);
        if (c.shortWrite >= 0)
            ch.ShortWrite(c.shortWrite);
        else
            ch.ReplyChunks(c.chunks);
        g_sleeps.clear();
        uint8_t rx[256];
        qx::MbReply r = qx::MbRead(&ch, MbFraming::Rtu, 0, 1, 3, 0, 2, rx, sizeof rx, 50);
        EXPECT_EQ(r.status, c.status) << c.name;
        ASSERT_EQ(ch.Written().size(), 1u) << c.name;
        EXPECT_EQ(Hex(ch.Written()[0]), "01 03 00 00 00 02 C4 0B") << c.name;
        EXPECT_EQ(ch.Purges(), 1) << c.name;
        EXPECT_EQ(g_sleeps, c.shortWrite >= 0 ? std::vector<int>() : std::vector<int>{50}) << c.name;
        if (c.shortWrite < 0) {
            EXPECT_EQ(ch.ReadLengths()[0], 9) << c.name << ": asks for the reply's length";
        }
        if (r.ok()) {
            EXPECT_EQ(r.Word(1), 300) << c.name;
        }
    }
}

TEST_F(Exchange, ModbusTcpReadAndWrite)
{
    ScriptChannel ch;
    ch.SetType(0x200000);
    ch.ReplyChunks({HexBytes("00 07 00 00 00 07 01"), HexBytes("03 04 00 FA 01 2C")});
    uint8_t rx[64];
    qx::MbReply r = qx::MbRead(&ch, MbFraming::Tcp, 0x10007, 1, 3, 0, 2, rx, sizeof rx, 0);
    EXPECT_EQ(r.status, ReplyStatus::Ok);
    EXPECT_EQ(Hex(ch.Written()[0]), "00 07 00 00 00 06 01 03 00 00 00 02");
    EXPECT_EQ(r.Word(0), 250);
    EXPECT_TRUE(g_sleeps.empty());

    // A write through the general exchange: the reply must echo it.
    const Bytes wreq = WithCrc("01 06 00 10 00 01");
    ScriptChannel rtu;
    rtu.Reply(wreq);
    rtu.Reply(WithCrc("01 06 00 10 00 00"));
    EXPECT_EQ(qx::MbExchange(&rtu, MbFraming::Rtu, wreq.data(), (int)wreq.size(), rx, sizeof rx, 0).status,
              ReplyStatus::Ok);
    EXPECT_EQ(qx::MbExchange(&rtu, MbFraming::Rtu, wreq.data(), (int)wreq.size(), rx, sizeof rx, 0).status,
              ReplyStatus::BadEcho);
}

TEST_F(Exchange, ModbusBadArgumentsAndClosedChannel)
{
    ScriptChannel ch;
    uint8_t rx[16];
    const Bytes req = HexBytes("01 03 00 00 00 01 84 0A");
    EXPECT_EQ(qx::MbExchange(nullptr, MbFraming::Rtu, req.data(), 8, rx, 16, 0).status,
              ReplyStatus::BadArgument);
    EXPECT_EQ(qx::MbExchange(&ch, MbFraming::Rtu, nullptr, 8, rx, 16, 0).status, ReplyStatus::BadArgument);
    EXPECT_EQ(qx::MbExchange(&ch, MbFraming::Rtu, req.data(), 8, nullptr, 16, 0).status,
              ReplyStatus::BadArgument);
    EXPECT_TRUE(ch.Written().empty());
    ch.SetOpen(false);
    EXPECT_EQ(qx::MbExchange(&ch, MbFraming::Rtu, req.data(), 8, rx, 16, 0).status,
              ReplyStatus::WriteFailed);
    // A reply longer than the buffer cannot be whole.
    ScriptChannel big;
    big.Reply(HexBytes("01 03 14 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0A 00 00"));
    EXPECT_EQ(qx::MbRead(&big, MbFraming::Rtu, 0, 1, 3, 0, 10, rx, sizeof rx, 0).status,
              ReplyStatus::Short);
}

TEST_F(Exchange, ModbusReadAsksForTheCountGivenAndRefusesAnAddressBeyondOneByte)
{
    ScriptChannel ch;
    ch.Reply(WithCrc("07 02 03 01 00 01"));
    uint8_t rx[32];
    qx::MbReply r = qx::MbRead(&ch, MbFraming::Rtu, 0, 7, 2, 0x11, 3, rx, sizeof rx, 0, 3);
    EXPECT_EQ(r.status, ReplyStatus::Ok);
    EXPECT_EQ(ch.ReadLengths()[0], 8) << "asks for the reply of three data bytes";
    EXPECT_EQ(r.data[2], 1);

    // Unit 256 is not unit 0, nor 257 unit 1: nothing goes out.
    for (int address : {-1, 256, 257, 0x10001}) {
        ScriptChannel idle;
        EXPECT_EQ(qx::MbRead(&idle, MbFraming::Rtu, 0, address, 3, 0, 1, rx, sizeof rx, 0).status,
                  ReplyStatus::AddressTooWide) << address;
        EXPECT_EQ(qx::MbRead(&idle, MbFraming::Tcp, 0, address, 3, 0, 1, rx, sizeof rx, 0).status,
                  ReplyStatus::AddressTooWide) << address;
        EXPECT_TRUE(idle.Written().empty()) << address;
        EXPECT_EQ(idle.Purges(), 0) << address;
    }
    EXPECT_TRUE(qx::AddrFits(0));
    EXPECT_TRUE(qx::AddrFits(255));
}

// ------------------------------------------------------------------ YD/T 1363
std::string Yd(const std::string& head8, const std::string& info)
{
    uint8_t buf[600];
    Bytes raw = HexBytes(info);
    // TE_CmdPack writes the same frame shape as a reply: CID2 stands where RTN is.
    int n = TE_CmdPack(buf, (int)CBufHelper::HexVal(head8.c_str(), 2),
                       (int)CBufHelper::HexVal(head8.c_str() + 4, 2),
                       (int)CBufHelper::HexVal(head8.c_str() + 6, 2),
                       (int)CBufHelper::HexVal(head8.c_str() + 2, 2), raw.data(), (int)raw.size(), '~', '\r');
    return std::string(reinterpret_cast<char*>(buf), (size_t)n);
}

TEST(YdCheck, Replies)
{
    const std::string good = Yd("21012A00", "00FA012C");
    ASSERT_EQ(good, "~21012A00800800FA012CFBDC\r");
    std::string lower = good;
    lower.replace(good.size() - 5, 4, "fbdc");
    std::string lowerInfo = good;
    lowerInfo[16] = 'a';
    std::string badChk = good;
    badChk[good.size() - 2] = 'D';
    std::string badL = good;
    badL[9] = '9';
    std::string noCr = good;
    noCr.back() = '0';
    // A unit sends blanks for a value it does not have: INFO may hold them, no other field.
    const std::string blankInfo = qxtest::YdFrame("21012A00", "00FA 12C");
    std::string blankChk = qxtest::YdFrame("21012A00", "00FA012C");
    blankChk[good.size() - 3] = ' ';
    const std::string blankHead = qxtest::YdFrame("21 12A00", "00FA012C");
    struct Case {
        const char* name;
        std::string reply;
        int need, adr;
        ReplyStatus status;
        int rtn;
    } cases[] = {
        {"good", good, 0, -1, ReplyStatus::Ok, 0},
        {"covers its INFO", good, 13 + 8, -1, ReplyStatus::Ok, 0},
        {"a field past the INFO", good, 13 + 8 + 1, -1, ReplyStatus::NotCovered, 0},
        {"the same ADR", good, 0, 1, ReplyStatus::Ok, 0},
        {"another ADR", good, 0, 2, ReplyStatus::BadAddress, 0},
        {"characters after the CR", good + "~2", 21, -1, ReplyStatus::Ok, 0},
        {"RTN 04", Yd("21012A04", ""), 0, -1, ReplyStatus::ReturnCode, 4},
        {"lower-case CHKSUM", lower, 0, -1, ReplyStatus::BadFrame, -1},
        {"lower-case INFO", lowerInfo, 0, -1, ReplyStatus::BadFrame, -1},
        {"wrong CHKSUM", badChk, 0, -1, ReplyStatus::BadChecksum, -1},
        {"wrong LCHKSUM", badL, 0, -1, ReplyStatus::BadLength, -1},
        {"no EOI", noCr, 0, -1, ReplyStatus::BadFrame, -1},
        {"a blank in the INFO", blankInfo, 21, -1, ReplyStatus::Ok, 0},
        {"a blank in the CHKSUM", blankChk, 0, -1, ReplyStatus::BadFrame, -1},
        {"a blank in the head", blankHead, 0, -1, ReplyStatus::BadFrame, -1},
        {"no SOI", "#" + good.substr(1), 0, -1, ReplyStatus::BadFrame, -1},
        {"seventeen characters", good.substr(0, 17), 0, -1, ReplyStatus::Short, -1},
        {"cut inside the INFO", good.substr(0, 20), 0, -1, ReplyStatus::Short, -1},
        {"nothing", "", 0, -1, ReplyStatus::NoReply, -1},
    };
    for (const Case& c : cases) {
        qx::YdReply r = qx::YdCheck(reinterpret_cast<const uint8_t*>(c.reply.data()), (int)c.reply.size(),
                                    c.need, c.adr);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.rtn, c.rtn) << c.name;
        if (r.ok()) {
            EXPECT_EQ(r.infoLen, 8) << c.name;
            EXPECT_EQ(r.frameLen, 26) << c.name;
            EXPECT_EQ(r.adr, 1) << c.name;
        }
    }
}

TEST(YdCheck, SumsLeftOutForUnitsThatSendThemWrong)
{
    // Only the two sums are left out: the frame, its RTN and the coverage still count.
    const std::string good = Yd("21012A00", "00FA012C");
    std::string badChk = good;
    badChk[good.size() - 2] = 'D';
    std::string badL = good;
    badL[9] = '9';
    struct Case {
        const char* name;
        std::string reply;
        int need;
        ReplyStatus plain, skipped;
    } cases[] = {
        {"good", good, 21, ReplyStatus::Ok, ReplyStatus::Ok},
        {"wrong CHKSUM", badChk, 21, ReplyStatus::BadChecksum, ReplyStatus::Ok},
        {"wrong LCHKSUM", badL, 21, ReplyStatus::BadLength, ReplyStatus::Ok},
        {"wrong CHKSUM, RTN 04", Yd("21012A04", "").substr(0, 13) + "0000\r", 0,
         ReplyStatus::BadChecksum, ReplyStatus::ReturnCode},
        {"wrong CHKSUM, a field past the INFO", badChk, 22, ReplyStatus::BadChecksum,
         ReplyStatus::NotCovered},
        {"no SOI", "#" + good.substr(1), 0, ReplyStatus::BadFrame, ReplyStatus::BadFrame},
        {"lower case", good.substr(0, 16) + "a" + good.substr(17), 0, ReplyStatus::BadFrame,
         ReplyStatus::BadFrame},
        {"no EOI", good.substr(0, good.size() - 1) + "0", 0, ReplyStatus::BadFrame,
         ReplyStatus::BadFrame},
        {"cut inside the INFO", good.substr(0, 20), 0, ReplyStatus::Short, ReplyStatus::Short},
    };
    for (const Case& c : cases) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(c.reply.data());
        EXPECT_EQ(qx::YdCheck(p, (int)c.reply.size(), c.need).status, c.plain) << c.name;
        EXPECT_EQ(qx::YdCheck(p, (int)c.reply.size(), c.need, -1, qx::kYdSkipSums).status, c.skipped)
            << c.name;
    }
}

TEST_F(Exchange, YdKeepInputLeavesOutThePurge)
{
    ScriptChannel ch;
    ch.Reply(TextBytes(Yd("21012A00", "00")));
    uint8_t req[32], rx[64];
    int n = TE_CmdPack(req, 0x21, 0x2A, 0x42, 1, nullptr, 0, '~', '\r');
    EXPECT_TRUE(qx::YdExchange(&ch, req, n, rx, sizeof rx, 0, 15, qx::kYdKeepInput).ok());
    EXPECT_EQ(ch.Purges(), 0);
}

TEST_F(Exchange, YdRequests)
{
    const std::string good = Yd("21012A00", "00FA012C");
    struct Case {
        const char* name;
        std::vector<std::string> chunks;  // empty: silence
        int need;
        int replySize;
        ReplyStatus status;
    } cases[] = {
        {"good", {good}, 21, 512, ReplyStatus::Ok},
        {"split across reads", {good.substr(0, 5), good.substr(5, 12), good.substr(17)}, 21, 512,
         ReplyStatus::Ok},
        {"silence", {}, 0, 512, ReplyStatus::NoReply},
        {"lower-case CHKSUM", {good.substr(0, 21) + "fbdc\r"}, 0, 512, ReplyStatus::BadFrame},
        {"RTN 02", {Yd("21012A02", "")}, 0, 512, ReplyStatus::ReturnCode},
        {"fields beyond the INFO", {good}, 59 + 4, 512, ReplyStatus::NotCovered},
        {"reply buffer too small", {good}, 0, 20, ReplyStatus::Short},
    };
    for (const Case& c : cases) {
        ScriptChannel ch;
        ch.Inject(TextBytes("~stale"));
        std::vector<Bytes> chunks;
        for (const std::string& s : c.chunks)
            chunks.push_back(TextBytes(s));
        ch.ReplyChunks(chunks);
        g_sleeps.clear();
        std::vector<uint8_t> rx((size_t)c.replySize, 0xEE);
        qx::YdReply r = qx::YdRequest(&ch, 0x21, 1, 0x2A, 0x42, nullptr, 0, rx.data(), c.replySize, 200,
                                      c.need);
        EXPECT_EQ(r.status, c.status) << c.name;
        ASSERT_EQ(ch.Written().size(), 1u) << c.name;
        EXPECT_EQ(std::string(ch.Written()[0].begin(), ch.Written()[0].end()), Yd("21012A42", ""))
            << c.name;
        EXPECT_EQ(ch.Purges(), 1) << c.name;
        EXPECT_EQ(g_sleeps, std::vector<int>{200}) << c.name;
        EXPECT_EQ(rx[(size_t)r.received], 0) << c.name << ": terminated after what was read";
        if (r.ok()) {
            EXPECT_EQ(CBufHelper::HexVal(rx.data() + 17, 4), 0x012Cu) << c.name;
        }
    }
}

TEST_F(Exchange, YdRefusals)
{
    ScriptChannel ch;
    uint8_t rx[64];
    std::vector<uint8_t> info(256, 0x11);
    EXPECT_EQ(qx::YdRequest(&ch, 0x21, 1, 0x2A, 0x42, info.data(), 256, rx, sizeof rx, 0, 0).status,
              ReplyStatus::BadArgument);
    EXPECT_TRUE(ch.Written().empty());
    EXPECT_EQ(qx::YdRequest(nullptr, 0x21, 1, 0x2A, 0x42, nullptr, 0, rx, sizeof rx, 0, 0).status,
              ReplyStatus::BadArgument);
    ch.ShortWrite(10);
    EXPECT_EQ(qx::YdRequest(&ch, 0x21, 1, 0x2A, 0x42, nullptr, 0, rx, sizeof rx, 0, 0).status,
              ReplyStatus::WriteFailed);
}

}  // namespace

// YdRequest builds its frame too: an ADR that does not fit its byte sends nothing, 255 is
// the last one sent. Wider fields take wider addresses.
TEST(AddressFit, YdRequestRefusesAnAdrBeyondOneByte)
{
    struct Case {
        int addr;
        bool sent;
    } cases[] = {{0, true}, {1, true}, {255, true}, {256, false}, {65537, false}, {-1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.addr);
        EXPECT_EQ(c.sent, qx::AddrFits(c.addr));
        uint8_t rx[64];
        ScriptChannel ch;
        qx::YdReply y = qx::YdRequest(&ch, 0x21, c.addr, 0x2A, 0x42, nullptr, 0, rx, sizeof rx, 0, 0);
        ASSERT_EQ(c.sent ? 1u : 0u, ch.Written().size());
        if (!c.sent) {
            EXPECT_EQ(ReplyStatus::AddressTooWide, y.status);
            EXPECT_EQ(0, ch.Purges());
        }
    }
    EXPECT_TRUE(qx::AddrFits(65535, 16));
    EXPECT_FALSE(qx::AddrFits(65536, 16));
}

// ------------------------------------------------------------------ vendor byte frames
namespace {
// A frame whose second byte gives its whole length.
int LengthInSecond(const uint8_t* d, int have)
{
    return have < 2 ? 2 : d[1];
}
}  // namespace

TEST_F(Exchange, FrameGatheredToItsLengthAndThenAloneOrDroppedWhereAsked)
{
    const int serial = 0x100001, network = 0x200001;
    const qx::FrameEnd whole = qx::FrameEnd::Whole, alone = qx::FrameEnd::Alone,
                       drop = qx::FrameEnd::Drop;
    std::string seventy;  // 70 bytes more than one look takes
    for (int i = 0; i < 70; i++)
        seventy += "EE ";
    struct Case {
        const char* name;
        int type;
        std::vector<std::string> chunks;
        qx::FrameEnd end;
        int replySize;
        int got;
        std::vector<int> reads;  // the lengths asked; the looks come last
        int looks;               // reads of a few character times
        size_t left;             // bytes still queued after the exchange
        int purges;              // the exchange's own and a network drop's
    } cases[] = {
        {"whole", serial, {"AA 04 01 02"}, whole, 16, 4, {2, 2}, 0, 0, 1},
        {"whole leaves the byte after unread", serial, {"AA 04 01 02 99"}, whole, 16, 4, {2, 2}, 0, 1, 1},
        {"alone, nothing after", serial, {"AA 04 01 02"}, alone, 16, 4, {2, 2, 1}, 1, 0, 1},
        {"alone counts the byte after", serial, {"AA 04 01 02 99"}, alone, 16, 5, {2, 2, 1}, 1, 0, 1},
        {"alone, the byte after in a read of its own", serial, {"AA 04 01 02", "99"}, alone, 16, 5,
         {2, 2, 1}, 1, 0, 1},
        {"alone, split", serial, {"AA", "04 01", "02"}, alone, 16, 4, {2, 1, 2, 1, 1}, 1, 0, 1},
        {"a frame that stays short is read until silent", serial, {"AA 05 01"}, alone, 16, 3,
         {2, 3, 2}, 0, 0, 1},
        {"a frame that fills the buffer", serial, {"AA 04 01 02 99"}, alone, 4, 4, {2, 2}, 0, 1, 1},
        {"a network link", network, {"AA 04 01 02 99"}, alone, 16, 4, {2, 2}, 0, 1, 1},
        {"drop, nothing after", serial, {"AA 04 01 02"}, drop, 16, 4, {2, 2, 64}, 1, 0, 1},
        {"drop takes the bytes after and counts none", serial, {"AA 04 01 02 99 98"}, drop, 16, 4,
         {2, 2, 64}, 1, 0, 1},
        {"drop, the bytes after in a read of their own", serial, {"AA 04 01 02", "99"}, drop, 16, 4,
         {2, 2, 64}, 1, 0, 1},
        {"drop looks on while a look comes back full", serial, {"AA 04 01 02", seventy}, drop, 16,
         4, {2, 2, 64, 64}, 2, 0, 1},
        {"drop after a frame that fills the buffer", serial, {"AA 04 01 02 99"}, drop, 4, 4,
         {2, 2, 64}, 1, 0, 1},
        {"drop, a frame that stays short", serial, {"AA 05 01"}, drop, 16, 3, {2, 3, 2}, 0, 0, 1},
        {"drop on a network link purges", network, {"AA 04 01 02 99"}, drop, 16, 4, {2, 2}, 0, 0, 2},
    };
    const Bytes request = HexBytes("55 01");
    for (const Case& c : cases) {
        ScriptChannel ch;
        ch.SetType(c.type);
        std::vector<Bytes> chunks;
        for (const std::string& h : c.chunks)
            chunks.push_back(HexBytes(h));
        ch.ReplyChunks(chunks);
        uint8_t rx[16] = {};
        EXPECT_EQ(c.got, qx::FrameExchange(&ch, request.data(), 2, rx, c.replySize, 0, LengthInSecond, c.end))
            << c.name;
        EXPECT_EQ(c.reads, ch.ReadLengths()) << c.name;
        std::vector<int> timeouts(c.reads.size(), 0);
        for (int k = 0; k < c.looks; k++)
            timeouts[timeouts.size() - 1 - k] = qx::LineCharsMs(&ch, 5);
        EXPECT_EQ(timeouts, ch.ReadTimeouts()) << c.name;
        EXPECT_EQ(c.left, ch.Pending()) << c.name;
        EXPECT_EQ(c.purges, ch.Purges()) << c.name;
    }
}

// The reading half alone, after a request the caller wrote itself: nothing is purged or
// written before the reads.
TEST_F(Exchange, FrameReadAfterTheCallersOwnWrite)
{
    ScriptChannel ch;
    ch.Inject(HexBytes("AA 03 01 99"));
    uint8_t rx[8] = {};
    EXPECT_EQ(3, qx::FrameRead(&ch, rx, sizeof rx, LengthInSecond, qx::FrameEnd::Drop));
    EXPECT_EQ("AA 03 01", Hex(rx, 3));
    EXPECT_EQ(0u, ch.Pending());
    EXPECT_EQ(0, ch.Purges());
    EXPECT_TRUE(ch.Written().empty());
    EXPECT_EQ(0, qx::FrameRead(&ch, rx, sizeof rx, LengthInSecond, qx::FrameEnd::Drop)) << "silence";
    EXPECT_EQ(-1, qx::FrameRead(nullptr, rx, sizeof rx, LengthInSecond));
    EXPECT_EQ(-1, qx::FrameRead(&ch, rx, sizeof rx, nullptr));
}

TEST(LineCharsMs, CharactersOfElevenBitsAtTheSpeedTheChannelNames)
{
    struct Case {
        const char* note;
        int chars;
        int ms;
    } cases[] = {
        {"ttyS1:9600,N,8,1", 5, 6},     // 55 bits: 5.7 ms
        {"ttyS1:9600,N,8,1", 1, 2},     // 1.1 ms: the least wait
        {"ttyS2:2400,E,8,1", 5, 23},    // 22.9 ms
        {"pts/3:1200,N,8,1", 10, 92},   // 91.7 ms
        {"ttyUSB0:115200,N,8,1", 5, 2}, // 0.5 ms
        {"ttyS1:50,N,8,1", 10, 999},    // 2.2 s: a short read stays below one second
        {"script", 5, 6},               // no speed: the serial channel's 9600
        {"ttyS1:,N,8,1", 5, 6},
        {"ttyS1:0,N,8,1", 5, 6},
        {"pts/3:1200,N,8,1", 0, 10},    // at least one character: 9.2 ms
    };
    for (const Case& c : cases) {
        ScriptChannel ch;
        ch.SetNote(c.note);
        EXPECT_EQ(c.ms, qx::LineCharsMs(&ch, c.chars)) << c.note << " " << c.chars;
    }
    EXPECT_EQ(6, qx::LineCharsMs(nullptr, 5));
}
