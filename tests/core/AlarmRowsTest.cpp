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
#include "Limits.h"
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

// The host's limit check over a unit's running states: on/off, fan, compressor, heating,
// cooling, humidifying, a mode, an analog output and charging are states, not alarms, whatever
// their value, in every model their handler serves. A state whose one value is the fault (mains
// present, output on, a target online) alarms on that value alone. Beside them, a fault flag of
// the same unit still alarms, and so does a field that is an input in some model.
TEST_F(AlarmRows, RunningStatesAlarmOnlyOnTheirFaultValue) {
    struct Case {
        int type, variant;
        int first, last;  // fields
        int value;
        bool alarm;
        const char* what;
    };
    // Each state row below is a state in every model (Variant) its handler serves: Emerson,
    // transformer controller, Hiross, Matrix, JADC0110, AD5DA5, EDX and PeX over SNMP have one;
    // SCA's Variant chooses only its summary; Sunrise (Modbus, GOS), HST (HST12, HST26JF),
    // DME3000 (YD/T 1363, Modbus) and the network probe (ping, port) fill the field with the same
    // meaning in both. A field that is an input in some model keeps its alarm (W70XX, KW7).
    const Case cases[] = {
        {0x801, 0, 20, 20, 1, false, "Emerson: unit on"},
        {0x801, 0, 21, 21, 1, true, "Emerson: alarm flag"},
        {0x81B, 0, 3, 9, 1, false, "SCA: on, fan, heating, cooling, humidifying, dehumidifying, group mode"},
        {0x81B, 0, 10, 10, 1, true, "SCA: alarm state"},
        {0x103, 0, 10, 10, 1, false, "transformer controller: fan running"},
        {0x103, 0, 11, 12, 1, true, "transformer controller: alarm, trip"},
        {0x80D, 0, 36, 36, 1, false, "Hiross: running flag"},
        {0x80D, 0, 38, 38, 1, true, "Hiross: fault flag"},
        {0x80A, 0, 5, 11, 1, false, "Matrix: fan, compressors, heaters, dehumidifying, humidifying"},
        {0x80A, 0, 12, 12, 1, true, "Matrix: fan overload"},
        {0x81C, 0, 20, 21, 1, false, "JADC0110: on, compressor"},
        {0x81C, 0, 23, 23, 1, false, "JADC0110: heating"},
        {0x81C, 0, 25, 25, 1, false, "JADC0110: fan"},
        {0x810, 0, 3, 7, 1, false, "Sunrise: fan, dehumidifying, humidifying, cooling, heating"},
        {0x810, 1, 3, 7, 1, false, "Sunrise on GOS: the same states"},
        {0x810, 1, 7, 7, -1, false, "Sunrise on GOS: no heating state (-1)"},
        {0x810, 0, 8, 8, 1, true, "Sunrise: compressor high pressure"},
        {0x819, 0, 5, 13, 1, false, "HST12: compressor, fan, heater, humidifier and valve outputs"},
        {0x819, 1, 5, 13, 1, false, "HST26JF: the same outputs"},
        {0x819, 0, 4, 4, 1, true, "HST12: low-pressure protection"},
        // D09..D12 are inputs of the 16- and 14-input W70XX modules and D11..D16 inputs of a
        // KW7 of more than 10 inputs: the rows alarm, and a point whose own layout makes them
        // relays passes them over when it stores its poll (tests/io/DioRelaysTest.cpp).
        {0x904, 1, 1, 16, 1, true, "W70XX: any of D01..D16 open"},
        {0x907, 1, 1, 16, 1, true, "KW7: any of D01..D16 closed"},
        {0x905, 0, 6, 10, 2048, false, "AD5DA5: outputs set to half scale"},
        {0x905, 0, 1, 5, 410, true, "AD5DA5: inputs reading 1 V, outside the default 0"},
        {0x308, 0, 11, 11, 1, false, "EDX: mains present"},
        {0x308, 0, 11, 11, 0, true, "EDX: mains lost"},
        {0x308, 0, 12, 12, 1, true, "EDX: battery low"},
        {0x308, 0, 13, 13, 1, false, "EDX: charging"},
        {0x308, 0, 14, 14, 1, false, "EDX: output on"},
        {0x308, 0, 14, 14, 0, true, "EDX: output off"},
        {0xD07, 0, 1, 1, 1, false, "network probe: target online"},
        {0xD07, 0, 1, 1, 0, true, "network probe: target offline"},
        {0x831, 0, 15, 16, 1, false, "PeX over SNMP: humidifying, dehumidifying"},
        {0x809, 0, 35, 36, 1, false, "DME3000 over YD/T 1363: unit running, work mode"},
        {0x809, 1, 35, 36, 0, false, "DME3000 over Modbus: unit state and mode not sent (0)"},
        {0x809, 0, 37, 39, 1, true, "DME3000: high-pressure, low-pressure and exhaust locks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ISMBase* h = m_sm->GetSM(c.type);
        ASSERT_NE(nullptr, h) << std::hex << c.type;
        TestDb db;
        h->SetDb(&db, 0);
        h->SetDb(&m_hist, 1);
        h->RegDb(&db, 1);
        qxhost::PointItem item(70, c.type);
        item.Name("P").Addr(1).Variant(c.variant);
        h->DoItem(item, 0);
        const std::vector<qxhost::LimitRow> limits = qxhost::LoadLimits(db, h->GetType());
        for (int fld = c.first; fld <= c.last; fld++) {
            // The field at the case's value, every other one at 0.
            std::vector<int32_t> bits;
            qxhost::CheckLimits(limits, h->DataSize(), [&](int f) { return f == fld ? c.value : 0; }, bits);
            const size_t word = (size_t)(fld - 1) / 32;
            const bool alarm = word < bits.size() && ((bits[word] >> ((fld - 1) % 32)) & 1);
            EXPECT_EQ(c.alarm, alarm) << "field " << fld << " at " << c.value;
        }
        h->DoItem(nullptr, 0);
    }
}

}  // namespace
