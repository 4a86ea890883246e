// The shared statements, checked on the rows they leave in a real SQLite database.
#include "SMSql.h"

#include <string.h>

#include <string>

#include "GbkText.h"
#include "PointItem.h"
#include "SMBase.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace sql = qx::sql;

namespace {

TEST(SqlText, EscapeDoublesSingleQuotes) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},           {"plain", "plain"}, {"it's", "it''s"},
        {"'", "''"},        {"''x'", "''''x''"}, {"a\"b", "a\"b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.out, sql::Esc(c.in)) << c.in;
        char buf[32];
        EXPECT_EQ(buf, sql::EscTo(buf, sizeof(buf), c.in));
        EXPECT_STREQ(c.out, buf);
    }
    EXPECT_EQ("", sql::Esc(nullptr));
    // The bounded form never splits a doubled quote and never overruns.
    char small[4];
    EXPECT_EQ(nullptr, sql::EscTo(small, sizeof(small), "ab'"));
    EXPECT_STREQ("", small);
    EXPECT_EQ(small, sql::EscTo(small, sizeof(small), "a'"));
    EXPECT_STREQ("a''", small);
}

TEST(SqlText, StatementThatDoesNotFitIsNotRun) {
    TestDb db;
    db.Run("insert into tbSMBrief(SID,Brief) values(1,'old')");
    int dropped = sql::Dropped();
    int statements = db.Statements();
    std::string big(3100, 'x');
    EXPECT_EQ(-1, sql::UpdBrief(&db, 1, big.c_str()));
    EXPECT_EQ(dropped + 1, sql::Dropped());
    EXPECT_EQ(statements, db.Statements());  // nothing reached the database
    EXPECT_EQ("old", db.Str("select Brief from tbSMBrief where SID=1"));
    EXPECT_EQ(nullptr, sql::Format("%s", big.c_str()));
    EXPECT_STREQ("", CSMBase::m_buffer);

    // Quotes count: a text that fits only unescaped does not fit.
    std::string quotes(1600, '\'');
    EXPECT_EQ(-1, sql::UpdBrief(&db, 1, quotes.c_str()));
    EXPECT_EQ("old", db.Str("select Brief from tbSMBrief where SID=1"));

    // The largest statement that fits runs.
    const char* head = "update tbSMBrief set Brief='";
    const char* tail = "' where SID=1";
    std::string fit(3071 - strlen(head) - strlen(tail), 'y');
    EXPECT_EQ(0, sql::Exec(&db, "%s%s%s", head, fit.c_str(), tail));
    EXPECT_EQ(fit, db.Str("select Brief from tbSMBrief where SID=1"));
}

TEST(SqlText, RunnersWithoutDatabase) {
    char out[8] = "stale";
    EXPECT_EQ(-1, sql::Exec(nullptr, "select 1"));
    EXPECT_EQ(-1, sql::Count(nullptr, "select 1"));
    EXPECT_EQ(0, sql::Text(nullptr, out, sizeof(out), "select 1"));
    EXPECT_STREQ("", out);
    TestDb db;
    EXPECT_EQ(1, sql::Text(&db, out, sizeof(out), "select Note from tbSMDef where Type=%d", 1));
    EXPECT_STREQ("", out);  // no row reads as empty
    EXPECT_EQ(1, sql::Text(&db, out, sizeof(out), "select '%s'", "0123456789"));
    EXPECT_STREQ("0123456", out);  // bounded copy
}

TEST(SqlCols, BuildsUpdateAndInsertLists) {
    sql::Cols c;
    EXPECT_TRUE(c.Empty());
    c.Int("Vin", 2200).Int("Fin", -5).Text("Model", "O'Neil").Null("X");
    EXPECT_EQ("Vin=2200,Fin=-5,Model='O''Neil',X=NULL", c.Assign());
    EXPECT_EQ("Vin,Fin,Model,X", c.Names());
    EXPECT_EQ("2200,-5,'O''Neil',NULL", c.Values());
    const char* names[] = {"A", "B"};
    EXPECT_EQ(",A INTEGER,B INTEGER", sql::IntColumns(names, 2));
}

