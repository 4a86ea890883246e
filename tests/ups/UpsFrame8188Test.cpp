// The 11-byte 0x81 0x88 request shared by the UPS drivers of that byte protocol.
#include <stdint.h>

#include "ScriptChannel.h"
#include "gtest/gtest.h"
#include "ups/UpsFrame8188.h"

using qxtest::Hex;

namespace {

TEST(Frame8188, BuildsTheRequestWithItsXorCheck)
{
    struct Case {
        uint8_t id;
        uint16_t param, length;
        const char* frame;
    } const cases[] = {
        // 9E block protocol: 64 bytes asked for.
        {0x31, 0, 0x40, "81 88 A1 01 31 03 00 00 40 00 D2"},
        {0x78, 0, 0x40, "81 88 A1 01 78 03 00 00 40 00 9B"},
        // EDX: 18 bytes asked for (0xA1 ^ 0x01 ^ 0x31 ^ 0x03 ^ 0x12 = 0x80).
        {0x31, 0, 0x12, "81 88 A1 01 31 03 00 00 12 00 80"},
        // Both 16-bit fields low byte first, all of their bytes in the check.
        {0x01, 0x1234, 0xABCD, "81 88 A1 01 01 03 34 12 CD AB E2"},
    };
    for (const Case& c : cases) {
        uint8_t buf[16];
        ASSERT_EQ(qx::kFrame8188Len, qx::Frame8188(buf, sizeof buf, c.id, c.param, c.length));
        EXPECT_EQ(c.frame, Hex(buf, qx::kFrame8188Len)) << "id " << (int)c.id;
    }
}

TEST(Frame8188, EveryHeaderByteMayBeGiven)
{
    uint8_t buf[11];
    ASSERT_EQ(11, qx::Frame8188(buf, sizeof buf, 0x82, 0xA2, 0x02, 0x0D, 0x04, 1, 2));
    // Byte 1 stays 0x88; the check covers bytes 2..9 only (0xA2^0x02^0x0D^0x04^0x01^0x02).
    EXPECT_EQ("82 88 A2 02 0D 04 01 00 02 00 AA", Hex(buf, sizeof buf));
}

TEST(Frame8188, RefusesANullOrShortBufferWritingNothing)
{
    uint8_t buf[11] = {0};
    EXPECT_EQ(0, qx::Frame8188(nullptr, 11, 0x31, 0, 0x40));
    EXPECT_EQ(0, qx::Frame8188(buf, 10, 0x31, 0, 0x40));
    for (uint8_t b : buf) EXPECT_EQ(0, b);
}

}  // namespace
