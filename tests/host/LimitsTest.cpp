// The host's limit check: definition rows in, alarm bits out.
#include <map>
#include <vector>

#include "Limits.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace {

using qxhost::LimitRow;

TEST(Limits, OneValueAgainstItsRow) {
    struct Case {
        LimitRow row;
        int value;
        bool out;
    } cases[] = {
        {{1, 0, 100, 200}, 999, false},   // kind 0: never checked
        {{1, 1, 0, 0}, 0, false},         // a state field at rest
        {{1, 1, 0, 0}, 1, true},          // a state field raised
        {{1, 1, 0, 0}, -1, true},
        {{1, 1, 1, 0}, 1, false},         // "1有输入,0断开,一般0报警": a powered input
        {{1, 1, 1, 0}, 0, true},          // the input gone
        {{1, 1, 1, 0}, 2, true},
        {{1, 1, 255, 0}, 255, false},     // an alarm byte with "255 无异常"
        {{1, 1, 255, 0}, 254, true},
        {{1, 1, 255, 0}, 0, true},
        {{1, 1, 1, 3}, 3, false},         // a code with a range of normal values
        {{1, 1, 1, 3}, 4, true},
        {{1, 1, 1, 3}, 0, true},
        {{1, 10, 2000, 2350}, 2000, false},  // limits themselves are inside
        {{1, 10, 2000, 2350}, 2350, false},
        {{1, 10, 2000, 2350}, 1999, true},
        {{1, 10, 2000, 2350}, 2351, true},
        {{1, 6, 2000, 2350}, 2400, true},    // every other kind is a range
        {{1, 10, 300, 0}, 299, true},        // no upper bound when high is not above low
        {{1, 10, 300, 0}, 100000, false},
        {{1, 10, 0, 0}, 5, false},
        {{1, 10, -400, 800}, -401, true},    // negative temperatures in tenths
        {{1, 10, -400, 800}, -400, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.out, qxhost::OutOfLimits(c.row, c.value))
            << "kind " << c.row.almKind << " [" << c.row.low << "," << c.row.high << "] value " << c.value;
}

TEST(Limits, BitsByFieldNumber) {
    std::vector<LimitRow> rows = {
        {1, 1, 0, 0}, {3, 10, 0, 100}, {32, 1, 0, 0}, {33, 1, 0, 0}, {33, 10, 0, 5},
        {40, 1, 0, 0},  // beyond the handler's value count
        {0, 1, 0, 0},   // field 0 is no field
    };
    std::map<int, int> values = {{1, 1}, {3, 101}, {32, 1}, {33, 7}, {40, 1}, {0, 1}};
    std::vector<int32_t> bits;
    int n = qxhost::CheckLimits(rows, 35, [&](int f) { return values[f]; }, bits);
    EXPECT_EQ(4, n);  // field 33 counts once for its two rows
    ASSERT_EQ(2u, bits.size());
    EXPECT_EQ((int32_t)0x80000005u, bits[0]);
    EXPECT_EQ(1, bits[1]);

    // A handler without values still gets a word: null alarm bits mean "no answer".
    n = qxhost::CheckLimits(rows, 0, [&](int f) { return values[f]; }, bits);
    EXPECT_EQ(0, n);
    EXPECT_EQ(std::vector<int32_t>{0}, bits);
}

TEST(Limits, RowsOfTheTypesDefaultValueDefinitions) {
    TestDb db;
    // Type, SID, Fld, FldName, Kind, Note, Rsv, Ratio, AlmKind, vref, LoText, HiLmt, HiText, Cell, ANote
    db.Run("insert into tbSMDef values(768,0,1,'Vin1',1,'v',0,10,6,2000,'',2350,'',0,NULL)");
    db.Run("insert into tbSMDef values(768,0,4,'Fin',1,'f',0,10,0,490,'',510,'',0,NULL)");  // not checked
    db.Run("insert into tbSMDef values(768,0,11,'b7',1,'b',0,1,1,0,'',0,'',0,NULL)");
    db.Run("insert into tbSMDef values(768,0,0,'',2,'group',0,1,1,0,'',0,'',0,NULL)");      // group row
    db.Run("insert into tbSMDef values(768,0,13,'D1',2,'contact',0,1,1,0,'',0,'',0,NULL)");  // row kind 2
    db.Run("insert into tbSMDef values(768,0,14,'K1',3,'output',0,1,1,1,'',0,'',0,NULL)");   // row kind 3
    db.Run("insert into tbSMDef values(768,5,1,'Vin1',1,'v',0,10,6,0,'',9,'',0,NULL)");     // not SID 0
    db.Run("insert into tbSMDef values(769,0,1,'Vin1',1,'v',0,10,6,0,'',9,'',0,NULL)");     // other type
    std::vector<LimitRow> rows = qxhost::LoadLimits(db, 768);
    // Rows of every row kind take part; the group row (field 0) does not.
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(1, rows[0].fld);
    EXPECT_EQ(6, rows[0].almKind);
    EXPECT_EQ(2000, rows[0].low);
    EXPECT_EQ(2350, rows[0].high);
    EXPECT_EQ("Vin1", rows[0].name);
    EXPECT_EQ(11, rows[1].fld);
    EXPECT_EQ(1, rows[1].almKind);
    EXPECT_EQ(13, rows[2].fld);
    EXPECT_EQ("D1", rows[2].name);
    EXPECT_EQ(14, rows[3].fld);
    EXPECT_EQ(1, rows[3].low);
}

}  // namespace
