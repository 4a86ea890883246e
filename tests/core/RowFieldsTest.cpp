// Every definition row stands on the field its name gives, over every handler the factory
// serves. The host checks a row's limits on the value of the row's field number; an operator
// reads the value by the row's name (FldName), the name of a column of the handler's table or of
// a display key. A row whose number and name point at two fields checks the one field without
// a caption and leaves the other without its limits: a lost alarm and a dead row.
//
// Each handler is registered into a host database with a point of its own; where its shape
// lets a test set its values (the air-conditioner field table, the UPS records, the DIO words,
// a handler's public value block), every field gets a value of its own. A poll with no field out
// of limits is stored, and for each row with a field number and a name:
//   - the point's own table, when it has a column of that name (case aside) that the handler
//     wrote, holds the value DataVal gives for the row's field;
//   - a display key "." + name, when the handler answers it with a number, shows that value
//     (in whole units, tenths, hundredths or thousandths);
//   - a flag column "i" + name is 1 when the row's field alone is out of limits, 0 otherwise;
// and a name that none of these knows is one of the exceptions listed below, each with its
// reason (and, where the row stands on a column of another name, that column checked). Handlers
// whose values a test cannot set (values kept private, read from a device only) are checked by
// their flag columns and by the names their tables and keys know.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FactoryCases.h"
#include "PointItem.h"
#include "SMManager.h"
#include "TestDb.h"
#include "aircon/AircShape.h"
#include "io/SMAlm3000.h"
#include "io/SMAlmGsm.h"
#include "io/SMCXV6V8.h"
#include "io/SMDioAdBle_Huawei.h"
#include "io/SMDioBase.h"
#include "io/SMDioMlan7vxpxj.h"
#include "io/SMLeak.h"
#include "io/SMNetPing.h"
#include "io/SMOnOff.h"
#include "power/SMElec.h"
#include "power/SMFBJK002G3S.h"
#include "power/SMHC311A.h"
#include "power/SMHgm6300.h"
#include "power/SMPowSCADA.h"
#include "power/SMTransf.h"
#include "ups/SMUpsBase.h"
#include "ups/SMUpsGXE.h"
#include "ups/SMUpsTbUps.h"

