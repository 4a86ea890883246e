// The DIO base and the default DIO module over a fake GPIO channel: registration and point
// names, the poll's decoding, display texts, the per-point states and the summary, the stored
// rows. Texts are compared as GBK hex.
#include <string.h>

#include <string>
#include <vector>

#include "GbkText.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "io/SMDio.h"
#include "io/SMDioBase.h"

using qxtest::Gbk;
using qxtest::Repeat;

namespace {

// The GPIO channel as the handlers see it: Read fills byte 0 (input line 18) and, for a length
// of 2 or more, byte 1 (line 17), and answers 1; -1 when closed or failing.
class FakeGpio : public qxtest::ScriptChannel {
public:
    FakeGpio() { SetType(0x800001); }
    uint8_t in = 0xFF, out = 0xFF;
    int result = 1;  // what Read answers
    int Read(unsigned char* buf, int len, int) override {
        reads++;
        if (!IsOpened() || !buf) return -1;
        if (result < 1) return result;
        buf[0] = in;
        if (len >= 2) buf[1] = out;
        return result;
    }
    int reads = 0;
};

// A module of the base with its point counts set by the test, storing the base form.
class TestModule : public CSMDioBase {
public:
    TestModule() : CSMDioBase(0x9F0) {
        m_iDataCnt = 32;
        snprintf(m_note, sizeof(m_note), "%s", "TEST");
    }
};

struct Dio : ::testing::Test {
    Dio() : item(7, 0x9FF) {
        db.Run("insert into tbSMBrief(SID) values(7)");
        h.SetDb(&db, 0);
        item.Variant(0).ItemDetail(0).DetailMode(0).Ser(&gpio);
        h.DoItem(item, 0);
    }
    // Point rows of item 7 in the SIDD form (DetailMode other than 2).
    void PointRows(int n) {
        for (int f = 1; f <= n; f++)
            db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(100,0," +
                   std::to_string(f) + ",7,-1)");
    }
    int PointState(int fld) {
        return (int)db.Int("select State from tbSubSysDetail where SIDD=7 and Fld=" + std::to_string(fld));
    }
    std::string Summary() { return db.Str("select Brief from tbSMBrief where SID=7"); }

