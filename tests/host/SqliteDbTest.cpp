// The host's database as the library calls it, slot by slot.
#include "SqliteDb.h"

#include <sqlite3.h>

#include <string>

#include "Plugins.h"
#include "gtest/gtest.h"

namespace {

struct DbFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(db.Open(":memory:")) << db.Error();
        ASSERT_TRUE(db.CreateHostTables()) << db.Error();
    }
    qxhost::SqliteDb db;
};

TEST_F(DbFixture, HostTablesExistAndCreatingThemAgainIsHarmless) {
    for (const char* t : {"tbSMType", "tbSMDef", "tbSMDefVal", "tbSubSysDetail", "tbSMBrief"})
        EXPECT_TRUE(db.TableExists(t)) << t;
    EXPECT_FALSE(db.TableExists("tbNothing"));
    EXPECT_FALSE(db.TableExists("tbSMType' or '1'='1"));
    EXPECT_TRUE(db.CreateHostTables());
}

TEST_F(DbFixture, DefinitionRowTakesFifteenPositionalValues) {
    ASSERT_EQ(0, db.Exec("insert into tbSMDef values(1026,0,1,'BT100_Itm',1,'cap',0,1,0,20,"
                         "'low',0,'',0,NULL)"));
    EXPECT_EQ(20, db.QueryInt("select vref from tbSMDef where Type=1026 and FldName='BT100_Itm'"));
    EXPECT_EQ(1, db.QueryInt("select count(*) from tbSMDef where ANote is null"));
    EXPECT_STREQ("cap", db.QueryStr("select Note from tbSMDef where Type=1026 and Fld=1"));
    // The engines' short form names the middle values itself.
    EXPECT_EQ(0, db.Exec("insert into tbSMDef values(4608,0,3,'T',1,'t',0,10,0,0,'',0,'',0,NULL)"));
    EXPECT_EQ(0, db.Exec("insert into tbSMDefVal(SID,Fld,ANote,Type) values(1,2,'x',4608)"));
}

TEST_F(DbFixture, ExecResultAndFailures) {
    EXPECT_EQ(0, db.Exec("insert into tbSMBrief(SID,Brief) values(1,'a')"));
    EXPECT_EQ(1, db.LastInsertId());
    EXPECT_EQ(0, db.Exec("insert into tbSMBrief(SID,Brief) values(9,'b')"));
    EXPECT_EQ(9, db.LastInsertId());
    EXPECT_NE(0, db.Exec("insert into tbNothing values(1)"));
    EXPECT_NE(0, db.Exec(nullptr));
    EXPECT_EQ(2, db.Failures());
    EXPECT_FALSE(db.Error().empty());
    EXPECT_EQ(0, db.Exec("update tbSMBrief set St=1 where SID=12345"));  // no row: no error
}

TEST_F(DbFixture, SingleValueQueries) {
    db.Exec("insert into tbSMBrief(SID,Brief) values(1,'one'),(2,NULL)");
    EXPECT_EQ(2, db.QueryInt("select count(*) from tbSMBrief"));
    EXPECT_EQ(0, db.QueryInt("select count(*) from tbNothing"));
    struct Case {
        const char* sql;
        const char* text;
    } cases[] = {
        {"select Brief from tbSMBrief where SID=1", "one"},
        {"select Brief from tbSMBrief where SID=2", ""},   // NULL
        {"select Brief from tbSMBrief where SID=3", ""},   // no row
        {"select Brief from tbNothing", ""},               // error
    };
    for (const Case& c : cases) {
        const char* r = db.QueryStr(c.sql);
        ASSERT_NE(nullptr, r) << c.sql;
        EXPECT_STREQ(c.text, r) << c.sql;
    }
}

TEST_F(DbFixture, RowWalkByColumnName) {
    db.Exec("insert into tbSMDefVal(SID,Fld,ANote,Type) values(1,1,'a',5),(1,2,'b',5),(2,1,NULL,5)");
    void* h = db.Query("select SID,Fld,ANote from tbSMDefVal where Type=5 order by SID,Fld", -1);
    ASSERT_NE(nullptr, h);
    std::string seen;
    int rows = 0;
    while (!db.Eof(h)) {
        seen += std::to_string(db.GetInt(h, "SID")) + "." + std::to_string(db.GetInt(h, "fld")) +
                "=" + db.GetStr(h, "ANote") + ";";
        EXPECT_EQ(0, db.GetInt(h, "NoSuchColumn"));
        EXPECT_STREQ("", db.GetStr(h, "NoSuchColumn"));
        db.Next(h);
        ASSERT_LT(++rows, 10);
    }
    EXPECT_EQ("1.1=a;1.2=b;2.1=;", seen);
    EXPECT_EQ(1, db.Eof(h));
    EXPECT_EQ(0, db.Next(h));
    db.FreeResult(h);

    void* empty = db.Query("select SID from tbSMDefVal where Type=99", -1);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(1, db.Eof(empty));
    EXPECT_EQ(0, db.GetInt(empty, "SID"));
    db.FreeResult(empty);

    EXPECT_EQ(nullptr, db.Query("select broken from", -1));
    EXPECT_EQ(1, db.Eof(nullptr));
    db.FreeResult(nullptr);
}

TEST(SqliteDb, UnopenedDatabaseFailsCleanly) {
    qxhost::SqliteDb db;
    EXPECT_NE(0, db.Exec("select 1"));
    EXPECT_EQ(0, db.QueryInt("select 1"));
    EXPECT_STREQ("", db.QueryStr("select 'x'"));
    EXPECT_EQ(nullptr, db.Query("select 1", -1));
    EXPECT_EQ(0, db.TableExists("tbSMDef"));
    EXPECT_FALSE(db.CreateHostTables());
    EXPECT_FALSE(db.Open("/nonexistent-dir/x/y.db"));
    EXPECT_FALSE(db.Error().empty());
}

TEST(Plugins, LoaderBindsByNameAndReportsWhatIsMissing) {
    qxhost::SmPlugin sm;
    ASSERT_TRUE(sm.Load(QXSM_PATH)) << sm.Error();
    EXPECT_NE(nullptr, sm.DllNote);
    sm.Unload();
    EXPECT_EQ(nullptr, sm.DllNote);
    // The driver library is not a channel library: its channel exports are missing.
    qxhost::SerPlugin ser;
    EXPECT_FALSE(ser.Load(QXSM_PATH));
    EXPECT_NE(std::string::npos, ser.Error().find("GetSerManager")) << ser.Error();
    EXPECT_EQ(nullptr, ser.Handle());
    EXPECT_EQ(nullptr, ser.DllType);
}

}  // namespace
