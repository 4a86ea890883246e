// Byte codecs: field byte orders, checks, hexadecimal text, bits, code pages, and the Modbus
// and YD/T 1363 builders and frame readers.
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "BufHelper.h"
#include "ScriptChannel.h"
#include "YdFrameText.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;

namespace {

// ------------------------------------------------------------------ byte orders
TEST(BufHelperOrder, WritersPutBytesInTheNamedOrder)
{
    struct Case {
        const char* name;
        void (*write)(uint8_t*);
        const char* bytes;
    } cases[] = {
        {"dwToBuf 1", [](uint8_t* p) { CBufHelper::dwToBuf(p, 1); }, "00 00 00 01"},
        {"dwToBufLH 1", [](uint8_t* p) { CBufHelper::dwToBufLH(p, 1); }, "01 00 00 00"},
        {"dwToBuf", [](uint8_t* p) { CBufHelper::dwToBuf(p, 0x12345678); }, "12 34 56 78"},
        {"dwToBufLH", [](uint8_t* p) { CBufHelper::dwToBufLH(p, 0x12345678); }, "78 56 34 12"},
        {"wdToBuf", [](uint8_t* p) { CBufHelper::wdToBuf(p, 0x1234); }, "12 34"},
        {"wdToBufLH", [](uint8_t* p) { CBufHelper::wdToBufLH(p, 0x1234); }, "34 12"},
        {"fvToBuf 1.0", [](uint8_t* p) { CBufHelper::fvToBuf(p, 1.0f); }, "3F 80 00 00"},
        {"fvToBuf -2.5", [](uint8_t* p) { CBufHelper::fvToBuf(p, -2.5f); }, "C0 20 00 00"},
    };
    for (const Case& c : cases) {
        uint8_t buf[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        c.write(buf);
        size_t n = HexBytes(c.bytes).size();
        EXPECT_EQ(Hex(buf, n), c.bytes) << c.name;
        EXPECT_EQ(buf[n], 0xEE) << c.name << ": wrote past its field";
    }
}

TEST(BufHelperOrder, ReadersTakeBytesInTheNamedOrderAtAnyAlignment)
{
    struct Case {
        const char* bytes;
        uint32_t dw, dwLH;
        uint16_t wd, wdLH;
    } cases[] = {
        {"12 34 56 78", 0x12345678u, 0x78563412u, 0x1234, 0x3412},
        {"34 12 00 00", 0x34120000u, 0x00001234u, 0x3412, 0x1234},
        {"FF FE 80 01", 0xFFFE8001u, 0x0180FEFFu, 0xFFFE, 0xFEFF},
    };
    for (const Case& c : cases) {
        Bytes b = HexBytes(c.bytes);
        uint8_t raw[8];
        memcpy(raw + 1, b.data(), 4);  // odd address
        EXPECT_EQ(CBufHelper::dwFromBuf(raw + 1), c.dw) << c.bytes;
        EXPECT_EQ(CBufHelper::dwFromBufLH(raw + 1), c.dwLH) << c.bytes;
        EXPECT_EQ(CBufHelper::wdFromBuf(raw + 1), c.wd) << c.bytes;
        EXPECT_EQ(CBufHelper::wdFromBufLH(raw + 1), c.wdLH) << c.bytes;
    }
}

TEST(BufHelperOrder, FloatsReadLeastSignificantByteFirst)
{
    struct Case {
        const char* bytes;
        float value;
    } cases[] = {
        {"00 00 80 3F", 1.0f},
        {"00 00 20 C0", -2.5f},
        {"33 33 B3 3F", 1.4f},
        {"00 00 00 00", 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBufHelper::fvFromBuf(HexBytes(c.bytes).data()), c.value) << c.bytes;
    // The writer is most significant byte first: read back it is another number.
    uint8_t b[4];
    CBufHelper::fvToBuf(b, 1.0f);
    EXPECT_NE(CBufHelper::fvFromBuf(b), 1.0f);
}

// ------------------------------------------------------------------ checks
TEST(BufHelperChecks, SumXorAndCrc)
{
    struct Case {
        std::string bytes;
        uint16_t sum;
        uint8_t x;
        uint16_t crc;
    } cases[] = {
        {"31 32", 0x63, 0x03, 0},                          // the characters "1" "2"
        {"01 03 00 00 00 01", 0x05, 0x03, 0x0A84},         // sent as 84 0A
        {"01 03 00 00 00 02", 0x06, 0x00, 0x0BC4},         // sent as C4 0B
        {"31 32 33 34 35 36 37 38 39", 0x1DD, 0x31, 0x4B37},  // "123456789"
        {std::string(2 * 300, 'F'), (uint16_t)(300 * 0xFF), 0x00, 0},  // sum kept to 16 bits
    };
    for (const Case& c : cases) {
        Bytes b = HexBytes(c.bytes);
        EXPECT_EQ(CBufHelper::sum(b.data(), (int)b.size()), c.sum) << c.bytes.substr(0, 20);
        EXPECT_EQ(CBufHelper::Xor(b.data(), (int)b.size()), c.x) << c.bytes.substr(0, 20);
        if (c.crc) {
            EXPECT_EQ(CBufHelper::crc16(b.data(), (int)b.size()), c.crc) << c.bytes;
        }
    }
    uint8_t one = 7;
    EXPECT_EQ(CBufHelper::sum(&one, 0), 0);
    EXPECT_EQ(CBufHelper::sum(&one, -3), 0);
    EXPECT_EQ(CBufHelper::Xor(&one, -1), 0);
}

TEST(BufHelperChecks, CrcCoversFramesLongerThan255Bytes)
{
    // A 256-byte frame: its CRC is not the CRC of its first byte alone.
    Bytes frame(256);
    for (size_t i = 0; i < frame.size(); i++)
        frame[i] = (uint8_t)(i * 7 + 1);
    EXPECT_NE(CBufHelper::crc16(frame.data(), 256), CBufHelper::crc16(frame.data(), 0));
    EXPECT_NE(CBufHelper::crc16(frame.data(), 256), CBufHelper::crc16(frame.data(), 255));
}

// ------------------------------------------------------------------ hexadecimal text
TEST(BufHelperHex, DigitsBothWays)
{
    struct Case {
        char c;
        int value;
    } digits[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'F', 15}, {'a', 10}, {'f', 15},
                  {'G', 0}, {' ', 0}, {'~', 0}, {'\0', 0}};
    for (const Case& d : digits)
        EXPECT_EQ(CBufHelper::ascii2hex((uint8_t)d.c), d.value) << d.c;
    EXPECT_EQ(CBufHelper::hex2asciiHigh(0xAB), 'A');
    EXPECT_EQ(CBufHelper::hex2asciiLow(0xAB), 'B');
    EXPECT_EQ(CBufHelper::hex2asciiHigh(0x0F), '0');
    EXPECT_EQ(CBufHelper::hex2asciiLow(0xFA), 'A');
}

TEST(BufHelperHex, HexVal)
{
    struct Case {
        const char* text;
        int n;
        uint32_t value;
    } cases[] = {
        {"1A", 4, 0x1A},           // stops at the terminator
        {"G1", 2, 0x01},           // a non-digit counts 0
        {"FFFF", 2, 0xFF},         // no more than n characters
        {"ffFF", 4, 0xFFFF},
        {"12345678", 8, 0x12345678},
        {"0000803F", 0, 0},
        {"", 4, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBufHelper::HexVal(c.text, c.n), c.value) << c.text << "/" << c.n;
    EXPECT_EQ(CBufHelper::HexVal((const char*)nullptr, 4), 0u);
}

TEST(BufHelperHex, HexValF)
{
    struct Case {
        const char* text;
        float value;
    } cases[] = {
        {"0000803F", 1.0f},
        {"3333B33F", 1.4f},
        {"000020C0", -2.5f},
        {"0000803F99", 1.0f},  // only eight characters count
        {"00", 0.0f},          // a short text stops at its end
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBufHelper::HexValF(c.text), c.value) << c.text;
}

TEST(BufHelperHex, BufFromStr)
{
    struct Case {
        const char* text;
        int len;
        const char* bytes;
    } cases[] = {
        {"0600100001", 0, "06 00 10 00 01"},
        {"0a0B", 0, "0A 0B"},
        {"0600100001", 4, "06 00"},
        {"123", 0, "12"},       // an odd character is left
        {"12", 10, "12"},       // never past the terminator
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        uint8_t out[16];
        memset(out, 0xEE, sizeof out);
        int n = CBufHelper::BufFromStr(out, c.text, c.len);
        EXPECT_EQ(Hex(out, n), c.bytes) << c.text;
        EXPECT_EQ(out[n], 0xEE) << c.text;
    }
    uint8_t out[4];
    EXPECT_EQ(CBufHelper::BufFromStr(out, nullptr, 0), 0);
    EXPECT_STREQ(CBufHelper::BufToStr(out, 4, ' '), "");
}

TEST(BufHelperHex, AsciiStr2HexStr)
{
    struct Case {
        const char* text;
        int len;
        int result;
        const char* bytes;  // result + 1 bytes: the last is the terminator written
    } cases[] = {
        {"01 AB", 5, 2, "01 AB 00"},
        {"1 2 3", 5, 3, "01 02 03 00"},
        {"7E", 2, 1, "7E 00"},
        {"01 AB", 2, 1, "01 00"},       // only len characters
        {"01  AB", 6, 3, "01 00 AB 00"},  // two spaces skip a byte
        {"", 0, 1, "00 00"},
    };
    for (const Case& c : cases) {
        uint8_t out[16] = {0};
        EXPECT_EQ(CBufHelper::AsciiStr2HexStr(out, c.text, c.len), c.result) << c.text;
        EXPECT_EQ(Hex(out, (size_t)c.result + 1), c.bytes) << c.text;
    }
    uint8_t out[4];
    EXPECT_EQ(CBufHelper::AsciiStr2HexStr(nullptr, "01", 2), -1);
    EXPECT_EQ(CBufHelper::AsciiStr2HexStr(out, nullptr, 2), -1);
}

TEST(BufHelperHex, HexStr2AsciiStr)
{
    struct Case {
        const char* bytes;
        int sep;
        const char* text;
        int result;
    } cases[] = {
        {"01 AB", ' ', "01 AB", 5},
        {"01 AB", 0, "01AB", 4},
        {"01 AB", -1, "01AB", 4},
        {"01 AB 7E", ',', "01,AB,7E", 8},
        {"0F", ' ', "0F", 2},
        {"", ' ', "", 0},
        {"", 0, "", 0},
    };
    for (const Case& c : cases) {
        Bytes b = HexBytes(c.bytes);
        b.reserve(1);  // a real, if empty, buffer
        char out[32];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(CBufHelper::HexStr2AsciiStr(out, b.data(), (int)b.size(), c.sep), c.result)
            << c.bytes;
        EXPECT_STREQ(out, c.text) << c.bytes;
    }
    char out[4];
    uint8_t b = 1;
    EXPECT_EQ(CBufHelper::HexStr2AsciiStr(nullptr, &b, 1, 0), -1);
    EXPECT_EQ(CBufHelper::HexStr2AsciiStr(out, nullptr, 1, 0), -1);
}

TEST(BufHelperBits, GetBitState)
{
    const uint8_t b[2] = {0x05, 0x80};
    struct Case {
        int count, bit, value;
    } cases[] = {
        {2, 0, 1}, {2, 1, 0}, {2, 2, 1}, {2, 15, 1}, {2, 14, 0},
        {1, 9, 0},   // the byte lies beyond the count
        {1, 15, 0},
        {2, 16, 0},
        {2, -1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBufHelper::GetBitState(b, c.count, c.bit), c.value) << c.count << "/" << c.bit;
}

// ------------------------------------------------------------------ code pages
TEST(BufHelperCodePage, GbkAndUcs2BigEndianRoundTrip)
{
    // "中文 A1" in GBK.
    const Bytes gbk = HexBytes("D6 D0 CE C4 20 41 31");
    std::string in(gbk.begin(), gbk.end());
    char ucs[64];
    int n = CBufHelper::conv_code("UCS-2", "GBK", ucs, in.c_str());
    EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(ucs), (size_t)n),
              "4E 2D 65 87 00 20 00 41 00 31");

    // Back: the UCS-2 text holds NUL bytes, so it goes through the converter form.
    iconv_t cd = iconv_open("GBK", "UCS-2BE");
    ASSERT_NE(cd, (iconv_t)-1);
    char back[64];
    int m = CBufHelper::conv_code(cd, back, ucs, n);
    iconv_close(cd);
    EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(back), (size_t)m), Hex(gbk));

