// The handler base's request builders and single exchanges, over a scripted channel.
#include <string.h>

#include <string>
#include <vector>

#include "QxPlatform.h"
#include "SMBase.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "YdFrameText.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;
using qxtest::ScriptChannel;
using qxtest::TextBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
using qxtest::RecordSleep;

class SMBaseFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_sleeps.clear();
        qx::SetSleepHook(RecordSleep);
    }
    void TearDown() override { qx::SetSleepHook(nullptr); }

    CSMBase base{0x301};
};

TEST_F(SMBaseFrames, ModbusRequestsAreBuiltInTheCommandBuffer)
{
    EXPECT_EQ(base.ModBusCmd(1, 3, 0, 1), 8);
    EXPECT_EQ(Hex(base.m_cmd, 8), "01 03 00 00 00 01 84 0A");
    EXPECT_EQ(base.ModBusTcpCmd(0x0102, 1, 4, 0x10, 2), 12);
    EXPECT_EQ(Hex(base.m_cmd, 12), "01 02 00 00 00 06 01 04 00 10 00 02");
    // Values are taken as 8 and 16 bits.
    EXPECT_EQ(base.ModBusTcpCmd(0x10005, 0x101, 3, 0x1FFFF, -1), 12);
    EXPECT_EQ(Hex(base.m_cmd, 12), "00 05 00 00 00 06 01 03 FF FF FF FF");
}

TEST_F(SMBaseFrames, GetModBusData)
{
    struct Case {
        const char* name;
        int mode;
        const char* reply;  // nullptr: silence
        int shortWrite;     // >= 0: the write reports this count
        int result;
    } cases[] = {
        {"RTU good", 0, "01 03 02 00 FA 38 07", -1, 7},
        {"RTU four bytes", 0, "01 03 02 00", -1, -1},
        {"RTU bad CRC", 0, "01 03 02 00 FA 38 08", -1, -1},
        // The exchange checks the CRC only; the exception code is for the caller to see.
        {"RTU exception", 0, "01 83 02 C0 F1", -1, 5},
        {"RTU silence", 0, nullptr, -1, -1},
        {"RTU short write", 0, nullptr, 5, -1},
        {"TCP nine bytes, not checked further", 1, "01 02 00 00 00 03 01 04 02", -1, 9},
        {"TCP four bytes", 1, "01 02 00 00", -1, -1},
    };
    for (const Case& c : cases) {
        ScriptChannel ch;
        if (c.shortWrite >= 0)
            ch.ShortWrite(c.shortWrite);
        else if (c.reply)
            ch.Reply(HexBytes(c.reply));
        else
            ch.Silence();
        g_sleeps.clear();
        uint8_t reply[64];
        int r = base.GetModBusData(reply, sizeof reply, &ch, 1, 3, 0, 1, 30, 0x0102, c.mode);
        EXPECT_EQ(r, c.result) << c.name;
        ASSERT_EQ(ch.Written().size(), 1u) << c.name;
        EXPECT_EQ(Hex(ch.Written()[0]), c.mode == 1 ? "01 02 00 00 00 06 01 03 00 00 00 01"
                                                    : "01 03 00 00 00 01 84 0A")
            << c.name;
        // The wait comes between a full write and the read.
        EXPECT_EQ(g_sleeps, c.shortWrite >= 0 ? std::vector<int>() : std::vector<int>{30}) << c.name;
        EXPECT_EQ(ch.Purges(), 0) << c.name;
    }
}

TEST_F(SMBaseFrames, GetModBusDataRefusesBadArguments)
{
    ScriptChannel ch;
    uint8_t reply[16];
    EXPECT_EQ(base.GetModBusData(nullptr, 16, &ch, 1, 3, 0, 1, 0, 0, 0), -1);
    EXPECT_EQ(base.GetModBusData(reply, 0, &ch, 1, 3, 0, 1, 0, 0, 0), -1);
    EXPECT_EQ(base.GetModBusData(reply, 16, nullptr, 1, 3, 0, 1, 0, 0, 0), -1);
    EXPECT_TRUE(ch.Written().empty());
    ch.SetOpen(false);
    EXPECT_EQ(base.GetModBusData(reply, 16, &ch, 1, 3, 0, 1, 0, 0, 0), -1);
}

