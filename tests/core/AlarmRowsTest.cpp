// Every handler of the built plug-in, registered into a host database as the host does it: each
// field that has an alarm row (a default row of the type, of any row kind, whose alarm kind is
// not 0) lies within 1 to DataSize. A host checks limits over those fields only, so an alarm
// row beyond DataSize is an alarm that never reaches it. Heading rows (field number 0) name a
// group, not a field, and take no part. DataSize is asked with no point and with a point of
// each Variant made current, for the handlers whose count depends on the point.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FactoryCases.h"
#include "ISMBase.h"
#include "ISMManager.h"
#include "Plugins.h"
#include "PointItem.h"
#include "TestDb.h"

namespace {

struct AlarmRow {
    int fld, kind, almKind;
};

std::vector<AlarmRow> ReadAlarmRows(TestDb& db, int type) {
    std::vector<AlarmRow> rows;
    void* r = db.Query(("select Fld,Kind,AlmKind from tbSMDef where Type=" + std::to_string(type) +
                        " and SID=0 and AlmKind<>0 and Fld>0 order by Fld")
                           .c_str(),
                       -1);
    if (!r) return rows;
    for (; !db.Eof(r); db.Next(r))
        rows.push_back({db.GetInt(r, "Fld"), db.GetInt(r, "Kind"), db.GetInt(r, "AlmKind")});
    db.FreeResult(r);
    return rows;
}

class AlarmRows : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The engines look for definition files under QX_ROOT: an empty folder has none.
        strcpy(s_root, "/tmp/alarm_rows_root_XXXXXX");
        if (mkdtemp(s_root)) setenv("QX_ROOT", s_root, 1);
    }
    static void TearDownTestSuite() {
        unsetenv("QX_ROOT");
        rmdir(s_root);
    }
    void SetUp() override {
        ASSERT_TRUE(m_lib.Load(QXSM_PATH)) << m_lib.Error();
        m_sm = m_lib.GetSMManager(0);
        ASSERT_NE(nullptr, m_sm);
        m_sm->SetDb(&m_db, 0);
    }
    void TearDown() override {
        if (m_lib.FreeSMManager) m_lib.FreeSMManager();
    }

    static char s_root[32];
    qxhost::SmPlugin m_lib;
    ISMManager* m_sm = nullptr;
    TestDb m_db, m_hist;
};

char AlarmRows::s_root[32];

// Variants a point may carry: protocol and model selectors run from 0 up to a few dozen.
const int kVariants = 64;

TEST_F(AlarmRows, EveryAlarmRowLiesWithinDataSize) {
    std::set<int> seen;
    int handlers = 0;
    for (const factory_cases::ClassCase& c : factory_cases::kClasses) {
        if (!seen.insert(c.reported).second) continue;
        ISMBase* h = m_sm->GetSM(c.code);
        ASSERT_NE(nullptr, h) << std::hex << c.code;
        handlers++;
        h->SetDb(&m_db, 0);
        h->SetDb(&m_hist, 1);
        h->RegDb(&m_db, 1);
        const std::vector<AlarmRow> rows = ReadAlarmRows(m_db, h->GetType());

        // The smallest DataSize any point of the type gets.
        int least = h->DataSize(), leastVariant = -1;
        for (int v = 0; v < kVariants; v++) {
            qxhost::PointItem item(900 + v, c.reported);
            item.Name("P").Addr(1).Variant(v);
            h->DoItem(item, 0);
            if (h->DataSize() < least) least = h->DataSize(), leastVariant = v;
        }
        h->DoItem(nullptr, 0);

        std::ostringstream out;
        for (const AlarmRow& r : rows)
            if (r.fld > least)
                out << " " << r.fld << " (row kind " << r.kind << ", alarm kind " << r.almKind << ")";
        EXPECT_EQ("", out.str()) << c.cls << " (type 0x" << std::hex << c.reported << std::dec
                                 << ", DataSize " << least
                                 << (leastVariant >= 0 ? " with Variant " + std::to_string(leastVariant)
                                                       : std::string())
                                 << "): alarm rows beyond it";
    }
    EXPECT_GT(handlers, 90);
}

}  // namespace
