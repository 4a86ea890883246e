// The serial touch panels (DGus 0xB00, Diwen 0xB01) over scripted channels: the three frames,
// the class-wide channel and how each class takes a new one over, the rows of the DGus panel.
#include <stdint.h>

#include <string>

#include "GbkText.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "io/SMAlmDiwen.h"
#include "io/SMDGusMonitor.h"

using qxtest::ScriptChannel;

namespace {

template <class H>
struct Panel : ::testing::Test {
    ~Panel() override { H::m_pHandler = nullptr; }
    H h;
    ScriptChannel ch;
};
using Panels = ::testing::Types<CSMDGusMonitor, CSMAlmDiwen>;
TYPED_TEST_SUITE(Panel, Panels);

TYPED_TEST(Panel, Frames) {
    const uint8_t rtc[7] = {0x24, 0x01, 0x15, 0x03, 0x10, 0x30, 0x00};
    struct {
        int cmd;
        void* buf;
        int len;
        const char* frame;
    } cases[] = {
        {1, (void*)(uintptr_t)0x1000, 0x0102, "A5 5A 05 82 10 00 01 02"},
        {1, (void*)(uintptr_t)0x12345678, 0x7FFF1234, "A5 5A 05 82 56 78 12 34"},  // low 16 bits
        {3, nullptr, 5, "A5 5A 04 80 03 00 05"},
        {2, (void*)rtc, 0, "A5 5A 0A 80 1F 5A 24 01 15 03 10 30 00"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(1, this->h.DoFunc(&this->ch, 0, c.cmd, c.buf, c.len)) << c.frame;
        EXPECT_EQ(c.frame, qxtest::Hex(this->ch.LastWritten()));
    }
    EXPECT_TRUE(this->ch.Reads() == 0);  // nothing is read back
}

TYPED_TEST(Panel, RefusalsAndTakeOver) {
    TypeParam& h = this->h;
    ScriptChannel& ch = this->ch;
    // Any other command answers 0 after the channel has been taken over.
    EXPECT_EQ(0, h.DoFunc(&ch, 0, 4, nullptr, 0));
    EXPECT_EQ(&ch, TypeParam::m_pHandler);
    EXPECT_EQ(0, h.DoFunc(&ch, 0, 2, nullptr, 0));  // no clock bytes
    EXPECT_EQ(0, h.DoFunc(nullptr, 0, 3, nullptr, 1));
    ch.ShortWrite(3);
    EXPECT_EQ(0, h.DoFunc(&ch, 0, 3, nullptr, 1));
    size_t written = ch.Written().size();
    ch.SetOpen(false);
    EXPECT_EQ(0, h.DoFunc(&ch, 0, 3, nullptr, 1));
    EXPECT_EQ(0, TypeParam::diwen_set_display(1));
    EXPECT_EQ(written, ch.Written().size());
    EXPECT_EQ(1, TypeParam::diwen_init());  // opens the panel's channel
    EXPECT_TRUE(ch.IsOpened());
    EXPECT_EQ(1, TypeParam::diwen_set_data(0x10, 1));
    TypeParam::m_pHandler = nullptr;
    EXPECT_EQ(0, TypeParam::diwen_init());
    EXPECT_EQ(0, TypeParam::diwen_set_data(0x10, 1));

    // The three-argument form takes the current item's channel; without an item: 0.
    EXPECT_EQ(0, h.DoFunc(3, nullptr, 1));
    qxhost::PointItem item(3, h.GetType());
    h.DoItem(item.Ser(&ch), 0);
    EXPECT_EQ(1, h.DoFunc(3, nullptr, 1));

    // Polls read nothing; every value is 0.
    EXPECT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(0, h.DataGet(nullptr, 1, 0));
    EXPECT_EQ(0, h.DataVal(1));
    EXPECT_EQ(0, h.DataVal(9));
    EXPECT_EQ(0, h.GetMask());

    TypeParam* one = TypeParam::GetInstance();
    EXPECT_EQ(one, TypeParam::GetInstance());
    TypeParam::FreeInstance();
    EXPECT_EQ(nullptr, TypeParam::m_pInstance);
}

TEST(PanelChannel, DiwenClosesThePreviousChannelDGusDoesNot) {
    ScriptChannel a, b, c, d;
    CSMAlmDiwen diwen;
    EXPECT_EQ(1, diwen.DoFunc(&a, 0, 3, nullptr, 1));
    EXPECT_EQ(1, diwen.DoFunc(&a, 0, 3, nullptr, 2));
    EXPECT_TRUE(a.IsOpened());  // the same channel again stays open
    EXPECT_EQ(1, diwen.DoFunc(&b, 0, 3, nullptr, 1));
    EXPECT_FALSE(a.IsOpened());
    EXPECT_TRUE(b.IsOpened());
    CSMAlmDiwen::m_pHandler = nullptr;

    CSMDGusMonitor dgus;
    EXPECT_EQ(1, dgus.DoFunc(&c, 0, 3, nullptr, 1));
    EXPECT_EQ(1, dgus.DoFunc(&d, 0, 3, nullptr, 1));
    EXPECT_TRUE(c.IsOpened());
    EXPECT_EQ(&d, CSMDGusMonitor::m_pHandler);
    // One channel per class.
    EXPECT_TRUE(b.IsOpened());
    CSMDGusMonitor::m_pHandler = nullptr;
}

TEST(PanelRows, DGusTablesAndState) {
    TestDb db, hist;
    CSMDGusMonitor h;
    h.RegDb(&db, 0);
    EXPECT_EQ(2560, db.Int("select Kind from tbSMType where Type=2816"));
    EXPECT_EQ("QX-DGus", db.Str("select Name from tbSMType where Type=2816"));
    EXPECT_EQ(qxtest::Gbk("232接口,支持串口屏"), db.Str("select Note from tbSMType where Type=2816"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=2816"));

    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    qxhost::PointItem item(12, 0xB00);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ(-1, db.Int("select State from tbAlmDGus where SID=12"));
    EXPECT_TRUE(hist.TableExists("tbAlmDGus"));

    db.Run("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER)");
    db.Run("insert into tbAlmGsm(SID,State) values(12,-1)");
    h.DoItem(item, 0);
    struct {
        int flags;
        bool bits;
        int state, snap;
    } cases[] = {{0, false, 2, 0}, {1, false, 1, 0}, {0, true, 0, 0}, {16, true, 0, 44}, {17, true, 1, 44}};
    for (auto& c : cases) {
        int bits[1] = {0}, snap = 44;
        EXPECT_EQ(1, h.DataUpd(c.flags, c.bits ? bits : nullptr, &snap, -1, &hist)) << c.flags;
        EXPECT_EQ(std::to_string(c.state) + "|" + std::to_string(c.snap),
                  db.Str("select State||'|'||SnapID from tbAlmGsm where SID=12"));
    }
    CSMDGusMonitor none;
    EXPECT_EQ(0, none.DataUpd(0, nullptr, nullptr, 12, nullptr));
}

TEST(PanelRows, DiwenHasNoDatabaseSide) {
    TestDb db;
    CSMAlmDiwen h;
    h.RegDb(&db, 1);
    EXPECT_EQ(0, db.Int("select count(*) from tbSMType where Type=2817"));
    h.SetDb(&db, 0);
    qxhost::PointItem item(13, 0xB01);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ(1, h.DataUpd(0, nullptr, nullptr, 13, nullptr));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMBrief where SID=13"));
}

}  // namespace
