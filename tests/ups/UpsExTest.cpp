// The three-phase UPS base: field numbering of the record, the definition rows, the current
// row and the history row it stores, the summary with its divisor, the display keys.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "PointItem.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "ups/SMUpsBase.h"

namespace {

// The base with the helpers a driver uses made reachable.
struct UpsEx : CSMUpsBase {
    UpsEx() : CSMUpsBase(0x3F0) {}
    using CSMUpsBase::ClearRange;
    using CSMUpsBase::Field;
    using CSMUpsBase::PackStatus;
};

// Every int32 of the record (values and reserved block) gets 1000 + its index, so each
// field shows where it was read from.
void FillDistinct(UpsExRecord& r) {
    int32_t* p = reinterpret_cast<int32_t*>(&r);
    size_t n = offsetof(UpsExRecord, company) / sizeof(int32_t);
    for (size_t i = 0; i < n; i++) p[i] = (int32_t)(1000 + i);
    snprintf(r.company, sizeof r.company, "ACME");
    snprintf(r.mode, sizeof r.mode, "UPS-3");
    snprintf(r.version, sizeof r.version, "V1.0");
}

struct Rig {
    Rig() : item(31, 0x3F0), h(new UpsEx) {
        item.Name("UPS-X").Port(2).Addr(1);
        h->SetDb(&db, 0);
        h->SetDb(&hist, 1);
        h->RegDb(&db, 0);
        EXPECT_EQ(1, h->ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(31,1008,-1)");
        h->DoItem(item, 0);
    }
    long long Cur(const std::string& col) {
        return db.Int("select " + col + " from tbUpsEx where SID=31");
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=31"); }

    TestDb db, hist;
    qxhost::PointItem item;
    std::unique_ptr<UpsEx> h;
};

std::string H(const char* s) { return ::Hex(std::string(s)); }

}  // namespace

// ---------------------------------------------------------------- record and field numbers

TEST(UpsEx, StartsEmptyWithItsNoteCountAndDivisor) {
    // Texts are handed out as addresses: the object lives where handlers live.
    std::unique_ptr<UpsEx> hp(new UpsEx);
    UpsEx& h = *hp;
    EXPECT_EQ(0x3F0, h.GetType());
    EXPECT_STREQ("QXUPS-Base", h.GetNote());
    EXPECT_EQ(63, h.DataSize());
    EXPECT_EQ(&h.m_rec, h.Data());
    EXPECT_EQ(10, h.m_iDivisor);
    EXPECT_EQ(0, h.m_flags[0]);
    EXPECT_EQ(0, h.m_flags[1]);
    for (int f = 1; f <= 63; f++)
        if (f < 52 || f > 54) {
            EXPECT_EQ(0, h.DataVal(f)) << f;
        }
    EXPECT_STREQ("", qxhost::TextOfVal(h.DataVal(52)));
}

TEST(UpsEx, FieldNumbersFollowTheDefinitionsNotTheMemoryOrder) {
    std::unique_ptr<UpsEx> hp(new UpsEx);
    UpsEx& h = *hp;
    FillDistinct(h.m_rec);
    const UpsExRecord& r = h.m_rec;
    struct Case {
        int fld;
        int32_t want;
    } cases[] = {
        {0, 0},          {1, r.Vin1},    {3, r.Vin3},     {4, r.Vout1},   {6, r.Vout3},
        {7, r.Iin1},     {9, r.Iin3},    {10, r.Iout1},   {12, r.Iout3},  {13, r.Fin1},
        {16, r.Fout1},   {18, r.Fout3},  {19, r.Pout1},   {21, r.Pout3},  {22, r.Tem},
        {23, r.status},  {24, r.b15},    {31, r.b8},      {39, r.b0},     {40, r.Vbatt},
        {41, r.Pbatt},   {42, r.Mbatt},  {43, r.Ved},     {47, r.Fed},    {48, r.v1},
        {51, r.v4},      {55, r.VB1},    {57, r.VB3},     {58, r.IB1},    {60, r.IB3},
        {61, r.FB1},     {63, r.FB3},    {64, -1},        {-1, -1},       {1000, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, h.DataVal(c.fld)) << "field " << c.fld;
    EXPECT_STREQ("ACME", qxhost::TextOfVal(h.DataVal(52)));
    EXPECT_STREQ("UPS-3", qxhost::TextOfVal(h.DataVal(53)));
    EXPECT_STREQ("V1.0", qxhost::TextOfVal(h.DataVal(54)));
    // No field reaches the reserved block.
    for (int f = 1; f <= 63; f++) {
        int v = h.DataVal(f);
        if (f >= 52 && f <= 54) continue;
        size_t reservedFirst = offsetof(UpsExRecord, reserved) / 4;
        EXPECT_TRUE(v < (int)(1000 + reservedFirst) || v >= (int)(1000 + reservedFirst + 16)) << f;
    }
}

TEST(UpsEx, StatusIsThePlainSumOfTheStateBytes) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int32_t>> bytes;  // field, value
        int32_t status;
    } cases[] = {
        {"b0 one", {{39, 1}}, 1},
        {"b0 E0H", {{39, 0xE0}}, 224},
        {"b15 one", {{24, 1}}, 0x8000},
        {"codes overlap", {{39, 2}, {38, 0}}, 2},
        {"b15 E9H and b0 E1H", {{24, 0xE9}, {39, 0xE1}}, 0xE9 * 0x8000 + 0xE1},
        {"every bit one", {{24, 1}, {25, 1}, {26, 1}, {27, 1}, {28, 1}, {29, 1}, {30, 1}, {31, 1},
                           {32, 1}, {33, 1}, {34, 1}, {35, 1}, {36, 1}, {37, 1}, {38, 1}, {39, 1}},
         0xFFFF},
    };
    for (const Case& c : cases) {
        UpsEx h;
        for (auto& b : c.bytes) *h.Field(b.first) = b.second;
        h.PackStatus();
        EXPECT_EQ(c.status, h.m_rec.status) << c.what;
    }
}

TEST(UpsEx, ClearRangeStopsAtItsLastField) {
    UpsEx h;
    FillDistinct(h.m_rec);
    const int32_t vdc = h.m_rec.Vdc, v1 = h.m_rec.v1;
    h.ClearRange(h.m_rec.Vin1, h.m_rec.VAed);
    EXPECT_EQ(0, h.m_rec.Vin1);
    EXPECT_EQ(0, h.m_rec.b0);
    EXPECT_EQ(0, h.m_rec.reserved[15]);
    EXPECT_EQ(0, h.m_rec.VAed);
    EXPECT_EQ(vdc, h.m_rec.Vdc);
    EXPECT_EQ(v1, h.m_rec.v1);
    EXPECT_STREQ("ACME", h.m_rec.company);
}

TEST(UpsEx, FloatProductsBecomeIntegersOnlyWhenFinite) {
    struct Case {
        double v;
        int32_t want;
    } cases[] = {
        {220.5, 220},      {-220.5, -220},         {0.99, 0},
        {3e9, INT32_MAX},  {-3e9, INT32_MIN},      {__builtin_inf(), INT32_MAX},
        {-__builtin_inf(), INT32_MIN},             {__builtin_nan(""), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, CSMUpsBase::ToInt(c.v)) << c.v;
}

// ---------------------------------------------------------------- display keys

TEST(UpsEx, VarEvalKnowsItsKeysOnly) {
    UpsEx h;
    h.m_rec.Vin1 = 2201;
    h.m_rec.FB3 = 501;
    h.m_rec.Tem = -15;
    h.m_rec.b15 = 0xE9;
    h.m_rec.b0 = 1;
    h.m_rec.Vbatt = 2724;
    h.m_rec.v4 = 7;
    h.m_rec.Mbatt = 30;
    snprintf(h.m_rec.company, sizeof h.m_rec.company, "ACME");
    struct Case {
        const char* key;
        const char* text;  // null: not a key
    } cases[] = {
        {".Vin1", "220.1"}, {".FB3", "50.1"},  {".Tem", "-1.5"},   {".B15", "233"},
        {".B0", "1"},       {".Vbatt", "2724"}, {".V4", "7"},      {".company", "ACME"},
        {".version", ""},   {".Mbatt", nullptr}, {".b15", nullptr}, {".v4", nullptr},
        {"Vin1", nullptr},  {".Vin1 ", nullptr}, {"", nullptr},
    };
    for (const Case& c : cases) {
        char buf[64];
        snprintf(buf, sizeof buf, "%s", c.key);
        int n = h.VarEval(buf);
        if (!c.text) {
            EXPECT_EQ(-1, n) << c.key;
            EXPECT_STREQ(c.key, buf);
        } else {
            EXPECT_EQ((int)strlen(c.text), n) << c.key;
            EXPECT_STREQ(c.text, buf) << c.key;
        }
    }
}

// ---------------------------------------------------------------- registration

TEST(UpsExDb, RegistersTypeAndFortySevenRowsOnceUnlessForced) {
    TestDb db;
    UpsEx h;
    h.RegDb(&db, 0);
    EXPECT_EQ(H("UPS QXUPS-Base"), ::Hex(db.Str("select Name from tbSMType where Type=1008")));
    EXPECT_EQ(768, db.Int("select Kind from tbSMType where Type=1008"));
    EXPECT_EQ(H("UPS 三相输入输出..."), ::Hex(db.Str("select Note from tbSMType where Type=1008")));
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=1008"));
    // Fields without a row.
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=1008 and Fld in "
                        "(19,20,21,23,43,44,45,46,47,48,49,50,51,52,53,54)"));
    // Executed in ascending order of Fld.
    EXPECT_EQ("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,22,24,25,26,27,28,29,30,31,32,33,34,"
              "35,36,37,38,39,40,41,42,55,56,57,58,59,60,61,62,63",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef where Type=1008 "
                     "order by rowid)"));

    db.Run("update tbSMDef set Note='x' where Type=1008");
    h.RegDb(&db, 0);
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=1008"));
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=1008 and Note='x'"));
    h.RegDb(&db, 1);
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=1008"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=1008 and Note='x'"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=1008"));
}