TEST_F(SMBaseFrames, GetModBusDataReadsNoMoreThanItsBuffer)
{
    ScriptChannel ch;
    ch.Reply(HexBytes("01 03 04 00 FA 01 2C DA 4F"));
    uint8_t reply[8] = {0};
    // Eight bytes of the nine arrive: their last two are not a CRC.
    EXPECT_EQ(base.GetModBusData(reply, sizeof reply, &ch, 1, 3, 0, 2, 0, 0, 0), -1);
    EXPECT_EQ(ch.ReadLengths(), std::vector<int>{8});
}

using qxtest::YdFrame;

TEST_F(SMBaseFrames, GetYdn23Data)
{
    const std::string good = YdFrame("21012A00", "00FA012C");
    ASSERT_EQ(good, "~21012A00800800FA012CFBDC\r");
    std::string lower = good;
    lower.replace(good.size() - 5, 4, "fbdc");
    std::string badChk = good;
    badChk[good.size() - 2] = 'D';
    std::string badL = good;
    badL[9] = '9';
    struct Case {
        const char* name;
        std::string reply;  // empty: silence
        int result;
    } cases[] = {
        {"good", good, (int)good.size()},
        {"RTN is not looked at", YdFrame("21012A04", ""), 18},
        {"lower-case CHKSUM", lower, -1},
        {"wrong CHKSUM", badChk, -1},
        {"wrong LCHKSUM", badL, -1},
        {"ten characters", good.substr(0, 10), -1},
        {"seventeen characters", good.substr(0, 17), -1},
        {"silence", "", -1},
    };
    for (const Case& c : cases) {
        ScriptChannel ch;
        if (c.reply.empty())
            ch.Silence();
        else
            ch.Reply(c.reply);
        g_sleeps.clear();
        uint8_t reply[512];
        int r = base.GetYdn23Data(reply, sizeof reply, &ch, 1, 0x21, 0x2A, 0x42, nullptr, 0, '~',
                                  '\r', 200);
        EXPECT_EQ(r, c.result) << c.name;
        ASSERT_EQ(ch.Written().size(), 1u) << c.name;
        EXPECT_EQ(Hex(ch.Written()[0]), Hex(TextBytes(YdFrame("21012A42", "")))) << c.name;
        EXPECT_EQ(g_sleeps, std::vector<int>{200}) << c.name;
    }
}

TEST_F(SMBaseFrames, GetYdn23DataRequestMustFitTheCommandBuffer)
{
    uint8_t info[24];
    for (int i = 0; i < 24; i++)
        info[i] = (uint8_t)i;
    uint8_t reply[128];

    ScriptChannel ch;
    ch.Reply(YdFrame("20014000", ""));
    // 23 bytes: 64 characters, the whole of m_cmd.
    EXPECT_EQ(base.GetYdn23Data(reply, sizeof reply, &ch, 1, 0x20, 0x40, 0x45, info, 23, '~', '\r', 0),
              18);
    ASSERT_EQ(ch.Written().size(), 1u);
    EXPECT_EQ(ch.Written()[0].size(), 64u);
    EXPECT_EQ(ch.Written()[0].back(), '\r');

    // 24 bytes would not fit: nothing is sent.
    ScriptChannel ch2;
    EXPECT_EQ(base.GetYdn23Data(reply, sizeof reply, &ch2, 1, 0x20, 0x40, 0x45, info, 24, '~', '\r', 0),
              -1);
    EXPECT_TRUE(ch2.Written().empty());

    // A null INFO is none, whatever its length says.
    ScriptChannel ch3;
    ch3.Reply(YdFrame("20014000", ""));
    EXPECT_EQ(base.GetYdn23Data(reply, sizeof reply, &ch3, 1, 0x20, 0x40, 0x4F, nullptr, 40, '~', '\r', 0),
              18);
    EXPECT_EQ(std::string(ch3.Written()[0].begin(), ch3.Written()[0].end()), "~2001404F0000FD9F\r");

    EXPECT_EQ(base.GetYdn23Data(nullptr, 16, &ch3, 1, 0x20, 0x40, 0x4F, nullptr, 0, '~', '\r', 0), -1);
    EXPECT_EQ(base.GetYdn23Data(reply, 16, nullptr, 1, 0x20, 0x40, 0x4F, nullptr, 0, '~', '\r', 0), -1);
    ScriptChannel shortWrite;
    shortWrite.ShortWrite(3);
    EXPECT_EQ(base.GetYdn23Data(reply, 16, &shortWrite, 1, 0x20, 0x40, 0x4F, nullptr, 0, '~', '\r', 0),
              -1);
}

}  // namespace
