#include "power/SMFBJK002G3S.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

typedef CSMFBJK002G3S F;

const TypeRow kType = {261, "FBJK002G-3S-48V监控后台", "485接口"};

#define QX_FBJK_VAL(f, name, caption, low, high)                                             \
    {f, name, 1, caption, 10, 6, low, "最小值,低于此值告警", high, "最大值,超过此值告警", 0}
#define QX_FBJK_ST(f, name, caption) {f, name, 1, caption, 1, 1, 0, "0正常", 0, "", 0}
// No row for the temperature (field 12). The bus-bar row's low limit lies above its high one.
const DefRow kDefs[] = {
    QX_FBJK_VAL(F::kDyuv1, "dyuv1", "一路交流UV电压", 2000, 2500),
    QX_FBJK_VAL(F::kDyvw1, "dyvw1", "一路交流VW电压", 2000, 2500),
    QX_FBJK_VAL(F::kDywu1, "dywu1", "一路交流WU电压", 2000, 2500),
    QX_FBJK_VAL(F::kDyuv2, "dyuv2", "二路交流UV电压", 2000, 2500),
    QX_FBJK_VAL(F::kDyvw2, "dyvw2", "二路交流VW电压", 2000, 2500),
    QX_FBJK_VAL(F::kDywu2, "dywu2", "二路交流WU电压", 2000, 2500),
    QX_FBJK_VAL(F::kDymp, "dymp", "母排电压", 2000, 250),
    QX_FBJK_VAL(F::kDlA, "dlA", "交流A相电流", 0, 250),
    QX_FBJK_VAL(F::kDlB, "dlB", "交流B相电流", 0, 250),
    QX_FBJK_VAL(F::kDlC, "dlC", "交流C相电流", 0, 250),
    QX_FBJK_VAL(F::kDlfc, "dlfc", "负载电流", 0, 250),
    QX_FBJK_ST(F::kStAC, "stAC", "交流故障"),
    QX_FBJK_ST(F::kStDC, "stDC", "直流故障"),
    QX_FBJK_ST(F::kStBatt, "stBatt", "电池故障"),
    QX_FBJK_ST(F::kStMod, "stMod", "模块故障"),
    QX_FBJK_ST(F::kStPart, "stPart", "分路故障"),
    QX_FBJK_ST(F::kStDCGY, "stDCGY", "直流过压"),
    QX_FBJK_ST(F::kStDCQY, "stDCQY", "直流欠压"),
};
#undef QX_FBJK_VAL
#undef QX_FBJK_ST

const Column kCols[] = {
    {"dyuv1", F::kDyuv1, false},   {"dyvw1", F::kDyvw1, false},   {"dywu1", F::kDywu1, false},
    {"dyuv2", F::kDyuv2, false},   {"dyvw2", F::kDyvw2, false},   {"dywu2", F::kDywu2, false},
    {"dymp", F::kDymp, false},     {"dlA", F::kDlA, false},       {"dlB", F::kDlB, false},
    {"dlC", F::kDlC, false},       {"dlfc", F::kDlfc, false},     {"tem", F::kTem, false},
    {"stAC", F::kStAC, false},     {"stDC", F::kStDC, false},     {"stBatt", F::kStBatt, false},
    {"stMod", F::kStMod, false},   {"stPart", F::kStPart, false}, {"stDCGY", F::kStDCGY, false},
    {"stDCQY", F::kStDCQY, false}, {"PBatt1", F::kPBatt1, false}, {"PTem1", F::kPTem1, false},
    {"PBatt2", F::kPBatt2, false}, {"PTem2", F::kPTem2, false},   {"PBatt3", F::kPBatt3, false},
    {"PTem3", F::kPTem3, false},   {"PBatt4", F::kPBatt4, false}, {"PTem4", F::kPTem4, false},
};
constexpr size_t kN = sizeof(kCols) / sizeof(kCols[0]);
static_assert(kN == F::kFields, "one column per field");

// Seven reads; for unit 1 the first four are
//   01 04 01 00 00 14 F1 F9   01 02 01 00 00 05 B9 F5   01 02 01 30 00 04 78 3A
//   01 04 01 98 00 04 71 DA
// The inputs are the one status byte the reply's byte count carries.
const qx::skel::Read kReads[] = {{4, 256, 20}, {2, 256, 5}, {2, 304, 4}, {4, 408, 4},
                                 {4, 438, 4},  {4, 468, 4}, {4, 498, 4}};

// Registers of the first read by field, from register 256.
struct RegOf {
    uint8_t fld;
    uint16_t reg;
};
const RegOf kBlock1[] = {
    {F::kDyuv1, 256}, {F::kDyvw1, 257}, {F::kDywu1, 258}, {F::kDyuv2, 259}, {F::kDyvw2, 260},
    {F::kDywu2, 261}, {F::kDlA, 262},   {F::kDlB, 263},   {F::kDlC, 264},   {F::kTem, 272},
    {F::kDymp, 273},  {F::kDlfc, 274},
};

}  // namespace

CSMFBJK002G3S::CSMFBJK002G3S() : CSMBase(0x105) {
    m_pData = m_val;
    // Every field: the host checks the definition rows (up to field 19) on DataVal and the
    // alarm text sees every field it marks.
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "QX-FBJK002G3S");
}

void CSMFBJK002G3S::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMFBJK002G3S::ChkDb(tagSMItem* item) {
    return qx::skel::ChkDb(*this, "tbFBJK002G3S", kCols, kN, item);
}

// The block is cleared once the first read answered; each later read is stored as soon as it
// answers. A wait only when one is given.
int CSMFBJK002G3S::DataGet(ISerBase* ser, int addr, int wait) {
    if (!qx::skel::Ready(ser)) return 0;
    auto take = [this](size_t i, const qx::MbReply& r) {
        switch (i) {
        case 0:
            memset(m_val, 0, sizeof(m_val));
            for (const RegOf& x : kBlock1) m_val[x.fld - 1] = r.Word(x.reg - 256);
            break;
        case 1:
            for (int b = 0; b < 5; b++) m_val[kStAC - 1 + b] = r.Bit(b);
            break;
        case 2:
            m_val[kStDCGY - 1] = r.Bit(0);
            m_val[kStDCQY - 1] = r.Bit(1);
            break;
        default: {
            int g = (int)i - 3;  // battery group 1 to 4
            m_val[kPBatt1 - 1 + 2 * g] = r.Word(0);
            m_val[kPTem1 - 1 + 2 * g] = r.Word(1);
            break;
        }
        }
    };
    return qx::skel::Reads(*this, ser, addr, kReads, 7, wait > 0 ? wait : 0, take);
}

int CSMFBJK002G3S::DataVal(int fld) {
    return fld >= 1 && fld <= kFields ? m_val[fld - 1] : -1;
}

// Every column, the battery groups included, in the current row and the history row.
int CSMFBJK002G3S::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    return qx::skel::UpdAlarmText(*this, flags, alarmBits, snapId, sid, hist, "tbFBJK002G3S",
                                  kCols, kN, m_val, sizeof(m_val));
}
