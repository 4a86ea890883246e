// The handler base: defaults of every operation, the definition check, the alarm text and the
// placement that lets DataVal hand out a text as an int.
#include <string.h>

#include <cstddef>

#include <string>
#include <vector>

#include "PointItem.h"
#include "SMBase.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace {

// A handler with one text field, as handlers keep them in their value block.
class TextHandler : public CSMBase {
public:
    TextHandler() : CSMBase(0x5A5) {
        m_iDataCnt = 2;
        m_pData = &m_value;
        snprintf(m_text, sizeof(m_text), "%s", "AB-12 text");
    }
    int DataVal(int field) override {
        if (field == 1) return m_value;
        if (field == 2) return TextVal(m_text);
        return -1;
    }
    int m_value = 42;
    char m_text[24];
};

// Records the five-argument DoFunc so that the three-argument one can be checked.
class FuncHandler : public CSMBase {
public:
    FuncHandler() : CSMBase(0x301) {}
    int DoFunc(ISerBase* ch, int addr, int cmd, void* buf, int len) override {
        calls++;
        lastCh = ch;
        lastAddr = addr;
        lastCmd = cmd;
        return 1;
    }
    using CSMBase::DoFunc;
    int calls = 0;
    ISerBase* lastCh = nullptr;
    int lastAddr = -1, lastCmd = -1;
};

TEST(SMBase, ConstructorDefaults) {
    CSMBase b(0x1234);
    EXPECT_EQ(0x1234, b.GetType());
    EXPECT_EQ(0, b.GetMask());
    EXPECT_EQ(0, b.m_iDataCnt);
    EXPECT_EQ(0, b.DataSize());
    EXPECT_EQ(nullptr, b.Data());
    EXPECT_EQ(nullptr, b.m_pManager);
    EXPECT_EQ(nullptr, b.m_pDb);
    EXPECT_EQ(nullptr, b.m_pDbHist);
    EXPECT_EQ(nullptr, b.m_pItem);
    EXPECT_EQ(3, b.m_iErrMax);
    EXPECT_EQ(0, b.m_iErrCnt);
    // "ISMBase基类" in GBK, 12 bytes with the terminator.
    EXPECT_EQ("49534d42617365bbf9c0e0", Hex(b.GetNote()));
    EXPECT_EQ(11u, strlen(b.GetNote()));
    EXPECT_EQ(3072u, sizeof(CSMBase::m_buffer));
}