    // A text without ASCII has no NUL byte: the name form reads it whole.
    char ucsNoAscii[8] = {0x4E, 0x2D, 0x65, (char)0x87, 0};
    char gb[16];
    int k = CBufHelper::conv_code("GBK", "UCS-2", gb, ucsNoAscii);
    EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(gb), (size_t)k), "D6 D0 CE C4");
}

TEST(BufHelperCodePage, Utf16IsWrittenWithItsMarkBigEndian)
{
    const Bytes gbk = HexBytes("D6 D0 41");  // "中A"
    std::string in(gbk.begin(), gbk.end());
    char out[32];
    int n = CBufHelper::conv_code("UTF-16", "GBK", out, in.c_str());
    EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(out), (size_t)n), "FE FF 4E 2D 00 41");

    struct Case {
        const char* utf16;
        const char* gbk;
    } reads[] = {
        {"FE FF 4E 2D 65 87", "D6 D0 CE C4"},  // mark, big-endian
        {"FF FE 2D 4E 87 65", "D6 D0 CE C4"},  // mark, little-endian
        {"4E 2D 65 87", "D6 D0 CE C4"},        // no mark: big-endian
    };
    for (const Case& c : reads) {
        Bytes u = HexBytes(c.utf16);
        std::string s(u.begin(), u.end());
        char gb[32];
        int m = CBufHelper::conv_code("GBK", "UTF-16", gb, s.c_str());
        EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(gb), (size_t)m), c.gbk) << c.utf16;
    }
}