    TestDb db;
    FakeGpio gpio;
    qxhost::PointItem item;
    CSMDio h;
};

// ---------------------------------------------------------------- registration

TEST_F(Dio, RegistersTypeAndDefinitionRowsOnce) {
    EXPECT_EQ(0x900, h.GetType());
    EXPECT_EQ(36, h.GetMask());
    EXPECT_EQ(11, h.DataSize());
    h.RegDb(&db, 0);
    EXPECT_EQ(2304, db.Int("select Kind from tbSMType where Type=2304"));
    EXPECT_EQ(Hex(Gbk("开关量 DI-2416")), Hex(db.Str("select Name from tbSMType where Type=2304")));
    EXPECT_EQ(Hex(Gbk("开关量输入,内置")), Hex(db.Str("select Note from tbSMType where Type=2304")));
    EXPECT_EQ(10, db.Int("select count(*) from tbSMDef where Type=2304"));
    struct {
        int fld;
        const char* name;
        const char* note;
        int alarmKind;
        const char* low;
    } rows[] = {
        {1, "D01", "开关量1", 1, "拉低触发报警"},
        {8, "D08", "开关量8", 1, "拉低触发报警"},
        {9, "D09", "开关量9", 0, "干接点输出"},
        {10, "D10", "开关量10", 0, "干接点输出"},
    };
    for (auto r : rows) {
        std::string w = " from tbSMDef where Type=2304 and Fld=" + std::to_string(r.fld);
        EXPECT_EQ(r.name, db.Str("select FldName" + w));
        EXPECT_EQ(Hex(Gbk(r.note)), Hex(db.Str("select Note" + w)));
        EXPECT_EQ(r.alarmKind, db.Int("select AlmKind" + w));
        EXPECT_EQ(1, db.Int("select Ratio" + w));
        EXPECT_EQ(0, db.Int("select vref" + w));
        EXPECT_EQ(Hex(Gbk(r.low)), Hex(db.Str("select LoText" + w)));
        EXPECT_EQ("", db.Str("select HiText" + w));
    }
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=2304 and Fld>10"));

    db.Run("update tbSMDef set Note='x' where Type=2304");
    h.RegDb(&db, 0);  // present: nothing rewritten
    EXPECT_EQ(10, db.Int("select count(*) from tbSMDef where Type=2304 and Note='x'"));
    h.RegDb(&db, 1);  // forced: deleted and written again
    EXPECT_EQ(10, db.Int("select count(*) from tbSMDef where Type=2304"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=2304 and Note='x'"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=2304"));
}

TEST_F(Dio, PointNamesByTypeAndByItem) {
    h.RegDb(&db, 0);
    db.Run("update tbSMDef set ANote='" + Gbk("门磁") + "' where Type=2304 and Fld=2");
    db.Run("update tbSMDef set ANote='' where Type=2304 and Fld=3");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(7,2,'" + Gbk("机房门") + "',2304)");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(8,4,'" + Gbk("烟感") + "',2304)");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(7,5,'other type',2305)");
    h.RegDb(&db, 0);
    struct {
        int n, sid;
        std::string name;
    } cases[] = {
        {2, 0, Gbk("门磁")}, {2, 7, Gbk("机房门")}, {2, 9, Gbk("门磁")},
        {3, 0, "DI 3"},      {4, 8, Gbk("烟感")},   {4, 7, "DI 4"},
        {5, 7, "DI 5"},      {12, 0, "DI 12"},
    };
    for (auto& c : cases) EXPECT_EQ(Hex(c.name), Hex(h.GetNoteX(c.n, c.sid))) << c.n << "/" << c.sid;

    // Names removed from the tables stay until the handler goes.
    db.Run("delete from tbSMDefVal");
    h.RegDb(&db, 0);
    EXPECT_EQ(Hex(Gbk("机房门")), Hex(h.GetNoteX(2, 7)));
}

TEST_F(Dio, TablesAndCurrentRow) {
    TestDb hist;
    CSMDio d;
    EXPECT_EQ(0, d.ChkDb(item));  // no main database
    d.SetDb(&hist, 1);
    EXPECT_EQ(0, d.ChkDb(nullptr));
    EXPECT_FALSE(hist.TableExists("tbDio"));
    d.SetDb(&db, 0);
    EXPECT_EQ(1, d.ChkDb(nullptr));
    EXPECT_TRUE(db.TableExists("tbDio"));
    EXPECT_TRUE(hist.TableExists("tbDio"));
    EXPECT_EQ(1, d.ChkDb(item));
    EXPECT_EQ(-1, db.Int("select State from tbDio where SID=7"));
    EXPECT_EQ(0x9FF, db.Int("select Type from tbDio where SID=7"));
}

// ---------------------------------------------------------------- poll