TEST(UpsExDb, DefinitionRowsAsStored) {
    TestDb db;
    UpsEx h;
    h.RegDb(&db, 0);
    struct Row {
        int fld;
        const char* name;
        const char* note;
        int ratio, kind, lo;
        const char* loText;
        int hi;
        const char* hiText;
    } rows[] = {
        {1, "Vin1", "输入电压A", 10, 10, 2000, "最小值|允许最低输入电压,低于此值告警", 2350,
         "最大值|允许最高输入电压,超过此值告警"},
        {9, "Iin3", "输入电流C", 10, 10, 0, "最小值|允许最低输入电流,低于此值告警", 150,
         "最大值|允许最高输入电流,超过此值告警"},
        {22, "Tem", "环境温度", 10, 10, 200, "最小值|允许最低温度,低于此值告警", 650,
         "最大值|允许最高温度,超过此值告警"},
        {24, "b15", "b15", 1, 0, 0, "0:否，1:是", 0, ""},
        {29, "b10", "b10", 1, 0, 0, "0:否，1:是", 0, "0"},
        {30, "b9", "b09", 1, 0, 0, "0:否，1:是", 0, ""},
        {31, "b8", "b08", 1, 0, 0, "0:否，1:是", 0, "0"},
        {37, "b2", "b02", 1, 0, 0, "0:否，1:是", 0, "0"},
        {39, "b0", "b00", 1, 0, 0, "0:否，1:是", 0, "0"},
        {41, "Pbatt", "电池容量", 10, 10, 2000, "最小值|允许最低电池容量,低于此值告警", 2350,
         "最大值|允许最高电池容量,超过此值告警"},
        {42, "Mbatt", "电池剩于时间", 10, 10, 2000, "最小值|允许最低电池剩于时间,低于此值告警", 2350,
         "最大值|允许最高电池剩于时间,超过此值告警"},
        {56, "VB2", "旁路电压B", 10, 10, 2000, "最小值|允许最低输出电压,低于此值告警", 2350,
         "最大值|允许最高输出电压,超过此值告警"},
        {60, "IB3", "旁路电流C", 10, 10, 0, "最小值|允许最低输出电流,低于此值告警", 150,
         "最大值|允许最高输出电流,超过此值告警"},
        {63, "FB3", "旁路频率C", 10, 10, 490, "最小值|允许最低输出频率,低于此值告警", 510,
         "最大值|允许最高输出频率,超过此值告警"},
    };
    for (const Row& r : rows) {
        std::string where = " from tbSMDef where Type=1008 and Fld=" + std::to_string(r.fld);
        EXPECT_EQ(r.name, db.Str("select FldName" + where)) << r.fld;
        EXPECT_EQ(H(r.note), ::Hex(db.Str("select Note" + where))) << r.fld;
        EXPECT_EQ("1/0/" + std::to_string(r.ratio) + "/" + std::to_string(r.kind) + "/" +
                      std::to_string(r.lo) + "/" + std::to_string(r.hi) + "/0/0",
                  db.Str("select Kind||'/'||Rsv||'/'||Ratio||'/'||AlmKind||'/'||vref||'/'||"
                         "HiLmt||'/'||Cell||'/'||SID" + where))
            << r.fld;
        EXPECT_EQ(H(r.loText), ::Hex(db.Str("select LoText" + where))) << r.fld;
        EXPECT_EQ(H(r.hiText), ::Hex(db.Str("select HiText" + where))) << r.fld;
        EXPECT_EQ("<null>", db.Str("select ANote" + where)) << r.fld;
    }
}