TEST(SMBase, BaseOperationsReturnTheirDefaults) {
    CSMBase b(0x200);
    TestDb db;
    qxhost::PointItem item(7, 0x200);
    char text[16] = ".T";
    int bits[1] = {1};
    int snap = 5;
    EXPECT_EQ(-1, b.DataVal(1));
    EXPECT_EQ(0, b.DataGet(nullptr, 1, 0));
    EXPECT_EQ(0, b.DataUpd(1, bits, &snap, 7, &db));
    EXPECT_EQ(0, b.DoFunc(nullptr, 1, 5, nullptr, 0));
    EXPECT_EQ(-1, b.VarEval(text));
    EXPECT_STREQ(".T", text);
    EXPECT_EQ(0, b.NeedDefAlm(&db, 1));
    b.SetDb(&db, 0);
    EXPECT_EQ(0, b.ChkDb(item));
    b.RegDb(&db, 1);
    EXPECT_EQ(0, db.Int("select count(*) from tbSMType"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef"));
    EXPECT_EQ(1, b.DoItem(item, 99));
    EXPECT_EQ(item.Ptr(), b.m_pItem);
}

TEST(SMBase, SetDbChoosesByWhich) {
    struct Case {
        int which;
        bool main;
    } cases[] = {{0, true}, {1, false}, {2, true}, {-1, true}};
    for (const Case& c : cases) {
        CSMBase b(0x100);
        TestDb db;
        b.SetDb(&db, c.which);
        EXPECT_EQ(c.main ? &db : nullptr, b.m_pDb) << "which " << c.which;
        EXPECT_EQ(c.main ? nullptr : &db, b.m_pDbHist) << "which " << c.which;
    }
    // A later call replaces the earlier pointer.
    CSMBase b(0x100);
    TestDb a, z;
    b.SetDb(&a, 0);
    b.SetDb(&z, 0);
    EXPECT_EQ(&z, b.m_pDb);
}

TEST(SMBase, DoFuncWithoutChannelOrPointReturnsZero) {
    FuncHandler h;
    unsigned char buf[4] = {};
    EXPECT_EQ(0, h.DoFunc(5, buf, 4));  // no current point
    qxhost::PointItem item(3, 0x301);
    item.Addr(9);
    h.DoItem(item, 0);
    EXPECT_EQ(0, h.DoFunc(5, buf, 4));  // point without channel
    EXPECT_EQ(0, h.calls);

    ISerBase* fake = reinterpret_cast<ISerBase*>(&h);  // only passed through, never called
    item.Ser(fake);
    EXPECT_EQ(1, h.DoFunc(5, buf, 4));
    EXPECT_EQ(1, h.calls);
    EXPECT_EQ(fake, h.lastCh);
    EXPECT_EQ(9, h.lastAddr);
    EXPECT_EQ(5, h.lastCmd);
}

void InsertDefs(TestDb& db, int type, int n) {
    for (int i = 1; i <= n; i++)
        db.Run("insert into tbSMDef values(" + std::to_string(type) + ",0," + std::to_string(i) +
               ",'F" + std::to_string(i) + "',1,'Caption" + std::to_string(i) +
               "',0,10,0,0,'',100,'',0,NULL)");
}

TEST(SMBase, NeedDef) {
    struct Case {
        int rows, force, result, rowsAfter;
    } cases[] = {{0, 0, 1, 0}, {0, 1, 1, 0}, {12, 0, 0, 12}, {12, 1, 1, 0}};
    for (const Case& c : cases) {
        TestDb db;
        InsertDefs(db, 0x301, c.rows);
        InsertDefs(db, 0x302, 2);  // another type's rows are never touched
        CSMBase b(0x301);
        EXPECT_EQ(c.result, b.NeedDef(&db, c.force)) << c.rows << " rows, force " << c.force;
        EXPECT_EQ(c.rowsAfter, db.Int("select count(*) from tbSMDef where Type=769"));
        EXPECT_EQ(2, db.Int("select count(*) from tbSMDef where Type=770"));
    }
    CSMBase b(0x301);
    EXPECT_EQ(0, b.NeedDef(nullptr, 1));
}

TEST(SMBase, ChkDbDatInitNeedsDatabaseTableAndItem) {
    TestDb db;
    db.Run("create table tbX(DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,"
           "Addr INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER)");
    qxhost::PointItem item(11, 0x500);
    CSMBase b(0x500);
    EXPECT_EQ(0, b.ChkDbDatInit("tbX", item));  // no main database
    b.SetDb(&db, 1);
    EXPECT_EQ(0, b.ChkDbDatInit("tbX", item));  // only the second one
    b.SetDb(&db, 0);
    EXPECT_EQ(0, b.ChkDbDatInit(nullptr, item));
    EXPECT_EQ(0, b.ChkDbDatInit("", item));
    EXPECT_EQ(0, b.ChkDbDatInit("tbX", nullptr));
    EXPECT_EQ(0, db.Int("select count(*) from tbX"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMBrief"));
    EXPECT_EQ(1, b.ChkDbDatInit("tbX", item));
    EXPECT_EQ(1, db.Int("select count(*) from tbX where SID=11"));
    // 1 whatever the statements return: the table may be missing.
    EXPECT_EQ(1, b.ChkDbDatInit("tbMissing", item));
}

// Captions of fields 1..8 of type 0x701: "C1".."C8".
struct AlmFixture : ::testing::Test {
    void SetUp() override {
        for (int i = 1; i <= 8; i++)
            db.Run("insert into tbSMDef values(1793,0," + std::to_string(i) + ",'F',1,'C" +
                   std::to_string(i) + "',0,1,0,0,'',0,'',0,NULL)");
        h.m_iDataCnt = 8;
        h.SetDb(&db, 0);
    }
    TestDb db;
    CSMBase h{0x701};
};

const std::string kAlm = Unhex("b8e6beaf3a");  // "告警:" in GBK

TEST_F(AlmFixture, ComposesCaptionsUpToMax) {
    struct Case {
        std::vector<int> fields;
        int max;
        std::string text;
        int count;
    } cases[] = {
        {{1, 3, 4, 7}, 3, kAlm + "C1 C3 C4...", 3},
        {{1, 3}, 3, kAlm + "C1 C3", 2},
        {{1, 3, 4}, 3, kAlm + "C1 C3 C4...", 3},
        {{8}, 3, kAlm + "C8", 1},
        {{}, 3, "", 0},
        {{2, 5, 6}, 0, kAlm + "C2 C5 C6", 3},  // no limit
    };
    for (const Case& c : cases) {
        int bits[1] = {0};
        for (int f : c.fields) bits[0] |= 1 << (f - 1);
        char out[256];
        EXPECT_EQ(c.count, h.GetAlmDetail(out, bits, c.max, sizeof(out)));
        EXPECT_EQ(Hex(c.text), Hex(out)) << "bits " << bits[0];
    }
}

TEST_F(AlmFixture, OutMayBeTheSharedBuffer) {
    int bits[1] = {0x5};
    EXPECT_EQ(2, h.GetAlmDetail(CSMBase::m_buffer, bits, 3));
    EXPECT_EQ(Hex(kAlm + "C1 C3"), Hex(CSMBase::m_buffer));
}

TEST_F(AlmFixture, FieldsBeyondTheFirstWordUseTheNextWord) {
    h.m_iDataCnt = 40;
    db.Run("insert into tbSMDef values(1793,0,33,'F',1,'C33',0,1,0,0,'',0,'',0,NULL)");
    int bits[2] = {0, 1};  // field 33
    char out[64];
    EXPECT_EQ(1, h.GetAlmDetail(out, bits, 3, sizeof(out)));
    EXPECT_EQ(Hex(kAlm + "C33"), Hex(out));
}

TEST_F(AlmFixture, NothingWithoutBitsDatabaseOrFields) {
    char out[64] = "stale";
    EXPECT_EQ(0, h.GetAlmDetail(out, nullptr, 3, sizeof(out)));
    EXPECT_STREQ("", out);
    int bits[1] = {0xFF};
    h.m_iDataCnt = 0;
    strcpy(out, "stale");
    EXPECT_EQ(0, h.GetAlmDetail(out, bits, 3, sizeof(out)));
    EXPECT_STREQ("", out);
    h.m_iDataCnt = 8;
    h.m_pDb = nullptr;
    strcpy(out, "stale");
    EXPECT_EQ(0, h.GetAlmDetail(out, bits, 3, sizeof(out)));
    EXPECT_STREQ("", out);
}

TEST_F(AlmFixture, MissingCaptionIsEmptyAndTextStaysInItsBuffer) {
    int bits[1] = {0x3};
    db.Run("delete from tbSMDef where Fld=2");
    char out[64];
    EXPECT_EQ(2, h.GetAlmDetail(out, bits, 3, sizeof(out)));
    EXPECT_EQ(Hex(kAlm + "C1 "), Hex(out));
    // A small buffer takes whole captions only and stays terminated.
    db.Run("update tbSMDef set Note='" + std::string(40, 'x') + "' where Fld=3");
    int bits3[1] = {0x5};
    char small[20];
    memset(small, 0x7F, sizeof(small));
    int n = h.GetAlmDetail(small, bits3, 3, sizeof(small));
    EXPECT_EQ(1, n);
    EXPECT_EQ(Hex(kAlm + "C1"), Hex(small));
}

TEST(SMBase, TextHandedOutByDataValReadsBackAtItsAddress) {
    std::vector<TextHandler*> handlers;
    for (int i = 0; i < 8; i++) handlers.push_back(new TextHandler());
    for (TextHandler* h : handlers) {
        snprintf(h->m_text, sizeof(h->m_text), "T%p", (void*)h);
        int v = h->DataVal(2);
        ASSERT_NE(-1, v);
        EXPECT_EQ(h->m_text, qxhost::TextOfVal(v));
        EXPECT_STREQ(h->m_text, qxhost::TextOfVal(v));
        EXPECT_EQ(42, h->DataVal(1));
        EXPECT_EQ(-1, h->DataVal(3));
    }
    for (TextHandler* h : handlers) delete static_cast<CSMBase*>(h);
}

TEST(SMBase, HandlerObjectsLiveBelowTwoGiB) {
    for (int i = 0; i < 4; i++) {
        CSMBase* b = new CSMBase(i);
        ASSERT_NE(nullptr, b);
#if UINTPTR_MAX > 0xFFFFFFFFu
        // Only needed where a pointer is wider than int; on the target every address fits.
        EXPECT_LT((uintptr_t)b + sizeof(CSMBase), (uintptr_t)0x80000000u);
#endif
        // As aligned as malloc's memory: 16 bytes here, 8 on the 32-bit ARM target.
        EXPECT_EQ(0u, (uintptr_t)b % alignof(std::max_align_t));
        delete b;
    }
    EXPECT_EQ(-1, CSMBase::TextVal(nullptr));
}

}  // namespace