namespace {

// Rows whose name is deliberately no column and no display key of their handler: the names
// their registration writes, kept for what stored definitions rely on. Where the row stands on a
// column of another name, that column is checked in the name's place.
struct Exception {
    int type;
    int fld;             // 0: every row of the type
    const char* name;
    const char* column;  // the column the row's field is stored in (null: none)
    const char* why;
};
const Exception kExceptions[] = {
    {0x402, 0, nullptr, nullptr, "battery string: rows name the columns of its per-cell table, fields repeat per cell"},
    {0x403, 0, nullptr, nullptr, "battery string: rows name the columns of its per-cell table, fields repeat per cell"},
    {0x404, 0, nullptr, nullptr, "battery string: rows name the columns of its per-cell table, fields repeat per cell"},
    {0x405, 0, nullptr, nullptr, "battery string: rows name the columns of its per-cell table, fields repeat per cell"},
    {0x802, 8, "watertemp", "TemW", "Stulz: the water temperature row"},
    {0x810, 3, "StFj", "fj", "Sunrise: the state rows are named St..., their columns not"},
    {0x810, 4, "StCs", "cs", "Sunrise: as above"},
    {0x810, 5, "StJs", "js", "Sunrise: as above"},
    {0x810, 6, "StZl", "zl", "Sunrise: as above"},
    {0x810, 7, "StZr", "zr", "Sunrise: as above"},
    {0x81C, 1, "TemIn", "Tem", "JADC0110: the indoor temperature row"},
    {0x81C, 3, "HumAmb", "Hum", "JADC0110: the indoor humidity row"},
    {0x81C, 21, "StOn", "StComp", "JADC0110: the five state rows all carry the name StOn"},
    {0x81C, 23, "StOn", "StHeat", "JADC0110: as above"},
    {0x81C, 25, "StOn", "StFan", "JADC0110: as above"},
    {0x81C, 28, "StOn", "StKey", "JADC0110: as above"},
    {0xD00, 1, "CardId", nullptr, "door controller A: its table is the card log, without value columns"},
    {0xD00, 17, "CardFound", nullptr, "door controller A: as above"},
};

const Exception* ExceptionOf(int type, int fld, const std::string& name) {
    for (const Exception& e : kExceptions)
        if (e.type == type && (e.fld == 0 || (e.fld == fld && name == e.name))) return &e;
    return nullptr;
}

// Bytes of a value block such that no two bytes of a run of 256, and no two words of a block
// of some kilobytes, are alike: every field holds a value of its own, whatever its width.
void Distinct(void* block, size_t n) {
    uint8_t* b = static_cast<uint8_t*>(block);
    for (size_t k = 0; k < n; k++) b[k] = (uint8_t)((k * 37 + 13) ^ (k >> 8) * 0x5B);
}

template <class H, class M>
bool FillMember(ISMBase* h, M H::*member) {
    H* handler = dynamic_cast<H*>(h);
    if (!handler) return false;
    Distinct(&(handler->*member), sizeof(handler->*member));
    return true;
}

template <class Record>
void FillUpsRecord(Record& r) {
    Distinct(&r, sizeof r);
    memset(r.company, 0, sizeof r.company);
    memset(r.mode, 0, sizeof r.mode);
    memset(r.version, 0, sizeof r.version);
}

// Sets every field of the current point's values where the handler's shape allows it.
bool FillValues(ISMBase* h) {
    if (auto* a = dynamic_cast<CSMAircShape*>(h)) {
        for (int f = 1; f < 256; f++) a->Set(f, 20 + f);
        return true;
    }
    if (auto* u = dynamic_cast<CSMUpsTbUps*>(h)) return FillUpsRecord(u->m_rec), true;
    if (auto* u = dynamic_cast<CSMUpsBase*>(h)) return FillUpsRecord(u->m_rec), true;
    if (auto* ble = dynamic_cast<CSMDioAdBle_Huawei*>(h)) ble->m_seen = 0xFF;  // every tag heard
    if (auto* d = dynamic_cast<CSMDioBase*>(h)) return Distinct(d->m_wData, sizeof d->m_wData), true;
    return FillMember(h, &CSMUpsGXE::m_rec) || FillMember(h, &CSMElec::m_val) ||
           FillMember(h, &CSMTransf::m_val) || FillMember(h, &CSMPowSCADA::m_val) ||
           FillMember(h, &CSMFBJK002G3S::m_val) || FillMember(h, &CSMHC311A::m_val) ||
           FillMember(h, &CSMHgm6300::m_val) || FillMember(h, &CSMOnOff::m_sd) ||
           FillMember(h, &CSMLeak::m_v) || FillMember(h, &CSMCXV6V8::m_v) ||
           FillMember(h, &CSMDioMlan7vxpxj::m_wData) || FillMember(h, &CSMNetPing::m_iPingState) ||
           FillMember(h, &CSMAlm3000::m_iSignal) || FillMember(h, &CSMAlmGsm::m_iSignal);
}

struct Row {
    int fld;
    std::string name;
};

std::vector<Row> Rows(TestDb& db, int type) {
    std::vector<Row> rows;
    void* r = db.Query(("select Fld,FldName from tbSMDef where SID=0 and Fld>0 and Type=" +
                        std::to_string(type) + " order by rowid")
                           .c_str(),
                       -1);
    if (!r) return rows;
    for (; !db.Eof(r); db.Next(r)) {
        const char* name = db.GetStr(r, "FldName");
        rows.push_back({db.GetInt(r, "Fld"), name ? name : ""});
    }
    db.FreeResult(r);
    return rows;
}

// The handler's own table: the one, of the tables the handler created, that holds the
// point's current row.
std::string PointTable(TestDb& db, int sid) {
    static const std::set<std::string> kHost = {"tbSMType", "tbSMDef", "tbSMDefVal",
                                                "tbSubSysDetail", "tbSMBrief"};
    std::vector<std::string> tables;
    void* r = db.Query("select name from sqlite_master where type='table'", -1);
    for (; r && !db.Eof(r); db.Next(r)) tables.push_back(db.GetStr(r, "name"));
    if (r) db.FreeResult(r);
    for (const std::string& t : tables)
        if (!kHost.count(t) && db.Int("select count(*) from " + t + " where SID=" + std::to_string(sid)) > 0)
            return t;
    return "";
}

std::vector<std::string> Columns(TestDb& db, const std::string& table) {
    std::vector<std::string> cols;
    if (table.empty()) return cols;
    void* r = db.Query(("pragma table_info(" + table + ")").c_str(), -1);
    for (; r && !db.Eof(r); db.Next(r)) cols.push_back(db.GetStr(r, "name"));
    if (r) db.FreeResult(r);
    return cols;
}

std::string ColumnNamed(const std::vector<std::string>& cols, const std::string& name) {
    for (const std::string& c : cols)
        if (strcasecmp(c.c_str(), name.c_str()) == 0) return c;
    return "";
}

// The stored value of a column in the point's current row; false when it holds no number
// (NULL: a column this handler does not write).
bool Stored(TestDb& db, const std::string& table, const std::string& col, int sid, long long& v) {
    const std::string text = db.Str("select " + col + " from " + table + " where SID=" + std::to_string(sid));
    if (text.empty() || text[0] == '<') return false;
    char* end = nullptr;
    v = strtoll(text.c_str(), &end, 10);
    return end && *end == '\0';
}

// A display key's number shows value v in whole units or in tenths, hundredths or thousandths,
// to the decimals it is written with.
bool ShowsValue(const char* text, int v) {
    char* end = nullptr;
    const double x = strtod(text, &end);
    if (end == text) return false;
    const char* dot = strchr(text, '.');
    const int decimals = dot && dot < end ? (int)(end - dot - 1) : 0;
    const double half = 0.5 * pow(10.0, -decimals) + 1e-9;
    for (double div : {1.0, 10.0, 100.0, 1000.0})
        for (double w : {(double)v, (double)(uint32_t)v})
            if (fabs(x - w / div) <= half) return true;
    return false;
}

class RowFields : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The engines look for definition files under QX_ROOT: an empty folder has none.
        strcpy(s_root, "/tmp/row_fields_root_XXXXXX");
        if (mkdtemp(s_root)) setenv("QX_ROOT", s_root, 1);
    }
    static void TearDownTestSuite() {
        unsetenv("QX_ROOT");
        rmdir(s_root);
        CSMManager::FreeInstance();
    }
    static char s_root[32];
};