TEST(UpsExDb, RegDbWithoutDatabaseDoesNothing) {
    UpsEx h;
    h.RegDb(nullptr, 1);
    EXPECT_EQ(0, h.ChkDef(nullptr, 1));
}

// ---------------------------------------------------------------- tables and storing

TEST(UpsExDb, TablesAreCreatedInBothDatabasesWithEveryValueColumn) {
    Rig rig;
    EXPECT_EQ(-1, rig.Cur("State"));
    EXPECT_EQ(1, rig.hist.Int("select count(*) from sqlite_master where name='tbUpsEx'"));
    EXPECT_EQ(1, rig.db.Int("select count(*) from tbSMBrief where SID=31"));
    // The head, 63 value columns less the three texts, then the texts.
    EXPECT_EQ(8 + 60 + 3, rig.db.Int("select count(*) from pragma_table_info('tbUpsEx')"));
    // A second registration of the point keeps one row.
    EXPECT_EQ(1, rig.h->ChkDb(rig.item));
    EXPECT_EQ(1, rig.db.Int("select count(*) from tbUpsEx where SID=31"));
    // Without a point: 1, nothing to create.
    EXPECT_EQ(1, rig.h->ChkDb(nullptr));
    UpsEx noDb;
    EXPECT_EQ(0, noDb.ChkDb(rig.item));
}