TEST(BufHelperCodePage, NoConverterCopiesTheInput)
{
    char out[16];
    EXPECT_EQ(CBufHelper::conv_code("NO-SUCH-CODE", "GBK", out, "abc"), 3);
    EXPECT_EQ(std::string(out, 3), "abc");
    EXPECT_EQ(CBufHelper::conv_code((iconv_t)-1, out, "xyz", 2), 2);
    EXPECT_EQ(std::string(out, 2), "xy");
    EXPECT_EQ(CBufHelper::conv_code("UCS-2", "GBK", out, ""), 0);
}

TEST(BufHelperCodePage, AnInvalidSequenceKeepsWhatCameBefore)
{
    const Bytes gbk = HexBytes("41 42 FF");  // FF starts no GBK character
    std::string in(gbk.begin(), gbk.end());
    char out[16];
    int n = CBufHelper::conv_code("UCS-2", "GBK", out, in.c_str());
    EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(out), (size_t)n), "00 41 00 42");
}

// ------------------------------------------------------------------ Modbus builders
TEST(BufHelperModbus, RequestFrames)
{
    struct Case {
        const char* name;
        int fn, reg, count;
        const char* data;  // nullptr: no data
        const char* frame;
    } cases[] = {
        {"read", 3, 0, 1, nullptr, "01 03 00 00 00 01 84 0A"},
        {"read two", 3, 0, 2, nullptr, "01 03 00 00 00 02 C4 0B"},
        {"coils", 15, 0, 10, "FF 03", "01 0F 00 00 00 0A 02 FF 03 E4 C9"},
        {"registers, no data", 16, 0, 5, nullptr, "01 10 00 00 00 00 00 09 50"},
        {"single register", 6, 0x10, 1, "AA BB", "01 06 00 10 00 01 49 CF"},
    };
    for (const Case& c : cases) {
        uint8_t buf[64];
        Bytes data = c.data ? HexBytes(c.data) : Bytes();
        int n = c.fn == 3 ? CBufHelper::ModBusCmd(buf, 1, c.fn, c.reg, c.count)
                          : CBufHelper::ModBusCmdN(buf, 1, c.fn, c.reg, c.count,
                                                   c.data ? data.data() : nullptr);
        EXPECT_EQ(Hex(buf, (size_t)n), c.frame) << c.name;
    }
    EXPECT_EQ(CBufHelper::ModBusCmd(nullptr, 1, 3, 0, 1), 0);
    EXPECT_EQ(CBufHelper::ModBusCmdN(nullptr, 1, 16, 0, 1, nullptr), 0);
}