// A handler described by tables, as the drivers are.
class TableHandler : public CSMBase {
public:
    TableHandler() : CSMBase(0x555) {
        m_iDataCnt = 3;
        snprintf(m_note, sizeof(m_note), "%s", "QX-T'EST");
    }
    static const sql::DefRow kDefs[3];
    static const sql::TypeRow kType;
    static const sql::Field<TableHandler> kFields[3];
    static const sql::TableDef kTables[1];

    void RegDb(IDbBase* db, int force) override { sql::RegDb(*this, db, force, kType, kDefs, 3); }
    int ChkDb(tagSMItem* item) override { return sql::ChkDb(*this, kTables, 1, item, "tbTest"); }
    int DataVal(int f) override { return f >= 1 && f <= 3 ? v[f - 1] : -1; }
    int DataUpd(int flags, int* bits, int* snap, int sid, IDbBase* hist) override {
        sql::Cols cols = sql::ColsOf(*this, kFields, 3);
        sql::PollRow row = {"tbTest", &cols, brief.c_str(), briefState, alarmText};
        return sql::StorePoll(*this, row, flags, bits, snap, sid, hist);
    }
    int v[3] = {10, 20, 30};
    std::string brief = "Normal";
    bool briefState = false;
    bool alarmText = false;
};

const sql::DefRow TableHandler::kDefs[3] = {
    {1, "A", 1, "Cap'A", 10, 1, 0, "min|low'er", 100, "max|high", 0},
    {2, "B", 1, "CapB", 1, 0, -5, "", 5, "", 0},
    {3, "C", 3, "CapC", 100, 2, 1, "1 on", 0, "", -1},
};
const sql::TypeRow TableHandler::kType = {1280, "TEST", "desc 'quoted'"};
const sql::Field<TableHandler> TableHandler::kFields[3] = {
    {"A", [](const TableHandler& h) { return h.v[0]; }},
    {"B", [](const TableHandler& h) { return h.v[1]; }},
    {"C", [](const TableHandler& h) { return h.v[2]; }},
};
const std::string kTestColumns = std::string(sql::kHead) + ",A INTEGER,B INTEGER,C INTEGER";
const sql::TableDef TableHandler::kTables[1] = {{"tbTest", kTestColumns.c_str()}};

std::string DefRows(TestDb& db) {
    std::string s;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.Handle(),
                       "select Type,SID,Fld,FldName,Kind,Note,Rsv,Ratio,AlmKind,vref,LoText,HiLmt,"
                       "HiText,Cell,ifnull(ANote,'NULL') from tbSMDef order by rowid",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < 15; i++) {
            s += (const char*)sqlite3_column_text(st, i);
            s += i < 14 ? "|" : "\n";
        }
    }
    sqlite3_finalize(st);
    return s;
}

const char kExpectedDefs[] =
    "1365|0|1|A|1|Cap'A|0|10|1|0|min|low'er|100|max|high|0|NULL\n"
    "1365|0|2|B|1|CapB|0|1|0|-5||5||0|NULL\n"
    "1365|0|3|C|3|CapC|0|100|2|1|1 on|0||-1|NULL\n";