TEST(UpsExDb, EveryColumnIsStoredFromItsOwnField) {
    Rig rig;
    FillDistinct(rig.h->m_rec);
    int bits[2] = {0, 0};
    ASSERT_EQ(1, rig.h->DataUpd(0, bits, nullptr, -1, &rig.hist));
    static const char* const kCols[] = {
        "Vin1", "Vin2", "Vin3", "Vout1", "Vout2", "Vout3", "VB1", "VB2", "VB3", "Iin1", "Iin2",
        "Iin3", "Iout1", "Iout2", "Iout3", "IB1", "IB2", "IB3", "Fin1", "Fin2", "Fin3", "Fout1",
        "Fout2", "Fout3", "FB1", "FB2", "FB3", "Pout1", "Pout2", "Pout3", "Tem", "status", "b15",
        "b14", "b13", "b12", "b11", "b10", "b9", "b8", "b7", "b6", "b5", "b4", "b3", "b2", "b1",
        "b0", "Vbatt", "Pbatt", "Mbatt", "Ved", "Aed", "VAed", "Vdc", "Fed", "v1", "v2", "v3",
        "v4"};
    // The columns follow the record's memory order; the reserved block has none.
    for (size_t i = 0; i < sizeof kCols / sizeof kCols[0]; i++) {
        size_t word = i < 48 ? i : i + 16;
        EXPECT_EQ((long long)(1000 + word), rig.Cur(kCols[i])) << kCols[i];
        EXPECT_EQ((long long)(1000 + word),
                  rig.hist.Int(std::string("select ") + kCols[i] + " from tbUpsEx where SID=31"))
            << kCols[i];
    }
    EXPECT_EQ("ACME/UPS-3/V1.0", rig.db.Str("select company||'/'||mode||'/'||version from tbUpsEx"));
    EXPECT_EQ("ACME/UPS-3/V1.0", rig.hist.Str("select company||'/'||mode||'/'||version from tbUpsEx"));
    EXPECT_EQ(0, rig.Cur("State"));
    EXPECT_EQ(0, rig.db.Int("select State from tbSubSysDetail where SID=31"));
}

