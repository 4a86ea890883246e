// The DO alarm output: its switch requests through the board layer on the channel's
// descriptor (the stand-in GPIO device records them), the state byte it reads and the tbDio
// rows it writes.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "QxGpio.h"
#include "TestRig.h"
#include "io/SMAlmDo.h"

namespace {

// The GPIO channel as the handler sees it: its descriptor is the stand-in device's, a read
// gives the byte set by the test or fails.
class GpioChannel : public qxtest::ScriptChannel {
public:
    int fd = -1;
    int readResult = 1;
    uint8_t level = 0;
    int GetHandle() override { return fd; }
    int Read(unsigned char* buf, int len, int) override {
        if (readResult < 1 || len < 1) return readResult;
        buf[0] = level;
        return 1;
    }
};

struct AlmDo : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/qxalmdo.XXXXXX";
        int tmp = mkstemp(tmpl);
        ASSERT_GE(tmp, 0);
        close(tmp);
        path = tmpl;
        ASSERT_TRUE(qxgpio::SimCreate(path.c_str()));
        ch.fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(ch.fd, 0);
        item.Name("DO").Addr(0).Ser(&ch);
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        ASSERT_EQ(1, h.ChkDb(item));
        h.DoItem(item, 0);
    }
    void TearDown() override {
        if (ch.fd >= 0) close(ch.fd);
        unlink(path.c_str());
    }
    qxgpio::SimImage Image() {
        qxgpio::SimImage image;
        EXPECT_TRUE(qxgpio::SimLoad(path.c_str(), &image));
        return image;
    }
    // "request/line" of every request the device saw.
    std::string Requests() {
        qxgpio::SimImage image = Image();
        std::string s;
        for (uint32_t i = 0; i < image.requests && i < (uint32_t)qxgpio::kSimLog; i++)
            s += (i ? "," : "") + std::to_string(image.log[i][0]) + "/" + std::to_string(image.log[i][1]);
        return s;
    }

    std::string path;
    GpioChannel ch;
    qxhost::PointItem item{5, 0xA02};
    TestDb db, hist;
    CSMAlmDo h;
};

TEST_F(AlmDo, SwitchRequestsByExt1) {
    struct Case {
        int cmd, ext1;
        int result;
        const char* requests;
    } cases[] = {
        {11, 3, 1, "1/17"}, {11, 2, 1, "1/17"}, {11, 1, 1, "1/1"}, {11, 0, 1, "1/0"},
        {11, -1, 1, "1/0"}, {10, 3, 1, "0/17"}, {12, 3, 0, ""},    {9, 1, 0, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(qxgpio::SimCreate(path.c_str()));
        item.Ext(c.ext1, 0);
        EXPECT_EQ(c.result, h.DoFunc(c.cmd, nullptr, 0)) << c.cmd << " " << c.ext1;
        EXPECT_EQ(c.requests, Requests()) << c.cmd << " " << c.ext1;
    }
    // Without a current point: line 0.
    ASSERT_TRUE(qxgpio::SimCreate(path.c_str()));
    h.DoItem(nullptr, 0);
    EXPECT_EQ(1, h.DoFunc(&ch, 0, 11, nullptr, 0));
    EXPECT_EQ("1/0", Requests());
    EXPECT_EQ(1, Image().level[0]);
}

TEST_F(AlmDo, FailedRequestsAnswerZero) {
    qxgpio::SimImage image = Image();
    image.failRequests = 1;
    ASSERT_TRUE(qxgpio::SimStore(path.c_str(), image));
    EXPECT_EQ(0, h.DoFunc(&ch, 0, 11, nullptr, 0));
    GpioChannel closed;  // no descriptor
    EXPECT_EQ(0, h.DoFunc(&closed, 0, 11, nullptr, 0));
    EXPECT_EQ(0, h.DoFunc(nullptr, 0, 11, nullptr, 0));
}

TEST_F(AlmDo, StateByteAndRows) {
    EXPECT_EQ(1, h.GetMask());
    EXPECT_EQ(nullptr, h.Data());
    EXPECT_EQ("报警输出 QX-ALMDO6", db.Str("select Name from tbSMType where Type=2562"));
    EXPECT_EQ("输出状态", db.Str("select Note from tbSMDef where Type=2562 and Fld=1"));
    db.Run("insert into tbSubSysDetail(SID,Type,State) values(5,2562,-1)");
    db.Run("update tbSMBrief set Brief='x' where SID=5");

    ch.level = 0x5A;
    ASSERT_EQ(1, h.DataGet(&ch, 0, 0));
    EXPECT_EQ(0x5A, h.DataVal(0));
    EXPECT_EQ(0, h.DataVal(1));
    EXPECT_EQ(-1, h.DataVal(2));
    for (int failed : {0, -1}) {
        ch.readResult = failed;
        EXPECT_EQ(0, h.DataGet(&ch, 0, 0)) << failed;
        EXPECT_EQ(0x5A, h.DataVal(0));
    }
    int bits[1] = {0};
    ASSERT_EQ(1, h.DataUpd(0, bits, nullptr, -1, &hist));
    ASSERT_EQ(1, h.DataUpd(0, nullptr, nullptr, -1, &hist));
    EXPECT_EQ("2|90|0", db.Str("select State||'|'||Dio||'|'||D08 from tbDio where SID=5"));
    EXPECT_EQ("0|90,2|90", hist.Str("select group_concat(State||'|'||Dio) from tbDio where SID=5"));
    EXPECT_EQ(-1, db.Int("select State from tbSubSysDetail where SID=5")) << "no state rows";
    EXPECT_EQ("x", db.Str("select Brief from tbSMBrief where SID=5")) << "no summary";
}

}  // namespace