TEST_F(Dio, DecodesInputsAndOutputs) {
    struct {
        uint8_t in, out;
        std::vector<int> words;  // Dio, D01..D12
    } cases[] = {
        {0xFE, 0xFF, {254, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0x00, 0x00, {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {0x5A, 0x0A, {0x5A, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0}},
        {0xFF, 0xF0, {255, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}},
    };
    for (auto& c : cases) {
        gpio.in = c.in;
        gpio.out = c.out;
        ASSERT_EQ(1, h.DataGet(&gpio, 0, 0));
        for (int i = 0; i <= 11; i++) EXPECT_EQ(c.words[(size_t)i], h.DataVal(i)) << (int)c.in << " word " << i;
        EXPECT_EQ(c.words[12], h.m_wData[12]);
    }
    EXPECT_TRUE(gpio.Written().empty());
    EXPECT_EQ(0, gpio.Purges());
}

TEST_F(Dio, AFailedReadIsAFailedPollWithValuesKept) {
    gpio.in = 0xFE;
    ASSERT_EQ(1, h.DataGet(&gpio, 0, 0));
    gpio.in = 0x00;
    for (int result : {0, -1}) {
        gpio.result = result;
        EXPECT_EQ(0, h.DataGet(&gpio, 0, 0)) << result;
        EXPECT_EQ(254, h.DataVal(0)) << result;
        EXPECT_EQ(1, h.DataVal(1)) << result;
        EXPECT_EQ(0, h.DataVal(2)) << result;
    }
    gpio.result = 1;
    gpio.SetOpen(false);
    EXPECT_EQ(0, h.DataGet(&gpio, 0, 0));
    EXPECT_EQ(0, h.DataGet(nullptr, 0, 0));
    EXPECT_EQ(254, h.DataVal(0));
}

TEST_F(Dio, ValueIndexes) {
    gpio.in = 0x00;
    gpio.out = 0x00;
    h.DataGet(&gpio, 0, 0);
    EXPECT_EQ(0, h.DataVal(0));
    EXPECT_EQ(1, h.DataVal(11));  // the last field
    EXPECT_EQ(-1, h.DataVal(12));  // stored in the table, but beyond the fields
    EXPECT_EQ(-1, h.DataVal(-1));
    EXPECT_EQ(-1, h.DataVal(1000));
}

// ---------------------------------------------------------------- display texts

TEST_F(Dio, DisplayTexts) {
    h.RegDb(&db, 0);
    db.Run("update tbSMDef set ANote='" + Gbk("门磁") + "' where Type=2304 and Fld=2");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(7,2,'" + Gbk("机房门") + "',2304)");
    h.RegDb(&db, 0);
    memset(h.m_wData, 0, sizeof(h.m_wData));
    h.m_wData[3] = 2;
    struct {
        const char* in;
        int result;
        std::string out;
    } cases[] = {
        {".D3", 4, Gbk("告警")},
        {".D03", 4, Gbk("告警")},
        {".D4", 4, Gbk("正常")},
        {".D11", 4, Gbk("正常")},
        {".D12", -1, ".D12"},
        {".D", -1, ".D"},
        {".D0", -1, ".D0"},
        {".Dx", -1, ".Dx"},
        {".N2", (int)Gbk("门磁").size(), Gbk("门磁")},  // the type's name, never the item's
        {".N5", 4, "DI 5"},
        {".N0", -1, ".N0"},
        {".X1", -1, ".X1"},
        {".", -1, "."},
        {"", -1, ""},
    };
    for (auto& c : cases) {
        char buf[80];
        snprintf(buf, sizeof(buf), "%s", c.in);
        EXPECT_EQ(c.result, h.VarEval(buf)) << c.in;
        EXPECT_EQ(Hex(c.out), Hex(buf)) << c.in;
    }
    EXPECT_EQ(-1, h.VarEval(nullptr));
}

TEST_F(Dio, LongNameIsCutToWholeCharacters) {
    h.RegDb(&db, 0);
    db.Run("update tbSMDef set ANote='" + Gbk("a" + Repeat("门", 80)) + "' where Type=2304 and Fld=1");
    h.RegDb(&db, 0);
    char buf[CSMDioBase::kNameMax + 1 + 16];
    memset(buf, 'z', sizeof(buf));
    strcpy(buf, ".N1");
    int n = h.VarEval(buf);
    EXPECT_EQ(63, n);  // "a" and 31 characters of two bytes
    EXPECT_EQ(Hex(Gbk("a" + Repeat("门", 31))), Hex(buf));
    EXPECT_EQ('z', buf[CSMDioBase::kNameMax + 1]);
}

// ---------------------------------------------------------------- states and summary

TEST_F(Dio, SummaryNamesThePointsInAlarm) {
    PointRows(8);
    h.ChkDb(item);
    int bits = 0x12;  // points 2 and 5
    EXPECT_EQ(1, h.DataUpd(1, &bits, nullptr, -1, nullptr));
    EXPECT_EQ(Hex(Gbk("DI 2:告警 DI 5:告警 (其他正常)")), Hex(Summary()));
    EXPECT_EQ(1, db.Int("select St from tbSMBrief where SID=7"));
    for (int f = 1; f <= 8; f++) EXPECT_EQ(f == 2 || f == 5 ? 1 : 0, PointState(f)) << f;
}

TEST_F(Dio, StatesByTheHostsArguments) {
    struct {
        const char* name;
        int flags;
        bool bits;
        int word;
        int state;       // the item's (the summary's St)
        int pointState;  // every point's
        const char* summary;
    } cases[] = {
        {"device silent", 0, false, 0, 2, 2, "(故障),通讯中断"},
        // Without alarm bits the host's alarm falls on every point; the summary still says
        // that the module did not answer, never that the rest is normal.
        {"device silent, alarm flag", 1, false, 0, 1, 1, "(故障),通讯中断"},
        {"normal", 0, true, 0x12, 0, 0, "(全部正常)"},  // bits without the flag name no point
        {"alarm flag, no alarm word", 1, true, 0, 1, 0, "(全部正常)"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDb d;
        d.Run("insert into tbSMBrief(SID) values(7)");
        for (int f = 1; f <= 8; f++)
            d.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(100,0," + std::to_string(f) + ",7,-1)");
        CSMDio m;
        m.SetDb(&d, 0);
        m.DoItem(item, 0);
        int w = c.word;
        m.DataUpd(c.flags, c.bits ? &w : nullptr, nullptr, 7, nullptr);
        for (int f = 1; f <= 8; f++)
            EXPECT_EQ(c.pointState, d.Int("select State from tbSubSysDetail where SIDD=7 and Fld=" + std::to_string(f)));
        EXPECT_EQ(Hex(Gbk(c.summary)), Hex(d.Str("select Brief from tbSMBrief where SID=7")));
        EXPECT_EQ(c.state, d.Int("select St from tbSMBrief where SID=7"));
    }
}

TEST_F(Dio, PointRowsByDetailMode) {
    // DetailMode 2 keys the point rows by sid, the point's Type (0x9FF, a code the module
    // serves by default) and Fld; any other mode by SIDD and Fld.
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(7,2559,1,0,-1)");
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(7,2304,1,0,-1)");
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(100,0,1,7,-1)");
    int bits = 1;
    item.DetailMode(2);
    h.DataUpd(1, &bits, nullptr, 7, nullptr);
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=7 and Type=2559 and Fld=1"));
    EXPECT_EQ(-1, db.Int("select State from tbSubSysDetail where SID=7 and Type=2304 and Fld=1"));
    EXPECT_EQ(-1, db.Int("select State from tbSubSysDetail where SIDD=7 and Fld=1"));
    item.DetailMode(0);
    h.DataUpd(0, &bits, nullptr, 7, nullptr);
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SIDD=7 and Fld=1"));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=7 and Type=2559 and Fld=1"));
    // Missing point rows are never inserted.
    EXPECT_EQ(3, db.Int("select count(*) from tbSubSysDetail"));
}

TEST_F(Dio, ItemRowWhenTheItemHasDetail) {
    // The item's row carries its own Type (0x9FF), not the module's reported 0x900.
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(7,2559,NULL,0,-1)");
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(7,2304,NULL,0,-1)");
    h.DataUpd(0, nullptr, nullptr, 7, nullptr);
    EXPECT_EQ(-1, db.Int("select State from tbSubSysDetail where SID=7 and Type=2559"));  // ItemDetail 0
    item.ItemDetail(1);
    h.DataUpd(0, nullptr, nullptr, 7, nullptr);
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=7 and Type=2559"));
    EXPECT_EQ(-1, db.Int("select State from tbSubSysDetail where SID=7 and Type=2304"));
}

TEST_F(Dio, SummaryUsesTheItemsNameAndCallsOutputsClosed) {
    h.RegDb(&db, 0);
    db.Run("update tbSMDef set ANote='" + Gbk("门磁") + "' where Type=2304 and Fld=2");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(7,2,'" + Gbk("机房门") + "',2304)");
    h.RegDb(&db, 0);
    int bits = 0x2;
    h.DataUpd(1, &bits, nullptr, -1, nullptr);
    EXPECT_EQ(Hex(Gbk("机房门:告警 (其他正常)")), Hex(Summary()));

    TestModule m;
    m.SetDb(&db, 0);
    m.DoItem(item, 0);
    m.m_iPointCnt = 12;
    m.m_iInCnt = 10;
    bits = 1 << 10;  // point 11
    m.UpdSt(1, &bits, 7);
    EXPECT_EQ(Hex(Gbk("DI 11:关闭 (其他正常)")), Hex(Summary()));
    bits = 1 << 12;  // point 13 is beyond the module's points
    m.UpdSt(1, &bits, 7);
    EXPECT_EQ(Hex(Gbk("(全部正常)")), Hex(Summary()));
}

TEST_F(Dio, NamesWithQuotesReachTheSummaryIntact) {
    h.RegDb(&db, 0);
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(7,1,'O''Brien''s door',2304)");
    h.RegDb(&db, 0);
    h.ChkDb(item);
    int bits = 1;
    EXPECT_EQ(1, h.DataUpd(1, &bits, nullptr, -1, nullptr));
    EXPECT_EQ(Hex("O'Brien's door" + Gbk(":告警 (其他正常)")), Hex(Summary()));
}

TEST_F(Dio, ManyLongNamesKeepTheSummaryBounded) {
    TestModule m;
    m.RegDb(&db, 0);
    for (int f = 1; f <= 32; f++)
        db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(7," + std::to_string(f) + ",'" +
               Gbk(Repeat("很长的名字", 30)) + "',2544)");
    m.RegDb(&db, 0);
    m.SetDb(&db, 0);
    m.DoItem(item, 0);
    m.m_iPointCnt = 32;
    m.m_iInCnt = 32;
    int bits = -1;
    m.UpdSt(1, &bits, 7);
    std::string s = Summary();
    EXPECT_LE(s.size(), 1100u);
    EXPECT_GT(s.size(), 900u);
    EXPECT_EQ(Hex(Gbk("(其他正常)")), Hex(s.substr(s.size() - Gbk("(其他正常)").size())));
    EXPECT_NE("<bad text>", qxtest::Utf8(s));  // no character cut in half
}

// ---------------------------------------------------------------- stored rows

TEST_F(Dio, CurrentAndHistoryRows) {
    TestDb hist;
    h.SetDb(&hist, 1);
    ASSERT_EQ(1, h.ChkDb(item));
    gpio.in = 0xFE;
    gpio.out = 0xFE;
    h.DataGet(&gpio, 0, 0);
    db.Run("update tbDio set D13=77 where SID=7");
    int bits = 0, snap = 55;
    EXPECT_EQ(1, h.DataUpd(16, &bits, &snap, -1, &hist));
    EXPECT_EQ(0, db.Int("select State from tbDio where SID=7"));
    EXPECT_EQ(55, db.Int("select SnapID from tbDio where SID=7"));
    EXPECT_EQ(254, db.Int("select Dio from tbDio where SID=7"));
    EXPECT_EQ(1, db.Int("select D01 from tbDio where SID=7"));
    EXPECT_EQ(0, db.Int("select D02 from tbDio where SID=7"));
    EXPECT_EQ(1, db.Int("select D09 from tbDio where SID=7"));
    EXPECT_EQ(0, db.Int("select D10 from tbDio where SID=7"));
    EXPECT_EQ(0, db.Int("select D12 from tbDio where SID=7"));
    EXPECT_EQ(77, db.Int("select D13 from tbDio where SID=7"));  // beyond this module's columns
    EXPECT_EQ(1, hist.Int("select count(*) from tbDio where SID=7"));
    EXPECT_EQ(254, hist.Int("select Dio from tbDio where SID=7"));
    EXPECT_EQ(1, hist.Int("select D09 from tbDio where SID=7"));
    EXPECT_EQ(0, hist.Int("select D12 from tbDio where SID=7"));
    EXPECT_EQ("<null>", hist.Str("select D13 from tbDio where SID=7"));

    // Silent: state 2, the module keeps its values, every call adds a history row.
    EXPECT_EQ(1, h.DataUpd(0, nullptr, &snap, 7, &hist));
    EXPECT_EQ(2, db.Int("select State from tbDio where SID=7"));
    EXPECT_EQ(0, db.Int("select SnapID from tbDio where SID=7"));
    EXPECT_EQ(254, db.Int("select Dio from tbDio where SID=7"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbDio where SID=7"));
}

TEST_F(Dio, BaseFormClearsOnNoAnswerAndStoresAllPoints) {
    TestModule m;
    m.SetDb(&db, 0);
    m.ChkDb(item);
    m.DoItem(item, 0);
    for (int i = 0; i <= 32; i++) m.m_wData[i] = (uint16_t)(i + 100);
    int bits = 0;
    EXPECT_EQ(1, m.DataUpd(0, &bits, nullptr, -1, nullptr));
    EXPECT_EQ(100, db.Int("select Dio from tbDio where SID=7"));
    EXPECT_EQ(132, db.Int("select D32 from tbDio where SID=7"));
    EXPECT_EQ(1, m.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ(0, db.Int("select Dio from tbDio where SID=7"));
    EXPECT_EQ(0, db.Int("select D32 from tbDio where SID=7"));
    EXPECT_EQ(0, m.DataVal(5));
}

TEST_F(Dio, AnUpdateBeforeAnyPollStoresZeros) {
    h.ChkDb(item);
    db.Run("update tbDio set Dio=9,D01=9 where SID=7");
    EXPECT_EQ(1, h.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ("2|0|0|0", db.Str("select State||'|'||Dio||'|'||D01||'|'||D12 from tbDio where SID=7"));
}

TEST_F(Dio, StoreTakesTheModulesPointCounts) {
    TestModule m;
    m.SetDb(&db, 0);
    m.ChkDb(item);
    m.DoItem(item, 0);
    PointRows(16);
    int bits = 1 << 13;  // point 14
    CSMDioBase::DioStore how = {false, 16, true, 16, 10};
    EXPECT_EQ(1, m.StoreDio(how, 1, &bits, nullptr, -1, nullptr));
    EXPECT_EQ(16, m.m_iPointCnt);
    EXPECT_EQ(10, m.m_iInCnt);
    EXPECT_EQ(1, PointState(14));
    EXPECT_EQ(0, PointState(9));
    EXPECT_EQ(Hex(Gbk("DI 14:关闭 (其他正常)")), Hex(Summary()));
}

TEST_F(Dio, WithoutMainDatabaseOnlyTheHistoryRow) {
    TestDb hist;
    hist.Run("create table tbDio(" + std::string(CSMDioBase::kTbDio.columns) + ")");
    CSMDio m;
    m.DoItem(item, 0);
    int bits = 0;
    EXPECT_EQ(1, m.DataUpd(0, &bits, nullptr, -1, &hist));
    EXPECT_EQ(1, hist.Int("select count(*) from tbDio where SID=7"));
    EXPECT_EQ(1, m.DataUpd(0, &bits, nullptr, -1, nullptr));  // nothing run
    TestDb broken;  // no tbDio: the insert fails
    EXPECT_EQ(0, m.DataUpd(0, &bits, nullptr, -1, &broken));
}

}  // namespace