char RowFields::s_root[32];

TEST_F(RowFields, EveryRowStandsOnTheFieldItsNameGives) {
    std::set<int> seen;
    for (const factory_cases::ClassCase& c : factory_cases::kClasses) {
        if (!seen.insert(c.reported).second) continue;
        char type[16];
        snprintf(type, sizeof type, "0x%X", (unsigned)c.reported);
        SCOPED_TRACE(std::string(c.cls) + " (type " + type + ")");
        ISMBase* h = CSMManager::GetInstance()->GetSM(c.code);
        ASSERT_NE(nullptr, h);
        TestDb db, hist;
        h->SetDb(&db, 0);
        h->SetDb(&hist, 1);
        h->RegDb(&db, 1);
        const std::vector<Row> rows = Rows(db, h->GetType());
        if (rows.empty()) continue;
        int last = h->DataSize();
        for (const Row& r : rows) last = std::max(last, r.fld);

        for (int variant = 0; variant < 2; variant++) {
            const int sid = 80 + variant;
            qxhost::PointItem item(sid, c.reported);
            item.Name("P").Addr(1).Variant(variant);
            h->ChkDb(item);
            h->DoItem(item, 0);
            const std::string table = PointTable(db, sid);
            const std::vector<std::string> cols = Columns(db, table);

            // A stored poll makes a point's values its own; then every field gets one.
            std::vector<int> none((size_t)(last + 32) / 32 + 1, 0);
            h->DataUpd(0, none.data(), nullptr, sid, nullptr);
            const bool filled = FillValues(h);
            h->DataUpd(0, none.data(), nullptr, sid, nullptr);
            std::map<int, int> counts;  // value -> fields holding it
            for (int f = 1; f <= last; f++) counts[h->DataVal(f)]++;

            for (const Row& r : rows) {
                if (r.name.empty()) continue;
                const int v = h->DataVal(r.fld);
                const bool unique = filled && counts[v] == 1;
                bool known = false;
                std::ostringstream where;
                where << "row " << r.fld << " '" << r.name << "', Variant " << variant;

                const Exception* e = ExceptionOf(c.reported, r.fld, r.name);
                const std::string col = ColumnNamed(cols, e ? (e->column ? e->column : "") : r.name);
                long long stored = 0;
                if (!col.empty()) {
                    known = true;
                    if (Stored(db, table, col, sid, stored) && unique) {
                        EXPECT_EQ(v, stored) << where.str() << ": column " << col << " of " << table
                                             << " holds another field's value";
                    }
                }
                char key[96];
                snprintf(key, sizeof key, ".%s", r.name.c_str());
                if (h->VarEval(key) >= 0) {
                    known = true;
                    char* end = nullptr;
                    strtod(key, &end);
                    if (end != key && unique && !e) {
                        EXPECT_TRUE(ShowsValue(key, v)) << where.str() << ": key ." << r.name << " shows " << key
                                                        << ", the field holds " << v;
                    }
                }
                // The skeleton's flag column is "i" and the name as written (IB1 is a value).
                const std::string flag = "i" + r.name;
                const std::string ask = "select " + flag + " from " + table + " where SID=" + std::to_string(sid);
                if (std::find(cols.begin(), cols.end(), flag) != cols.end() &&
                    db.Str(ask) != "<null>") {  // a flag column the handler writes
                    known = true;
                    EXPECT_EQ("0", db.Str(ask)) << where.str() << ": flag " << flag << " with no field out of limits";
                    std::vector<int> bits = none;
                    bits[(size_t)(r.fld - 1) / 32] |= (int)(1u << ((r.fld - 1) % 32));
                    h->DataUpd(1, bits.data(), nullptr, sid, nullptr);
                    EXPECT_EQ("1", db.Str(ask)) << where.str() << ": flag " << flag
                                                << " with the row's field alone out of limits";
                    h->DataUpd(0, none.data(), nullptr, sid, nullptr);
                }
                if (!known) {
                    EXPECT_NE(nullptr, e) << where.str() << ": no column, key or flag of that name";
                }
            }
            h->DoItem(nullptr, 0);
        }
    }
}

}  // namespace
