// The default DIO module through the loaded plug-ins: the GPIO channel of qxSer on the board
// layer's simulated device, the host's SQLite databases. The test sets the input lines and
// reads back tbDio, the per-point state rows and the summary.
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "E2eRig.h"
#include "GbkText.h"
#include "QxGpio.h"
#include "gtest/gtest.h"

namespace {

class DioE2e : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qxdio.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        gpioPath = dir + "/gpio";
        ASSERT_TRUE(qxgpio::SimCreate(gpioPath.c_str()));
        qxgpio::SimUse(gpioPath.c_str());

        ASSERT_NO_FATAL_FAILURE(rig.Load());
        ch = rig.Channel("QXI1:", 0x800000);
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(0x9FF);  // an unlisted code of the category
        ASSERT_NE(nullptr, h);
        item = new qxhost::PointItem(51, 0x9FF);
        item->Name("DI").Port(1).Addr(0).DetailMode(0).Ser(ch);
        ASSERT_EQ(1, h->ChkDb(*item));
        for (int f = 1; f <= 8; f++)
            db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(900," + std::to_string(f) +
                   "," + std::to_string(f) + ",51,-1)");
    }

    void TearDown() override {
        rig.Close();
        qxgpio::SimUse(nullptr);
        delete item;
        unlink(gpioPath.c_str());
        rmdir(dir.c_str());
    }

    void Lines(uint16_t in, uint16_t out, bool failReads = false) {
        qxgpio::SimImage image;
        ASSERT_TRUE(qxgpio::SimLoad(gpioPath.c_str(), &image));
        image.level[18] = in;
        image.level[17] = out;
        image.failReads = failReads;
        ASSERT_TRUE(qxgpio::SimStore(gpioPath.c_str(), image));
    }

    // A poll as the host makes it; alarm word w when it answered.
    int Poll(int flags, int w) {
        h->DoItem(*item, 0);
        int got = h->DataGet(ch, 0, 0);
        int bits[1] = {w};
        EXPECT_EQ(1, h->DataUpd(flags, got ? bits : nullptr, nullptr, -1, &hist));
        return got;
    }
    int Point(int f) {
        return (int)db.Int("select State from tbSubSysDetail where SIDD=51 and Fld=" + std::to_string(f));
    }

    std::string dir, gpioPath;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem* item = nullptr;
};

TEST_F(DioE2e, InputsIntoTbDioAndPointStates) {
    EXPECT_EQ(0x900, h->GetType());
    EXPECT_EQ(10, db.Int("select count(*) from tbSMDef where Type=2304"));

    Lines(0xFE, 0xFE);  // input 1 pulled low, output 1 closed
    ASSERT_EQ(1, Poll(1, 0x1));
    EXPECT_EQ("1|254|1|0|0|1|0", db.Str("select State||'|'||Dio||'|'||D01||'|'||D02||'|'||D08||'|'||"
                                        "D09||'|'||D10 from tbDio where SID=51"));
    EXPECT_EQ(1, Point(1));
    for (int f = 2; f <= 8; f++) EXPECT_EQ(0, Point(f)) << f;
    EXPECT_EQ(Hex(qxtest::Gbk("DI 1:告警 (其他正常)")), Hex(db.Str("select Brief from tbSMBrief where SID=51")));
    EXPECT_EQ(1, db.Int("select St from tbSMBrief where SID=51"));
    char text[32] = ".D1";
    EXPECT_EQ(4, h->VarEval(text));
    EXPECT_EQ(Hex(qxtest::Gbk("告警")), Hex(text));

    Lines(0xFF, 0xFF);  // all released
    ASSERT_EQ(1, Poll(0, 0));
    EXPECT_EQ("0|255|0", db.Str("select State||'|'||Dio||'|'||D01 from tbDio where SID=51"));
    EXPECT_EQ(Hex(qxtest::Gbk("(全部正常)")), Hex(db.Str("select Brief from tbSMBrief where SID=51")));
    EXPECT_EQ(0, Point(1));
    EXPECT_EQ(2, hist.Int("select count(*) from tbDio where SID=51"));
}

TEST_F(DioE2e, AFailingDeviceIsAFault) {
    Lines(0x00, 0x00, true);  // every sample fails
    EXPECT_EQ(0, Poll(0, 0));
    EXPECT_EQ(2, db.Int("select State from tbDio where SID=51"));
    for (int f = 1; f <= 8; f++) EXPECT_EQ(2, Point(f)) << f;
    EXPECT_EQ(Hex(qxtest::Gbk("(故障),通讯中断")), Hex(db.Str("select Brief from tbSMBrief where SID=51")));
    EXPECT_EQ(2, hist.Int("select State from tbDio where SID=51"));
}