TEST(SqlRegister, TypeAndDefinitionRows) {
    TestDb db;
    TableHandler h;
    h.RegDb(&db, 0);
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType"));
    EXPECT_EQ("1365|1280|TEST QX-T'EST|desc 'quoted'",
              db.Str("select Type||'|'||Kind||'|'||Name||'|'||Note from tbSMType"));
    EXPECT_EQ(kExpectedDefs, DefRows(db));

    // Again without force: nothing changes, not even an edited row.
    db.Run("update tbSMDef set HiLmt=999 where Fld=1");
    h.RegDb(&db, 0);
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType"));
    EXPECT_EQ(3, db.Int("select count(*) from tbSMDef"));
    EXPECT_EQ(999, db.Int("select HiLmt from tbSMDef where Fld=1"));

    // With force the rows are deleted and written again; the type row stays single.
    h.RegDb(&db, 1);
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType"));
    EXPECT_EQ(kExpectedDefs, DefRows(db));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST(SqlRegister, FamilyWordIsOptional) {
    TestDb db;
    sql::TypeRow row = {768, "", "d"};
    EXPECT_EQ(1, sql::RegType(&db, 0x309, "QX-UPS", row));
    EXPECT_EQ(0, sql::RegType(&db, 0x309, "QX-UPS", row));
    EXPECT_EQ("QX-UPS", db.Str("select Name from tbSMType where Type=777"));
}

TEST(SqlRegister, PointRegistrationTwiceKeepsState) {
    TestDb db;
    TableHandler h;
    h.SetDb(&db, 0);
    qxhost::PointItem item(21, 0x555);
    item.Port(3).Addr(7);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ("21|1365|3|7|-1", db.Str("select SID||'|'||Type||'|'||Port||'|'||Addr||'|'||State "
                                       "from tbTest"));
    EXPECT_EQ(1, db.Int("select count(*) from tbTest where DateUpd is not null"));
    // The summary row exists before the first update.
    EXPECT_EQ(1, db.Int("select count(*) from tbSMBrief where SID=21 and LastUpd is not null"));

    db.Run("update tbTest set State=1");
    item.Port(4).Addr(8);
    item.Ptr()->Type = 0x556;
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ(1, db.Int("select count(*) from tbTest"));
    EXPECT_EQ("21|1366|4|8|1", db.Str("select SID||'|'||Type||'|'||Port||'|'||Addr||'|'||State "
                                      "from tbTest"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMBrief"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST(SqlRegister, ChkDbCreatesTablesInBothDatabases) {
    TestDb main, hist;
    TableHandler h;
    EXPECT_EQ(0, h.ChkDb(nullptr));  // no main database
    EXPECT_FALSE(main.TableExists("tbTest"));
    h.SetDb(&main, 0);
    h.SetDb(&hist, 1);
    EXPECT_EQ(1, h.ChkDb(nullptr));
    EXPECT_TRUE(main.TableExists("tbTest"));
    EXPECT_TRUE(hist.TableExists("tbTest"));
    EXPECT_EQ(0, main.Int("select count(*) from tbTest"));
    EXPECT_EQ(1, h.ChkDb(nullptr));  // nothing to create
    // The point's row goes to the main database only.
    qxhost::PointItem item(5, 0x555);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ(1, main.Int("select count(*) from tbTest"));
    EXPECT_EQ(0, hist.Int("select count(*) from tbTest"));
    EXPECT_EQ(0, hist.Int("select count(*) from tbSMBrief"));
    // A create that fails is reported.
    static const sql::TableDef bad[1] = {{"tbBad", "this is not sql("}};
    CSMBase b(1);
    b.SetDb(&main, 0);
    EXPECT_EQ(0, sql::ChkDb(b, bad, 1, nullptr, "tbBad"));
}

struct PollFixture : ::testing::Test {
    void SetUp() override {
        h.SetDb(&db, 0);
        ASSERT_EQ(1, h.ChkDb(item));
        h.RegDb(&db, 0);
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(21,1365,-1)");
        h.DoItem(item, 0);
    }
    std::string Current() {
        return db.Str("select State||'|'||SnapID||'|'||A||'|'||B||'|'||C from tbTest where SID=21");
    }
    TestDb db;
    TableHandler h;
    qxhost::PointItem item{21, 0x555};
};

TEST_F(PollFixture, StateAndSnapIdFromTheHostsArguments) {
    struct Case {
        int flags;
        bool bits;
        bool snap;
        int state, snapId;
    } cases[] = {
        {0, true, false, 0, 0},  {1, true, false, 1, 0},   {0, false, false, 2, 0},
        {1, false, false, 1, 0}, {16, true, true, 0, 77},  {17, true, true, 1, 77},
        {16, true, false, 0, 0}, {0, true, true, 0, 0},    {16, false, true, 2, 77},
    };
    for (const Case& c : cases) {
        int bits[1] = {0};
        int snap = 77;
        EXPECT_EQ(1, h.DataUpd(c.flags, c.bits ? bits : nullptr, c.snap ? &snap : nullptr, -1,
                               nullptr));
        std::string where = "flags " + std::to_string(c.flags) + (c.bits ? " bits" : "") +
                            (c.snap ? " snap" : "");
        EXPECT_EQ(std::to_string(c.state) + "|" + std::to_string(c.snapId) + "|10|20|30",
                  Current())
            << where;
        EXPECT_EQ(c.state, db.Int("select State from tbSubSysDetail where SID=21")) << where;
        EXPECT_EQ(1, db.Int("select count(*) from tbSubSysDetail where LastUpd is not null"));
    }
    // The last poll had no answer: its summary says so instead of the handler's text.
    EXPECT_EQ(Hex(qxtest::Gbk("通讯中断")), Hex(db.Str("select Brief from tbSMBrief where SID=21")));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST(SqlPoll, NoAnswerSummaryNamesTheLostLinkOnly) {
    struct Case {
        const char* head;
        const char* text;
    } cases[] = {
        {nullptr, "通讯中断"},
        {"", "通讯中断"},
        {"\xbf\xd5\xb5\xf7(\xb9\xca\xd5\xcf)", "空调(故障),通讯中断"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hex(qxtest::Gbk(c.text)), Hex(sql::NoAnswerBrief(c.head))) << (c.head ? c.head : "null");
}

TEST_F(PollFixture, HistoryRowOnlyWithAHistoryDatabase) {
    TestDb hist;
    hist.Run("create table tbTest(" + kTestColumns + ")");
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(0, hist.Int("select count(*) from tbTest"));
    h.v[1] = -7;
    EXPECT_EQ(1, h.DataUpd(1, bits, nullptr, -1, &hist));
    EXPECT_EQ(1, hist.Int("select count(*) from tbTest"));
    EXPECT_EQ("21|1|0|10|-7|30",
              hist.Str("select SID||'|'||State||'|'||SnapID||'|'||A||'|'||B||'|'||C from tbTest"));
    EXPECT_EQ(1, hist.Int("select count(*) from tbTest where DateUpd is not null"));
    // The main database keeps one current row.
    EXPECT_EQ(1, db.Int("select count(*) from tbTest"));
    EXPECT_EQ(0, db.Int("select count(*) from tbTest where SID<>21"));
    // A history database without the table: the last statement failed.
    TestDb bare;
    EXPECT_EQ(0, h.DataUpd(0, bits, nullptr, -1, &bare));
}

TEST_F(PollFixture, ExplicitSidAndThePointsType) {
    qxhost::PointItem other(22, 0x555);
    h.SetDb(&db, 0);
    ASSERT_EQ(1, h.ChkDb(other));
    db.Run("insert into tbSubSysDetail(SID,Type,State) values(22,1365,-1)");
    db.Run("insert into tbSubSysDetail(SID,Type,State) values(21,4096,-1)");
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(1, bits, nullptr, 22, nullptr));  // current point 21, sid 22
    EXPECT_EQ(1, db.Int("select State from tbTest where SID=22"));
    EXPECT_EQ(-1, db.Int("select State from tbTest where SID=21"));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=22"));
    // The state row is the one of the point's Type, never of another type.
    EXPECT_EQ(1, h.DataUpd(1, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=21 and Type=1365"));
    EXPECT_EQ(-1, db.Int("select State from tbSubSysDetail where SID=21 and Type=4096"));
}

TEST_F(PollFixture, MissingStateRowIsNotAnError) {
    db.Run("delete from tbSubSysDetail");
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(0, db.Int("select count(*) from tbSubSysDetail"));
    EXPECT_EQ(0, sql::UpdState(&db, 1, 99, 1));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST_F(PollFixture, SummaryKeepsQuotesAndCarriesAlarmText) {
    h.brief = "pt 'A' ok";
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ("pt 'A' ok", db.Str("select Brief from tbSMBrief where SID=21"));
    EXPECT_EQ("<null>", db.Str("select St from tbSMBrief where SID=21"));

    h.briefState = true;
    h.alarmText = true;
    h.brief = "UPS ";
    bits[0] = 0x5;  // fields 1 and 3
    EXPECT_EQ(1, h.DataUpd(1, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, db.Int("select St from tbSMBrief where SID=21"));
    EXPECT_EQ(Hex("UPS " + Unhex("b8e6beaf3a") + "Cap'A CapC"),
              Hex(db.Str("select Brief from tbSMBrief where SID=21")));
    // Without an answer there are no bits, no alarm text and not the handler's text.
    EXPECT_EQ(1, h.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ(2, db.Int("select St from tbSMBrief where SID=21"));
    EXPECT_EQ(Hex(qxtest::Gbk("通讯中断")), Hex(db.Str("select Brief from tbSMBrief where SID=21")));
}

TEST_F(PollFixture, ItemNameWithQuoteReachesTheSummary) {
    item.Name("Room 'B' UPS");
    h.brief = std::string(item.Get().ItemName) + ": ok";
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ("Room 'B' UPS: ok", db.Str("select Brief from tbSMBrief where SID=21"));
    // The summary may be composed in the shared buffer itself.
    snprintf(CSMBase::m_buffer, sizeof(CSMBase::m_buffer), "%s", "it's m_buffer");
    EXPECT_EQ(0, sql::UpdBrief(&db, 21, CSMBase::m_buffer, 0));
    EXPECT_EQ("it's m_buffer", db.Str("select Brief from tbSMBrief where SID=21"));
}

TEST_F(PollFixture, WithoutMainDatabaseOnlyHistoryIsWritten) {
    TestDb hist;
    hist.Run("create table tbTest(" + kTestColumns + ")");
    h.m_pDb = nullptr;
    int bits[1] = {0};
    EXPECT_EQ(0, h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, &hist));
    EXPECT_EQ(1, hist.Int("select count(*) from tbTest"));
    EXPECT_EQ(-1, db.Int("select State from tbTest where SID=21"));
    // Without a current point nothing is written.
    h.m_pDb = &db;
    h.DoItem(nullptr, 0);
    EXPECT_EQ(0, h.DataUpd(0, bits, nullptr, -1, &hist));
    EXPECT_EQ(1, hist.Int("select count(*) from tbTest"));
}

TEST_F(PollFixture, ValuesTooLongForTheBufferAreNotWritten) {
    sql::Cols cols;
    std::string text(3000, 'z');
    cols.Int("A", 5).Text("Note", text.c_str());
    EXPECT_EQ(-1, sql::UpdCurrent(&db, "tbTest", 0, 0, cols, 21));
    EXPECT_EQ(-1, db.Int("select State from tbTest where SID=21"));
}

TEST(SqlPoll, FieldAlarmBits) {
    int bits[2] = {(int)0x80000001u, 0x2};
    struct Case {
        int field;
        bool set;
    } cases[] = {{1, true}, {2, false}, {32, true}, {33, false}, {34, true}, {0, false}};
    for (const Case& c : cases) EXPECT_EQ(c.set, sql::FieldAlarm(bits, c.field)) << c.field;
    EXPECT_FALSE(sql::FieldAlarm(nullptr, 1));
}

TEST(SqlPoll, KeptAlarmBitsCoverEveryFieldOfTheHandler) {
    // A point marked in alarm without bits of the host's: zeroed words for every field a
    // handler of that many fields reads (each word read, so that a short array shows under the
    // sanitizer); given bits stay; no answer stays null.
    struct Case {
        int fields;
        size_t words;
    } cases[] = {{26, 1}, {32, 1}, {33, 2}, {35, 2}, {63, 2}, {64, 2}, {65, 3}, {0, 1}};
    for (const Case& c : cases) {
        std::vector<int> zeros;
        int* bits = sql::KeptAlarmBits(1, nullptr, c.fields, zeros);
        ASSERT_EQ(zeros.data(), bits) << c.fields;
        ASSERT_EQ(c.words, zeros.size()) << c.fields;
        for (int f = 1; f <= c.fields; f++) EXPECT_FALSE(sql::FieldAlarm(bits, f)) << c.fields << "/" << f;
    }
    std::vector<int> zeros;
    int given[2] = {4, 0};
    EXPECT_EQ(given, sql::KeptAlarmBits(1, given, 35, zeros));
    EXPECT_EQ(given, sql::KeptAlarmBits(0, given, 35, zeros));
    EXPECT_EQ(nullptr, sql::KeptAlarmBits(0, nullptr, 35, zeros));
    EXPECT_TRUE(zeros.empty());
}

TEST(SqlPoll, FieldStateRowsByDetailMode) {
    TestDb db;
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(8,2304,1,0,0)");
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(0,0,2,8,0)");
    db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(8,2304,0,0,0)");
    qxhost::PointItem byType(8, 2304);
    byType.DetailMode(2);
    qxhost::PointItem bySidd(8, 2304);
    struct Case {
        const tagSMItem* item;
        int fld, result;
        const char* where;
    } cases[] = {
        {&byType.Get(), 1, 1, "SID=8 and Type=2304 and Fld=1"},
        {&byType.Get(), 2, 0, nullptr},
        {&bySidd.Get(), 2, 1, "SIDD=8 and Fld=2"},
        {&bySidd.Get(), 1, 0, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, sql::UpdFieldState(&db, *c.item, c.fld, 1)) << c.fld;
        if (c.where) {
            EXPECT_EQ(1, db.Int(std::string("select State from tbSubSysDetail where ") + c.where));
        }
    }
    EXPECT_EQ(2, db.Int("select count(*) from tbSubSysDetail where State=1"));
}

TEST(SqlPoll, ErrGateWritesOnlyTheThirdPollWithoutAnswerAndEveryAlarm) {
    CSMBase h(1);
    struct Step {
        int state;
        bool write;
        int count;
    } steps[] = {{2, false, 1}, {2, false, 2}, {2, true, 0}, {1, true, 0}, {1, true, 0},
                 {0, true, 0},  {2, false, 1}, {2, false, 2}, {1, true, 0}, {2, false, 1},
                 {0, true, 0}};
    std::map<int, int> bySid;
    int i = 0;
    for (const Step& s : steps) {
        EXPECT_EQ(s.write, sql::ErrGate(h, bySid, 7, s.state)) << "step " << i;
        EXPECT_EQ(s.count, h.m_iErrCnt) << "step " << i;
        i++;
    }
}

TEST(SqlPoll, ErrGateCountsEachPointApart) {
    // A dead point polled between the polls of a healthy one of the same type still reaches
    // its third abnormal poll; one shared count would be reset by the healthy point every time.
    CSMBase h(1);
    std::map<int, int> bySid;
    for (int round = 1; round <= 3; round++) {
        EXPECT_TRUE(sql::ErrGate(h, bySid, 1, 0)) << round;
        EXPECT_EQ(round == 3, sql::ErrGate(h, bySid, 2, 2)) << round;
    }
}

TEST(SqlReads, NotesVrefAndCaption) {
    TestDb db;
    db.Run("insert into tbSMDef(Type,SID,Fld,FldName,Note,vref,ANote) values(1026,0,1,'BT100_Itm',"
           "'it''s',20,NULL)");
    db.Run("insert into tbSMDef(Type,SID,Fld,FldName,ANote) values(1026,0,2,'X','door')");
    db.Run("insert into tbSMDef(Type,SID,Fld,FldName,ANote) values(1026,0,3,'Y','')");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(5,2,'front door',1026)");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(5,3,'',1026)");
    db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(6,2,'other type',1027)");
    std::map<int64_t, std::string> notes;
    notes[7001] = "kept";
    EXPECT_EQ(2, sql::ReadNotes(&db, 1026, notes));
    std::map<int64_t, std::string> want = {{2, "door"}, {5002, "front door"}, {7001, "kept"}};
    EXPECT_EQ(want, notes);

    int vref = 0;
    EXPECT_EQ(1, sql::DefVref(&db, 1026, &vref));
    EXPECT_EQ(20, vref);
    EXPECT_EQ(0, sql::DefVref(&db, 1028, &vref));
    EXPECT_EQ(-1, sql::DefVref(nullptr, 1026, &vref));

    char cap[16];
    EXPECT_EQ(1, sql::DefNote(&db, 1026, 1, cap, sizeof(cap)));
    EXPECT_STREQ("it's", cap);
}

TEST(SqlTrim, KeepsTheNewestRows) {
    TestDb db;
    db.Run("create table tbLog(DID INTEGER PRIMARY KEY,DateUpd DATETIME,State INTEGER)");
    db.Run("with recursive n(i) as (select 1 union all select i+1 from n where i<1200) "
           "insert into tbLog(DateUpd,State) select datetime('2020-01-01',i||' minutes'),"
           "case when i%2=0 then 1 else 0 end from n");
    EXPECT_EQ(0, sql::Trim(&db, "tbLog"));
    EXPECT_EQ(1000, db.Int("select count(*) from tbLog"));
    EXPECT_EQ(201, db.Int("select min(DID) from tbLog"));
    EXPECT_EQ(1200, db.Int("select max(DID) from tbLog"));

    // The form that trims only alarm rows.
    EXPECT_EQ(0, sql::Trim(&db, "tbLog", "State=1", 10));
    EXPECT_EQ(500, db.Int("select count(*) from tbLog where State=0"));
    EXPECT_EQ(5, db.Int("select count(*) from tbLog where State=1"));
}

}  // namespace