TEST(BufHelperModbus, WritesThatCannotBeFramedAreRefused)
{
    std::vector<uint8_t> data(600, 0x11);
    std::vector<uint8_t> buf(1024, 0xEE);
    // 128 registers need 256 data bytes: the byte count would not fit its byte.
    EXPECT_EQ(CBufHelper::ModBusCmdN(buf.data(), 1, 16, 0, 128, data.data()), 0);
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(CBufHelper::ModBusCmdN(buf.data(), 1, 16, 0, 127, data.data()), 9 + 254);
    EXPECT_EQ(CBufHelper::ModBusCmdN(buf.data(), 1, 15, 0, 2040, data.data()), 9 + 255);
    EXPECT_EQ(CBufHelper::ModBusCmdN(buf.data(), 1, 15, 0, 2041, data.data()), 0);

    // The bounded form never writes past its buffer.
    uint8_t small[16];
    memset(small, 0xEE, sizeof small);
    EXPECT_EQ(CBufHelper::ModBusCmdN(small, 12, 1, 16, 0, 2, data.data()), 0);
    EXPECT_EQ(small[0], 0xEE);
    EXPECT_EQ(CBufHelper::ModBusCmdN(small, 13, 1, 16, 0, 2, data.data()), 13);
    EXPECT_EQ(small[13], 0xEE);
}

