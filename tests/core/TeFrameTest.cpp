// YD/T 1363 frame routines: the character-by-character builder, the LENGTH word, the
// alphabet and checksum tests, and the field readers.
#include <string.h>

#include <string>
#include <vector>

#include "TeFrame.h"
#include "gtest/gtest.h"

namespace {

const uint8_t* U(const std::string& s)
{
    return reinterpret_cast<const uint8_t*>(s.c_str());
}

TEST(TeFrame, CmdPackFrames)
{
    struct Case {
        int ver, cid1, cid2, adr;
        std::vector<uint8_t> info;
        int soi, eoi;
        std::string frame;
    } cases[] = {
        {0x20, 0x40, 0x4F, 1, {}, '~', '\r', "~2001404F0000FD9F\r"},
        {0x21, 0x60, 0x42, 1, {}, '~', '\r', "~210160420000FDB0\r"},
        {0x20, 0x60, 0x45, 1, {0x01, 0x02}, '~', '\r', "~20016045C0040102FCD4\r"},
        {0x20, 0x40, 0x4F, 1, {}, '[', ']', "[2001404F0000FD9F]"},
    };
    for (const Case& c : cases) {
        uint8_t buf[64];
        memset(buf, 'x', sizeof buf);
        int n = TE_CmdPack(buf, c.ver, c.cid1, c.cid2, c.adr, c.info.empty() ? nullptr : c.info.data(),
                           (int)c.info.size(), c.soi, c.eoi);
        ASSERT_EQ(n, (int)c.frame.size()) << c.frame;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), (size_t)n), c.frame);
        EXPECT_EQ(buf[n], 'x') << "no NUL after the frame";
    }
}

TEST(TeFrame, CmdPackRefusals)
{
    uint8_t info[2048] = {0};
    std::vector<uint8_t> buf(5000, 'x');
    EXPECT_EQ(TE_CmdPack(nullptr, 0x20, 0x40, 0x4F, 1, nullptr, 0, '~', '\r'), 0);
    // A null INFO or a negative length is no INFO.
    EXPECT_EQ(TE_CmdPack(buf.data(), 0x20, 0x40, 0x4F, 1, nullptr, 5, '~', '\r'), 18);
    EXPECT_EQ(TE_CmdPack(buf.data(), 0x20, 0x40, 0x4F, 1, info, -4, '~', '\r'), 18);
    // 2047 bytes are the most LENID can count.
    EXPECT_EQ(TE_CmdPack(buf.data(), 0x20, 0x40, 0x4F, 1, info, 2047, '~', '\r'), 18 + 4094);
    buf.assign(buf.size(), 'x');
    EXPECT_EQ(TE_CmdPack(buf.data(), 0x20, 0x40, 0x4F, 1, info, 2048, '~', '\r'), 0);
    EXPECT_EQ(buf[0], 'x');
    // The bounded form: 23 INFO bytes fill 64 characters exactly, 24 do not fit.
    uint8_t cmd[64];
    EXPECT_EQ(TE_CmdPack(cmd, sizeof cmd, 0x20, 0x40, 0x4F, 1, info, 23, '~', '\r'), 64);
    EXPECT_EQ(TE_CmdPack(cmd, sizeof cmd, 0x20, 0x40, 0x4F, 1, info, 24, '~', '\r'), 0);
}

TEST(TeFrame, LengthWord)
{
    struct Case {
        uint16_t lenid, length;
    } cases[] = {
        {0, 0x0000}, {2, 0xE002}, {0x12, 0xD012}, {4, 0xC004}, {0x12C, 0x112C}, {0xFFF, 0x3FFF},
        {0x1002, 0xE002},  // only 12 bits count
    };
    for (const Case& c : cases)
        EXPECT_EQ(TE_GetChkLength(c.lenid), c.length) << c.lenid;
}

TEST(TeFrame, AlphabetAndChecksum)
{
    const std::string good = "~2001404F0000FD9F\r";
    struct Case {
        const char* name;
        std::string frame;
        int pack, sum;
    } cases[] = {
        {"version query", good, 1, 1},
        {"with INFO", "~20016045C0040102FCD4\r", 1, 1},
        {"lower-case CHKSUM", "~2001404F0000fd9f\r", 0, 0},
        {"wrong CHKSUM", "~2001404F0000FD9E\r", 1, 0},
        {"blank inside", "~2001404F 000FD9F\r", 1, 0},
        {"letter beyond F", "~2001404G0000FD9F\r", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TE_GetChkPack(U(c.frame), (int)c.frame.size()), c.pack) << c.name;
        EXPECT_EQ(TE_GetChkSum(U(c.frame), (int)c.frame.size()), c.sum) << c.name;
    }
    EXPECT_EQ(TE_GetChkPack(nullptr, 4), 0);
    EXPECT_EQ(TE_GetChkSum(nullptr, 18), 0);
    EXPECT_EQ(TE_GetChkSum(U(good), 5), 0);
}

TEST(TeFrame, FieldValues)
{
    struct Case {
        const char* text;
        unsigned n;
        uint32_t u8, u16, u32;
    } cases[] = {
        {"1A", 2, 0x1A, 0, 0},
        {"1a", 2, 0x1A, 0, 0},
        {"1 ", 2, 0, 0, 0},
        {"12AB", 4, 0, 0x12AB, 0},
        {"12 B", 4, 0, 0, 0},       // the third character is a blank
        {"1G3F", 4, 0, 0x103F, 0},  // not a digit: counts 0
        {"12345678", 8, 0, 0, 0x12345678},
        {"1234567 ", 8, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(c.text);
        EXPECT_EQ(TE_Ascii2uint8(p, c.n), c.u8) << c.text;
        EXPECT_EQ(TE_Ascii2uint16(p, c.n), c.u16) << c.text;
        EXPECT_EQ(TE_Ascii2uint32(p, c.n), c.u32) << c.text;
    }
    // TE_Ascii2uint8 looks at its two characters only.
    EXPECT_EQ(TE_Ascii2uint8(reinterpret_cast<const uint8_t*>("7F  "), 2), 0x7F);

    struct Float {
        const char* text;
        unsigned n;
        float value;
    } floats[] = {
        {"0000803F", 8, 1.0f},
        {"3333B33F", 8, 1.4f},
        {"000020C0", 8, -2.5f},
        {"0000803F", 7, 0.0f},
        {"0000 03F", 8, 0.0f},
    };
    for (const Float& f : floats) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(f.text);
        EXPECT_EQ(TE_Ascii2float(p, f.n), f.value) << f.text;
        EXPECT_EQ(TE_Ascii2double(p, f.n), (double)f.value) << f.text;
    }
    EXPECT_EQ(TE_Ascii2Hex('b'), 11);
    EXPECT_EQ(TE_Hex2AsciiHigh(0x5C), '5');
    EXPECT_EQ(TE_Hex2AsciiLow(0x5C), 'C');
}

}  // namespace
