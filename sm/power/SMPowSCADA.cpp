#include "power/SMPowSCADA.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

typedef CSMPowSCADA S;

constexpr uint8_t Fld(int value) { return (uint8_t)(value + S::kFirstFld); }

const TypeRow kType = {260, "SCADA发电机", "485接口"};

#define QX_SCADA_PHASE(v, name, word, div, high)                                             \
    {Fld(v), name, 1, word, div, 7, 100, word "低于Vmin告警", high, word "高于Vmax告警", 0}
const DefRow kDefs[] = {
    QX_SCADA_PHASE(S::kAdy, "Ady", "A相电压", 10, 3900),
    QX_SCADA_PHASE(S::kBdy, "Bdy", "B相电压", 10, 3900),
    QX_SCADA_PHASE(S::kCdy, "Cdy", "C相电压", 10, 3900),
    QX_SCADA_PHASE(S::kAdl, "Adl", "A相电流", 100, 25000),
    QX_SCADA_PHASE(S::kBdl, "Bdl", "B相电流", 100, 25000),
    QX_SCADA_PHASE(S::kCdl, "Cdl", "C相电流", 100, 25000),
    {Fld(S::kOilTem), "OilTem", 1, "冷却液温度", 10, 6, 300, "最小值,低于此值告警", 3000,
     "最大值,超过此值告警", 0},
    {Fld(S::kOilPre), "OilPre", 1, "引擎油压", 10, 6, 350, "最小值,低于此值告警", 7000,
     "最大值,超过此值告警", 0},
};
#undef QX_SCADA_PHASE

#define QX_SCADA_COL(v, name) {name, Fld(v), false}
const Column kCols[] = {
    QX_SCADA_COL(S::kZsjgl, "zsjgl"),   QX_SCADA_COL(S::kAsjgl, "asjgl"),
    QX_SCADA_COL(S::kBsjgl, "bsjgl"),   QX_SCADA_COL(S::kCsjgl, "csjgl"),
    QX_SCADA_COL(S::kZwggl, "zwggl"),   QX_SCADA_COL(S::kAwggl, "awggl"),
    QX_SCADA_COL(S::kBwggl, "bwggl"),   QX_SCADA_COL(S::kCwggl, "cwggl"),
    QX_SCADA_COL(S::kZglys, "zglys"),   QX_SCADA_COL(S::kAglys, "aglys"),
    QX_SCADA_COL(S::kBglys, "bglys"),   QX_SCADA_COL(S::kCglys, "cglys"),
    QX_SCADA_COL(S::kAdy, "ady"),       QX_SCADA_COL(S::kBdy, "bdy"),
    QX_SCADA_COL(S::kCdy, "cdy"),       QX_SCADA_COL(S::kAdl, "adl"),
    QX_SCADA_COL(S::kBdl, "bdl"),       QX_SCADA_COL(S::kCdl, "cdl"),
    QX_SCADA_COL(S::kOilTem, "OilTem"), QX_SCADA_COL(S::kOilPre, "OilPre"),
    QX_SCADA_COL(S::kVbatt, "Vbatt"),   QX_SCADA_COL(S::kAutoOnOff, "AutoOnOff"),
    QX_SCADA_COL(S::kPl, "pl"),
};
#undef QX_SCADA_COL
constexpr size_t kN = sizeof(kCols) / sizeof(kCols[0]);
static_assert(kN == S::kValues, "one column per value");

// Four blocks of holding registers; the first request for unit 1 is 01 03 00 65 00 10 54 19.
const qx::skel::Read kReads[] = {{3, 101, 16}, {3, 128, 14}, {3, 199, 3}, {3, 300, 1}};
const int kFirstReg[] = {101, 128, 199, 300};

// A 32-bit value (high register first) sent with an offset of 2,000,000,000; 0 on the wire
// is -2,000,000,000.
int32_t Pair(const qx::MbReply& r, int at) {
    uint32_t d = (uint32_t)r.Word(at) << 16 | r.Word(at + 1);
    return (int32_t)(d - 2000000000u);
}
// A power factor in the top two bits of its register: -1000, 0, 1000 or 2000.
int32_t Pf(uint16_t reg) { return ((reg >> 14) - 1) * 1000; }

}  // namespace

CSMPowSCADA::CSMPowSCADA() : CSMBase(0x104) {
    m_pData = m_val;
    // Fields 1 to 24: the host checks every definition row's field, and the alarm text sees
    // every field it marks.
    m_iDataCnt = kValues + kFirstFld - 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-PowSCADA");
}

void CSMPowSCADA::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMPowSCADA::ChkDb(tagSMItem* item) {
    return qx::skel::ChkDb(*this, "tbPowSCADA", kCols, kN, item);
}

// The block is cleared once the first block answered; each later block is decoded as soon
// as it answers, so a failure in block k leaves blocks before it decoded and the rest 0.
int CSMPowSCADA::DataGet(ISerBase* ser, int addr, int wait) {
    if (!qx::skel::Ready(ser)) return 0;
    int waitMs = wait > 0 ? wait : 100;
    auto take = [this](size_t i, const qx::MbReply& r) {
        auto u = [&](int reg) { return r.Word(reg - kFirstReg[i]); };
        switch (i) {
        case 0:
            memset(m_val, 0, sizeof(m_val));
            m_val[kPl] = (int32_t)(u(101) / 128.0 * 10.0);
            m_val[kZglys] = Pf(u(102));
            m_val[kZsjgl] = Pair(r, 105 - 101);
            for (int k = 0; k < 3; k++) {
                m_val[kAdl + k] = u(110 + k) * 100;
                m_val[kAdy + k] = u(113 + k) * 10;
            }
            break;
        case 1:
            for (int k = 0; k < 3; k++) {
                m_val[kAwggl + k] = Pair(r, 128 + 2 * k - 128);
                m_val[kAglys + k] = Pf(u(134 + k));
            }
            m_val[kZwggl] = Pair(r, 140 - 128);
            break;
        case 2:
            // 1/8 of a unit a step; kept in tenths, as its row divides by 10 (limits 35.0 and
            // 700.0): raw 400 is 50.0 units, stored 500.
            m_val[kOilPre] = (int32_t)(u(199) * 0.125 * 10.0);
            // 1/32 K a step; kept in tenths of a degree, as its row divides by 10.
            m_val[kOilTem] = (int32_t)((u(200) * 0.03125 - 273.0) * 10.0);
            m_val[kVbatt] = (int32_t)(u(201) * 0.05 * 100.0);
            break;
        default:
            m_val[kAutoOnOff] = u(300) & 3;
            break;
        }
    };
    return qx::skel::Reads(*this, ser, addr, kReads, 4, waitMs, take);
}

int CSMPowSCADA::DataVal(int fld) {
    int v = fld - kFirstFld;
    return v >= 0 && v < kValues ? m_val[v] : -1;
}

int CSMPowSCADA::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    return qx::skel::UpdAlarmText(*this, flags, alarmBits, snapId, sid, hist, "tbPowSCADA",
                                  kCols, kN, m_val, sizeof(m_val));
}