// The register write of modules that send their data with or without a byte count.
TEST(BufHelperModbus, RegisterWritesWithAndWithoutByteCount)
{
    struct Case {
        const char* name;
        int fn, reg, count;
        bool byteCount;
        const char* frame;
    } cases[] = {
        {"function 8, no byte count", 8, 0x40, 1, false, "01 08 00 40 00 01 00 01 99 C8"},
        {"function 16 with byte count", 16, 0, 1, true, "01 10 00 00 00 01 02 00 01 67 90"},
        {"no registers", 16, 0, 0, true, "01 10 00 00 00 00 00 09 50"},
    };
    const uint8_t data[4] = {0x00, 0x01, 0x00, 0x02};
    for (const Case& c : cases) {
        uint8_t buf[64];
        int n = CBufHelper::ModBusRegs(buf, sizeof buf, 1, c.fn, c.reg, c.count, data, c.byteCount);
        EXPECT_EQ(Hex(buf, (size_t)n), c.frame) << c.name;
    }
    // Bounded by the buffer: 28 registers need 65 bytes with the count, 64 without.
    std::vector<uint8_t> big(600, 0x11);
    uint8_t cmd[64];
    EXPECT_EQ(CBufHelper::ModBusRegs(cmd, sizeof cmd, 1, 16, 0, 28, big.data(), true), 0);
    EXPECT_EQ(CBufHelper::ModBusRegs(cmd, sizeof cmd, 1, 8, 0, 28, big.data(), false), 64);
    EXPECT_EQ(CBufHelper::ModBusRegs(cmd, sizeof cmd, 1, 16, 0, 1, nullptr, true), 0);
    EXPECT_EQ(CBufHelper::ModBusRegs(cmd, sizeof cmd, 1, 16, 0, -1, big.data(), true), 0);
    EXPECT_EQ(CBufHelper::ModBusRegs(nullptr, 64, 1, 16, 0, 1, big.data(), true), 0);
}

// ------------------------------------------------------------------ YD/T 1363
std::string Text(const char* p, int n)
{
    return std::string(p, (size_t)n);
}

TEST(BufHelperYd, YdCmdFrames)
{
    struct Case {
        int ver, adr, cid1, cid2;
        const char* info;
        const char* frame;
    } cases[] = {
        {0x20, 1, 0x40, 0x4F, nullptr, "~2001404F0000FD9F\r"},
        {0x21, 1, 0x60, 0x42, nullptr, "~210160420000FDB0\r"},
        {0x00, 1, 0x60, 0x4F, nullptr, "~0001604F0000FD9F\r"},
        {0x20, 1, 0x60, 0x45, "01 02", "~20016045C0040102FCD4\r"},
    };
    for (const Case& c : cases) {
        char buf[64];
        memset(buf, 'x', sizeof buf);
        Bytes info = c.info ? HexBytes(c.info) : Bytes();
        int n = CBufHelper::YdCmd(buf, c.adr, c.cid1, c.cid2, c.ver,
                                  c.info ? info.data() : nullptr, (int)info.size());
        EXPECT_EQ(n, (int)strlen(c.frame)) << c.frame;
        EXPECT_EQ(Text(buf, n), c.frame);
        EXPECT_EQ(buf[n], '\0') << "a NUL follows the CR";
    }
}