TEST(UpsExDb, TextsWithQuotesAndFullArraysAreStoredIntact) {
    Rig rig;
    snprintf(rig.h->m_rec.company, sizeof rig.h->m_rec.company, "O'Brien's");
    memcpy(rig.h->m_rec.mode, "ABCDEFGHIJKL", 12);  // no terminator inside the array
    snprintf(rig.h->m_rec.version, sizeof rig.h->m_rec.version, "V'1");
    int bits[2] = {0, 0};
    ASSERT_EQ(1, rig.h->DataUpd(0, bits, nullptr, -1, &rig.hist));
    EXPECT_EQ("O'Brien's|ABCDEFGHIJKL|V'1",
              rig.db.Str("select company||'|'||mode||'|'||version from tbUpsEx"));
    EXPECT_EQ("O'Brien's", rig.hist.Str("select company from tbUpsEx"));
}

TEST(UpsExDb, PollWithoutAnswerStoresZerosAndStateTwo) {
    Rig rig;
    FillDistinct(rig.h->m_rec);
    ASSERT_EQ(1, rig.h->DataUpd(0, nullptr, nullptr, -1, &rig.hist));
    EXPECT_EQ(2, rig.Cur("State"));
    EXPECT_EQ(0, rig.Cur("Vin1"));
    EXPECT_EQ(0, rig.Cur("v4"));
    EXPECT_EQ("", rig.db.Str("select company from tbUpsEx"));
    EXPECT_EQ(2, rig.db.Int("select State from tbSubSysDetail where SID=31"));
    EXPECT_EQ(0, rig.h->DataVal(1));
    EXPECT_EQ(2, rig.hist.Int("select State from tbUpsEx"));
    EXPECT_EQ(0, rig.hist.Int("select Iin2 from tbUpsEx"));
    // The summary names the lost link and shows none of the cleared values.
    EXPECT_EQ(H("通讯中断"), ::Hex(rig.Brief()));
}

