// The GPIO channel over the board layer's stand-in, and the USB placeholder.
#include <string>

#include "QxGpio.h"
#include "SerDio.h"
#include "SerManager.h"
#include "SerTestUtil.h"
#include "SerUsb.h"
#include "gtest/gtest.h"

namespace {

struct DioFixture : ::testing::Test {
    void SetUp() override {
        path = dir.Path() + "/gpio";
        ASSERT_TRUE(qxgpio::SimCreate(path.c_str()));
        qxgpio::SimUse(path.c_str());
    }
    void TearDown() override { qxgpio::SimUse(nullptr); }
    qxgpio::SimImage Image() {
        qxgpio::SimImage image;
        EXPECT_TRUE(qxgpio::SimLoad(path.c_str(), &image));
        return image;
    }
    void SetLine(int line, uint16_t level) {
        qxgpio::SimImage image = Image();
        image.level[line] = level;
        ASSERT_TRUE(qxgpio::SimStore(path.c_str(), image));
    }
    void Fail(bool reads, bool requests) {
        qxgpio::SimImage image = Image();
        image.failReads = reads;
        image.failRequests = requests;
        ASSERT_TRUE(qxgpio::SimStore(path.c_str(), image));
    }
    sertest::TempDir dir;
    std::string path;
};

TEST_F(DioFixture, ReadSamplesLine18ThenLine17) {
    CSerDio ch(nullptr);
    ASSERT_EQ(1, ch.Open(nullptr));
    EXPECT_GE(ch.GetHandle(), 0);
    struct Case {
        uint16_t line18, line17;
        int length;
        unsigned char byte0, byte1;  // 0xEE: left alone
    } cases[] = {
        {1, 0, 2, 1, 0},
        {0, 1, 2, 0, 1},
        {1, 1, 1, 1, 0xEE},       // length 1: line 18 only
        {0x0101, 0x0200, 8, 1, 0},  // only the low byte of the value
    };
    for (const Case& c : cases) {
        SetLine(18, c.line18);
        SetLine(17, c.line17);
        unsigned char buf[8] = {0xEE, 0xEE, 0xEE};
        EXPECT_EQ(1, ch.Read(buf, c.length, 0));  // 1, not a byte count
        EXPECT_EQ(c.byte0, buf[0]) << c.length;
        EXPECT_EQ(c.byte1, buf[1]) << c.length;
        EXPECT_EQ(0xEE, buf[2]);
    }
}

TEST_F(DioFixture, WriteMakesOneOutputRequest) {
    CSerDio ch("QXI1:");
    ASSERT_EQ(1, ch.Open(nullptr));
    struct Case {
        unsigned char line, level;
        uint32_t request, deviceLine;
    } cases[] = {
        {1, 1, 1, 1}, {5, 0, 0, 17}, {0, 1, 1, 0}, {0, 0, 0, 0}, {1, 0x80, 1, 1}, {0xFF, 1, 1, 17},
    };
    uint32_t n = 0;
    for (const Case& c : cases) {
        unsigned char buf[2] = {c.line, c.level};
        EXPECT_EQ(0, ch.Write(buf, 2));
        qxgpio::SimImage image = Image();
        ASSERT_EQ(++n, image.requests);
        EXPECT_EQ(c.request, image.log[n - 1][0]) << (int)c.line << "," << (int)c.level;
        EXPECT_EQ(c.deviceLine, image.log[n - 1][1]) << (int)c.line << "," << (int)c.level;
        EXPECT_EQ(c.request, image.level[c.deviceLine]);
    }
    // A buffer without the level byte makes no request.
    unsigned char one[1] = {1};
    EXPECT_EQ(-1, ch.Write(one, 1));
    EXPECT_EQ(-1, ch.Write(nullptr, 2));
    EXPECT_EQ(n, Image().requests);
}

TEST_F(DioFixture, FailedDeviceAccessIsAFailureNotALevel) {
    CSerDio ch(nullptr);
    ASSERT_EQ(1, ch.Open(nullptr));
    SetLine(18, 1);
    Fail(true, false);
    unsigned char buf[2] = {0xEE, 0xEE};
    EXPECT_EQ(-1, ch.Read(buf, 2, 0));
    EXPECT_EQ(0xEE, buf[0]);  // nothing made up
    unsigned char out[2] = {1, 1};
    EXPECT_EQ(0, ch.Write(out, 2));
    Fail(false, true);
    EXPECT_EQ(-1, ch.Write(out, 2));
    EXPECT_EQ(1, ch.Read(buf, 2, 0));
    EXPECT_EQ(1, buf[0]);
    // Room for nothing reads nothing.
    EXPECT_EQ(-1, ch.Read(buf, 0, 0));
    EXPECT_EQ(-1, ch.Read(nullptr, 2, 0));
}

TEST_F(DioFixture, ClosedOrMissingDeviceRefusesEverything) {
    CSerDio ch(nullptr);
    unsigned char buf[2] = {1, 1};
    EXPECT_EQ(0, ch.IsOpened());
    EXPECT_EQ(-1, ch.GetHandle());
    EXPECT_EQ(-1, ch.Read(buf, 2, 0));
    EXPECT_EQ(-1, ch.Write(buf, 2));
    ASSERT_EQ(1, ch.Open(nullptr));
    int fds = sertest::OpenFdCount();
    ASSERT_EQ(1, ch.Open(nullptr));  // again: the old descriptor is given up
    EXPECT_EQ(fds, sertest::OpenFdCount());
    EXPECT_EQ(1, ch.Close());
    EXPECT_EQ(0, ch.IsOpened());
    EXPECT_EQ(-1, ch.Read(buf, 2, 0));
    EXPECT_EQ(1, ch.Close());

    qxgpio::SimUse((dir.Path() + "/absent").c_str());
    EXPECT_EQ(0, ch.Open(nullptr));
    EXPECT_EQ(-1, ch.Write(buf, 2));
}

TEST_F(DioFixture, BaseBehaviourForEverythingElse) {
    CSerDio plain(nullptr);
    EXPECT_EQ(0x800001, plain.GetType());
    EXPECT_STREQ("QXI1:", plain.GetNote());
    CSerDio named("QXI2:board");
    EXPECT_STREQ("QXI2:board", named.GetNote());
    EXPECT_EQ(0x800001, named.GetType());
    EXPECT_EQ(0, named.Purge());
    EXPECT_EQ(1, named.SetDef("QXI3:"));
    EXPECT_STREQ("QXI2:board", named.GetNote());
    EXPECT_EQ(0, named.SetPort(0x800002));
    EXPECT_EQ(0, named.SetBaud(9600));
    EXPECT_EQ(0x800001, named.GetType());
    ASSERT_EQ(1, named.Open("QXI4:"));  // a definition only renames it
    EXPECT_STREQ("QXI4:", named.GetNote());
    unsigned char two[2] = {1, 1};
    EXPECT_EQ(0, named.Write((const unsigned char*)"\x01\x01"));  // the text write, two bytes
    EXPECT_EQ(0, named.Write(two, 2));
}

TEST_F(DioFixture, ManagerSharesOneGpioChannel) {
    CSerManager* m = CSerManager::GetInstance();
    ISerBase* a = m->GetSer("QXI1:first", 0x800005);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(0x800001, a->GetType());
    EXPECT_STREQ("QXI1:first", a->GetNote());
    EXPECT_EQ(a, m->GetSer("QXI1:second", 0x800001));
    EXPECT_EQ(a, m->GetSer(nullptr, 0x800007));
    EXPECT_EQ(1, m->Count());
    ASSERT_EQ(1, a->Open(nullptr));
    EXPECT_GE(a->GetHandle(), 0);  // a real descriptor, for handlers' own requests
    EXPECT_TRUE(qxgpio::Request(a->GetHandle(), qxgpio::REQ_SET, 3));
    EXPECT_EQ(1, Image().level[3]);
    CSerManager::FreeInstance();
}

TEST(SerUsb, OnlyTheBaseBehaviour) {
    CSerUsb usb;
    unsigned char buf[2] = {};
    EXPECT_EQ(0x100001, usb.GetType());
    EXPECT_STREQ("CSerBase", usb.GetNote());
    EXPECT_EQ(0, usb.Open("ttyUSB0:9600,N,8,1"));
    EXPECT_EQ(0, usb.IsOpened());
    EXPECT_EQ(-1, usb.Read(buf, 2, 0));
    EXPECT_EQ(-1, usb.Write(buf, 2));
}

}  // namespace