TEST_F(DioE2e, StateRowsOfACodeServedByTheDefaultModule) {
    // Point 52 of code 0x9AB, served by the default module (reported type 0x900), with its own
    // row and per-point rows keyed by sid, type and Fld: every row carries the point's Type.
    qxhost::PointItem p(52, 0x9AB);
    p.Name("DI-2").Port(1).Addr(0).ItemDetail(1).DetailMode(2).Ser(ch);
    ASSERT_EQ(h, rig.Handler(0x9AB));
    ASSERT_EQ(1, h->ChkDb(p));
    for (int type : {0x9AB, 0x900}) {
        db.Run("insert into tbSubSysDetail(SID,Type,Fld,State) values(52," + std::to_string(type) + ",NULL,-1)");
        for (int f = 1; f <= 8; f++)
            db.Run("insert into tbSubSysDetail(SID,Type,Fld,State) values(52," + std::to_string(type) + "," +
                   std::to_string(f) + ",-1)");
    }
    auto poll = [&](int flags, int w) {
        h->DoItem(p, 0);
        int got = h->DataGet(ch, 0, 0);
        int bits[1] = {w};
        EXPECT_EQ(1, h->DataUpd(flags, got ? bits : nullptr, nullptr, -1, &hist));
        return got;
    };
    // States of the point's own row and points 1..8 of a type, "own|p1..p8".
    auto states = [&](int type) {
        std::string s = db.Str("select State from tbSubSysDetail where SID=52 and Fld is null and Type=" +
                               std::to_string(type));
        for (int f = 1; f <= 8; f++)
            s += (f == 1 ? "|" : ",") + db.Str("select State from tbSubSysDetail where SID=52 and Type=" +
                                                std::to_string(type) + " and Fld=" + std::to_string(f));
        return s;
    };
    Lines(0xFB, 0xFF);  // input 3 pulled low
    ASSERT_EQ(1, poll(1, 0x4));
    EXPECT_EQ("1|0,0,1,0,0,0,0,0", states(0x9AB));
    Lines(0xFF, 0xFF);
    ASSERT_EQ(1, poll(0, 0));
    EXPECT_EQ("0|0,0,0,0,0,0,0,0", states(0x9AB));
    Lines(0x00, 0x00, true);  // the module stops answering
    EXPECT_EQ(0, poll(0, 0));
    EXPECT_EQ("2|2,2,2,2,2,2,2,2", states(0x9AB));
    EXPECT_EQ("-1|-1,-1,-1,-1,-1,-1,-1,-1", states(0x900)) << "rows of the reported type are not the point's";
}

// The DO alarm output on the same GPIO channel: switched through the board layer on the
// channel's descriptor, so the simulated device sees the requests; its state byte into tbDio.
TEST_F(DioE2e, AlarmOutputSwitchesThroughTheBoardLayer) {
    ISMBase* d = rig.Handler(0xA02);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(Hex(qxtest::Gbk("报警输出 QX-ALMDO6")), Hex(db.Str("select Name from tbSMType where Type=2562")));
    qxhost::PointItem out(53, 0xA02);
    out.Name("DO").Port(1).Addr(0).Ext(3, 0).Ser(ch);
    ASSERT_EQ(1, d->ChkDb(out));
    qxhost::PointItem out0(54, 0xA02);
    out0.Name("DO0").Port(1).Addr(0).Ext(0, 0).Ser(ch);
    ASSERT_EQ(1, d->ChkDb(out0));

    auto requests = [&] {
        qxgpio::SimImage image;
        EXPECT_TRUE(qxgpio::SimLoad(gpioPath.c_str(), &image));
        std::string s;
        for (uint32_t i = 0; i < image.requests && i < (uint32_t)qxgpio::kSimLog; i++)
            s += (i ? "," : "") + std::to_string(image.log[i][0]) + "/" + std::to_string(image.log[i][1]);
        return s;
    };
    d->DoItem(out, 0);
    EXPECT_EQ(1, d->DoFunc(11, nullptr, 0));
    EXPECT_EQ(1, d->DoFunc(10, nullptr, 0));
    EXPECT_EQ(0, d->DoFunc(12, nullptr, 0));
    d->DoItem(out0, 0);
    EXPECT_EQ(1, d->DoFunc(11, nullptr, 0));
    EXPECT_EQ("1/17,0/17,1/0", requests());

    Lines(0xA5, 0xFF);
    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(d, out, ch, bits));
    EXPECT_EQ("0|165", db.Str("select State||'|'||Dio from tbDio where SID=53"));
    EXPECT_EQ(1, hist.Int("select count(*) from tbDio where SID=53"));

    // A device whose samples and requests fail: the poll and the command fail.
    qxgpio::SimImage image;
    ASSERT_TRUE(qxgpio::SimLoad(gpioPath.c_str(), &image));
    image.failReads = 1;
    image.failRequests = 1;
    ASSERT_TRUE(qxgpio::SimStore(gpioPath.c_str(), image));
    EXPECT_EQ(0, rig.Poll(d, out, ch, bits));
    EXPECT_EQ("2|165", db.Str("select State||'|'||Dio from tbDio where SID=53"));
    d->DoItem(out, 0);
    EXPECT_EQ(0, d->DoFunc(11, nullptr, 0));
}

}  // namespace