TEST(UpsExDb, SnapIdSidAndResult) {
    Rig rig;
    int bits[2] = {0, 0};
    int snap = 77;
    ASSERT_EQ(1, rig.h->DataUpd(16, bits, &snap, -1, nullptr));
    EXPECT_EQ(77, rig.Cur("SnapID"));
    ASSERT_EQ(1, rig.h->DataUpd(0, bits, &snap, -1, nullptr));
    EXPECT_EQ(0, rig.Cur("SnapID"));
    ASSERT_EQ(1, rig.h->DataUpd(16, bits, nullptr, -1, nullptr));
    EXPECT_EQ(0, rig.Cur("SnapID"));
    // An explicit sid names the row; another point's row is untouched.
    rig.db.Run("insert into tbUpsEx(SID,State) values(32,-1)");
    ASSERT_EQ(1, rig.h->DataUpd(1, bits, nullptr, 32, nullptr));
    EXPECT_EQ(1, rig.db.Int("select State from tbUpsEx where SID=32"));
    EXPECT_EQ(0, rig.Cur("State"));
    // The history insert decides: a history database without the table fails.
    TestDb bare;
    EXPECT_EQ(0, rig.h->DataUpd(0, bits, nullptr, -1, &bare));
    // Neither database: 1.
    UpsEx lone;
    qxhost::PointItem item(33, 0x3F0);
    lone.DoItem(item, 0);
    EXPECT_EQ(1, lone.DataUpd(0, bits, nullptr, -1, nullptr));
    // A negative sid without a current point has no row to name.
    UpsEx none;
    EXPECT_EQ(0, none.DataUpd(0, bits, nullptr, -1, nullptr));
}

TEST(UpsExDb, SummaryShowsTenthsOrHundredthsByTheDivisor) {
    struct Case {
        int divisor;
        int32_t vin1;
        const char* start;
    } cases[] = {
        {100, 22012, "输入电压:220.1V, "},
        {10, 2201, "输入电压:220.1V, "},
        {1, 2201, "输入电压:220.1V, "},
        {0, 2201, "输入电压:220.1V, "},
        {100, -5, "输入电压:-0.1V, "},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.h->m_iDivisor = c.divisor;
        rig.h->m_rec.Vin1 = c.vin1;
        int bits[2] = {0, 0};
        ASSERT_EQ(1, rig.h->DataUpd(0, bits, nullptr, -1, nullptr));
        std::string brief = rig.Brief();
        std::string start = c.start;
        EXPECT_EQ(H(c.start), ::Hex(brief.substr(0, start.size()))) << c.divisor;
    }
    Rig rig;
    rig.h->m_rec.Vin1 = 2201;
    rig.h->m_rec.Vin2 = 2202;
    rig.h->m_rec.Vin3 = 2203;
    rig.h->m_rec.Vout1 = 2200;
    rig.h->m_rec.Vout2 = 2199;
    rig.h->m_rec.Vout3 = 2198;
    rig.h->m_rec.Iout1 = 105;
    rig.h->m_rec.Iout2 = 110;
    rig.h->m_rec.Iout3 = 95;
    rig.h->m_rec.Vbatt = 2724;
    int bits[2] = {0, 0};
    ASSERT_EQ(1, rig.h->DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(H("输入电压:220.1V, 220.2V, 220.3V, 输出电压:220.0V, 219.9V, 219.8V, "
                "输出电流:10.5A,11.0A,9.5A, 电池电压:272.4V"),
              ::Hex(rig.Brief()));
}

TEST(UpsExDb, SummaryQuotesTheCaptionsOfOutOfLimitFields) {
    Rig rig;
    // Fields 1, 9, 55 and 63 out of limits: three captions and the ellipsis.
    int bits[2] = {(1 << 0) | (1 << 8), (1 << (55 - 33)) | (1 << (63 - 33))};
    ASSERT_EQ(1, rig.h->DataUpd(1, bits, nullptr, -1, nullptr));
    std::string brief = rig.Brief();
    std::string tail = "告警:输入电压A 输入电流C 旁路电压A...";
    ASSERT_GE(brief.size(), tail.size());
    EXPECT_EQ(H(tail.c_str()), ::Hex(brief.substr(brief.size() - tail.size())));
    EXPECT_EQ(1, rig.Cur("State"));
    // A caption with a quote goes into the summary intact.
    rig.db.Run("update tbSMDef set Note='it''s hot' where Type=1008 and Fld=22");
    int tem[2] = {1 << 21, 0};
    ASSERT_EQ(1, rig.h->DataUpd(1, tem, nullptr, -1, nullptr));
    brief = rig.Brief();
    EXPECT_EQ("it's hot", brief.substr(brief.size() - 8));
}
