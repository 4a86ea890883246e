// The shared handler shape: create texts, table checks, the opening of an update, column
// lists, summaries and display keys, on a small handler of its own.
#include <string.h>

#include "TestRig.h"
#include "core/SMSkeleton.h"

namespace {

namespace skel = qx::skel;

// Three values; the second has no flag column.
const skel::Column kCols[] = {{"Va", 1, true}, {"Vb", 2, false}, {"Vc", 3, true}};

struct Handler : CSMBase {
    Handler() : CSMBase(0x5FF) { m_iDataCnt = 3; }
    int DataVal(int fld) override { return fld >= 1 && fld <= 3 ? vals[fld - 1] : -1; }
    int vals[3] = {-12345, 700, 65535};
};

TEST(Skeleton, TableColumns) {
    EXPECT_EQ("DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
              "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Va INTEGER,Vb INTEGER,Vc INTEGER,"
              "iVa INTEGER,iVc INTEGER",
              skel::TableColumns(kCols, 3));
    EXPECT_EQ(qx::sql::kHead, skel::TableColumns(kCols, 0));
}

TEST(Skeleton, ChkDbWhereTablesLive) {
    const skel::Table tables[] = {
        {"tbA", "DID INTEGER PRIMARY KEY,SID INTEGER", skel::kBothDbs},
        {"tbM", "SID INTEGER", skel::kHistDb},
        {"tbN", "SID INTEGER", skel::kMainDb},
    };
    TestDb db, hist;
    Handler h;
    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    EXPECT_EQ(1, skel::ChkDb(h, tables, 3, nullptr, "tbA"));
    EXPECT_EQ(1, db.TableExists("tbA"));
    EXPECT_EQ(0, db.TableExists("tbM"));
    EXPECT_EQ(1, db.TableExists("tbN"));
    EXPECT_EQ(1, hist.TableExists("tbA"));
    EXPECT_EQ(1, hist.TableExists("tbM"));
    EXPECT_EQ(0, hist.TableExists("tbN"));
}

TEST(Skeleton, ChkDbResults) {
    const skel::Table good[] = {{"tbA", "SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
                                        "DateUpd DATETIME,State INTEGER", skel::kBothDbs}};
    const skel::Table bad[] = {{"tbB", "SID INTEGER,", skel::kBothDbs}};
    qxhost::PointItem item(3, 0x5FF);
    struct Case {
        const char* what;
        bool main, hist, needMain, withItem;
        const skel::Table* tables;
        int result;
    } cases[] = {
        {"no database", false, false, false, false, good, 0},
        {"second only", false, true, false, false, good, 1},
        {"second only, main needed", false, true, true, false, good, 0},
        {"second only, item", false, true, false, true, good, 0},
        {"both, item", true, true, false, true, good, 1},
        {"create fails", true, true, false, false, bad, 0},
        {"create fails, item decides", true, false, false, true, bad, 1},
    };
    for (const Case& c : cases) {
        TestDb db, hist;
        Handler h;
        if (c.main) h.SetDb(&db, 0);
        if (c.hist) h.SetDb(&hist, 1);
        EXPECT_EQ(c.result, skel::ChkDb(h, c.tables, 1, c.withItem ? item.Ptr() : nullptr,
                                        c.tables[0].name, c.needMain))
            << c.what;
    }
}

TEST(Skeleton, BeginSettlesStateSnapAndSid) {
    qxhost::PointItem item(41, 0x5AB);
    struct Case {
        const char* what;
        int flags;
        bool bits;
        int word;
        skel::Snap snap;
        bool cols;
        int sid;
        int state, snapId, sidOut;
    } cases[] = {
        {"answered", 0, true, 0, skel::kSnapZero, true, -1, 0, 0, 41},
        {"flagged field", 0, true, 4, skel::kSnapZero, true, -1, 1, 0, 41},
        {"field without flag column", 0, true, 2, skel::kSnapZero, true, -1, 0, 0, 41},
        {"fields not consulted", 0, true, 4, skel::kSnapZero, false, -1, 0, 0, 41},
        {"forced", 1, true, 0, skel::kSnapZero, true, -1, 1, 0, 41},
        {"no answer", 0, false, 0, skel::kSnapZero, true, 0, 2, 0, 0},
        {"no answer, forced", 1, false, 0, skel::kSnapZero, true, 5, 1, 0, 5},
        {"snapshot zero policy", 16, true, 0, skel::kSnapZero, true, -7, 0, 0, 41},
        {"snapshot from flags", 16, true, 0, skel::kSnapFromFlags, true, -1, 0, 99, 41},
        {"snapshot without bit 4", 0, true, 0, skel::kSnapFromFlags, true, -1, 0, 0, 41},
    };
    for (const Case& c : cases) {
        Handler h;
        h.DoItem(item, 0);
        int bits[1] = {c.word};
        int snap = 99;
        skel::Upd u;
        ASSERT_TRUE(skel::Begin(h, u, c.flags, c.bits ? bits : nullptr, &snap, c.sid, c.snap,
                                c.cols ? kCols : nullptr, 3))
            << c.what;
        EXPECT_EQ(c.bits, u.answered) << c.what;
        EXPECT_EQ(c.state, u.state) << c.what;
        EXPECT_EQ(c.snapId, u.snap) << c.what;
        EXPECT_EQ(c.sidOut, u.sid) << c.what;
        EXPECT_EQ(0x5AB, u.type) << c.what;
    }
    // Snapshot bit with no snapshot id given, and no current item.
    Handler h;
    h.DoItem(item, 0);
    skel::Upd u;
    int bits[1] = {0};
    ASSERT_TRUE(skel::Begin(h, u, 16, bits, nullptr, -1, skel::kSnapFromFlags));
    EXPECT_EQ(0, u.snap);
    h.DoItem(nullptr, 0);
    EXPECT_FALSE(skel::Begin(h, u, 0, bits, nullptr, 3, skel::kSnapZero));
}

TEST(Skeleton, FlagsAcrossWords) {
    qxhost::PointItem item(1, 1);
    Handler h;
    h.DoItem(item, 0);
    int bits[3] = {0, (int)0x80000001u, 2};
    skel::Upd u;
    ASSERT_TRUE(skel::Begin(h, u, 0, bits, nullptr, -1, skel::kSnapZero));
    struct Case {
        int fld, flag;
    } cases[] = {{1, 0}, {32, 0}, {33, 1}, {34, 0}, {64, 1}, {65, 0}, {66, 1}};
    for (const Case& c : cases) EXPECT_EQ(c.flag, skel::Flag(u, bits, c.fld)) << c.fld;
    ASSERT_TRUE(skel::Begin(h, u, 0, nullptr, nullptr, -1, skel::kSnapZero));
    EXPECT_EQ(2, skel::Flag(u, bits, 33));  // no answer: no data, whatever bits are around
}

TEST(Skeleton, PollCols) {
    qxhost::PointItem item(1, 1);
    Handler h;
    h.DoItem(item, 0);
    int bits[1] = {4};
    skel::Upd u;
    ASSERT_TRUE(skel::Begin(h, u, 0, bits, nullptr, -1, skel::kSnapZero));
    struct Case {
        bool answered;
        unsigned what;
        const char* assign;
    } cases[] = {
        {true, 0, "Va=-12345,Vb=700,Vc=65535"},
        {true, skel::kColsFlags, "Va=-12345,Vb=700,Vc=65535,iVa=0,iVc=1"},
        {true, skel::kColsFlags | skel::kColsZeroNoAnswer, "Va=-12345,Vb=700,Vc=65535,iVa=0,iVc=1"},
        {false, skel::kColsFlags, "Va=-12345,Vb=700,Vc=65535,iVa=2,iVc=2"},
        {false, skel::kColsFlags | skel::kColsZeroNoAnswer, "Va=0,Vb=0,Vc=0,iVa=2,iVc=2"},
    };
    for (const Case& c : cases) {
        skel::Begin(h, u, 0, c.answered ? bits : nullptr, nullptr, -1, skel::kSnapZero);
        qx::sql::Cols cols = skel::PollCols(h, u, c.answered ? bits : nullptr, kCols, 3, c.what);
        EXPECT_EQ(c.assign, cols.Assign());
    }
}

TEST(Skeleton, Marks) {
    EXPECT_EQ(Hex("(告警)"), Hex(skel::Mark(1)));
    EXPECT_EQ(Hex("(故障)"), Hex(skel::Mark(2)));
    EXPECT_EQ(Hex("(正常)"), Hex(skel::Mark(0)));
    EXPECT_EQ(Hex("(正常)"), Hex(skel::Mark(-1)));
}

TEST(Skeleton, BriefIsBoundedOnWholeCharacters) {
    // One byte short of room for the last double-byte character: it is left out whole, and
    // nothing after it is taken.
    skel::Brief b;
    std::string filler(skel::Brief::kMax - 3, 'x');
    b.Add("%s", filler.c_str()).Add("温度").Add("y");
    EXPECT_EQ(skel::Brief::kMax - 1, b.Length());
    EXPECT_EQ(filler + std::string("温"), b.Text());
    EXPECT_EQ(b.Length(), strlen(b.Text()));

    skel::Brief big;
    std::string huge(3 * skel::Brief::kMax, 'z');
    big.Add("%s", huge.c_str());
    EXPECT_EQ(skel::Brief::kMax, big.Length());
}

TEST(Skeleton, BriefAlarmTextIsBoundedAndEscapedWhenStored) {
    TestDb db;
    qxhost::PointItem item(6, 0x5FF);
    Handler h;
    h.SetDb(&db, 0);
    h.DoItem(item, 0);
    db.Run("insert into tbSMBrief(SID) values(6)");
    // A caption with quotes, and one far longer than a summary.
    db.Run("insert into tbSMDef(Type,Fld,Note) values(1535,1,'it''s hot')");
    db.Run("insert into tbSMDef(Type,Fld,Note) values(1535,3,'" + std::string(2000, 'L') + "')");
    int bits[1] = {5};
    skel::Brief b;
    b.Add("A ").AlarmText(h, bits, 3);
    EXPECT_EQ(Hex("A 告警:it's hot"), Hex(b.Text()));  // the long caption does not fit: left out
    ASSERT_EQ(0, qx::sql::UpdBrief(&db, 6, b.Text()));
    EXPECT_EQ(Hex("A 告警:it's hot"), Hex(db.Str("select Brief from tbSMBrief where SID=6")));

    skel::Brief none;
    none.Add("A").AlarmText(h, nullptr, 3);
    EXPECT_STREQ("A", none.Text());
    int zero[1] = {0};
    none.AlarmText(h, zero, 3);
    EXPECT_STREQ("A", none.Text());
}

TEST(Skeleton, VarEvalFormats) {
    const skel::Key keys[] = {
        {".a", 1, 10, 1, "V"},  {".b", 2, 100, 2, "A"}, {".c", 3, 1000, 3, "KWH"},
        {".d", 1, 1, 0, ""},    {".e", 2, 0, 0, "x"},   {".f", 3, 100, 3, "Hz"},
        {".a", 2, 1, 0, "second"},
    };
    Handler h;
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {".a", "-1234.5V"}, {".b", "7.00A"}, {".c", "65.535KWH"}, {".d", "-12345"},
        {".e", "700x"},     {".f", "655.350Hz"}, {".A", ".A"}, {"a", "a"},
    };
    for (const Case& c : cases) {
        char text[32];
        snprintf(text, sizeof(text), "%s", c.in);
        int n = skel::VarEval(h, text, keys, sizeof(keys) / sizeof(keys[0]));
        EXPECT_STREQ(c.out, text) << c.in;
        EXPECT_EQ(strcmp(c.in, c.out) == 0 ? -1 : (int)strlen(c.out), n) << c.in;
    }
    EXPECT_EQ(-1, skel::VarEval(h, nullptr, keys, 1));
}

}  // namespace