TEST(BufHelperYd, YdCmdBoundedFormRefusesWhatDoesNotFit)
{
    uint8_t info[23] = {0};
    char buf[64];
    memset(buf, 'x', sizeof buf);
    // 23 INFO bytes make 64 characters, and the NUL after them does not fit 64 bytes.
    EXPECT_EQ(CBufHelper::YdCmd(buf, sizeof buf, 1, 0x40, 0x4F, 0x20, info, 23), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(CBufHelper::YdCmd(buf, sizeof buf, 1, 0x40, 0x4F, 0x20, info, 22), 62);
    EXPECT_EQ(buf[63], 'x');
}

using qxtest::YdFrame;

TEST(BufHelperYd, YdChk)
{
    const std::string good = "~2001404F0000FD9F\r";
    const std::string big = YdFrame("21016000", std::string(300, 'A'));
    std::string lower = "~21012A00800800FA012CFBDC\r";
    std::string lowerChk = lower;
    lowerChk.replace(lowerChk.size() - 5, 4, "fbdc");
    std::string badL = good;
    badL[9] = '1';  // LENGTH 1000: LCHKSUM 1 with LENID 0
    struct Case {
        const char* name;
        std::string frame;
        int result;
    } cases[] = {
        {"version query", good, 0},
        {"INFO of 300 characters", big, 0},
        {"INFO with data", lower, 0},
        {"lower-case CHKSUM of the right value", lowerChk, 0},
        {"characters after the CR", good + "~20XX", 0},
        {"no CR: the last character stands for it", good.substr(0, 17) + "0", 0},
        {"17 characters", good.substr(0, 17), 1},
        {"no SOI", "!" + good.substr(1), 2},
        {"a non-digit before the CR", "~2001404G0000FD9F\r", 3},
        {"CR early", "~2001404F\r" + std::string(10, '0'), 4},
        {"LENID larger than the frame", YdFrame("20014000", "0102").substr(0, 18) + "\r", 5},
        {"LCHKSUM", badL, 6},
        {"CHKSUM", "~2001404F0000FD9E\r", 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBufHelper::YdChk(c.frame.c_str(), (int)c.frame.size()), c.result) << c.name;
    EXPECT_EQ(CBufHelper::YdChk((const char*)nullptr, 18), 1);
}

TEST(BufHelperYd, FieldReaders)
{
    struct Idx {
        int n, b, flag, at;
    } idx[] = {
        {1, 0, 1, 15}, {3, 1, 0, 23}, {1, 0, 0, 13}, {2, 0, 0, 21}, {2, 3, 1, 17}, {4, 3, 0, 19},
    };
    for (const Idx& c : idx)
        EXPECT_EQ(CBufHelper::YdIdxF(c.n, c.b, c.flag), c.at) << c.n << "," << c.b << "," << c.flag;

    std::string frame = YdFrame("21016000", "0000803F3333B33F");
    const uint8_t* f = reinterpret_cast<const uint8_t*>(frame.c_str());
    EXPECT_EQ(CBufHelper::YdDatLen(f, (int)frame.size()), 16);
    EXPECT_EQ(CBufHelper::YdDatLen(f, 17), -1);
    EXPECT_EQ(CBufHelper::YdDatLen((const uint8_t*)nullptr, 40), -1);
    EXPECT_EQ(CBufHelper::YdDatF(f, 1, 0, 0), 1.0f);
    EXPECT_EQ(CBufHelper::YdDatF(f, 2, 0, 0), 1.4f);
    EXPECT_EQ(CBufHelper::YdDatF(f, (int)frame.size(), 2, 0, 0), 1.4f);
    // The bounded form reads nothing beyond the characters that arrived.
    EXPECT_EQ(CBufHelper::YdDatF(f, 28, 2, 0, 0), 0.0f);
}

}  // namespace
