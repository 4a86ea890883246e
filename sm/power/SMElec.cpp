#include "power/SMElec.h"

#include <inttypes.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::skel::Key;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

const TypeRow kType = {256, "电力检测", "485接口..."};

// Only the phase voltages and currents have definition rows (limits in stored units:
// 10.0 V to 390.0 V, 1.00 A to 250.00 A).
const DefRow kDefs[] = {
    {CSMElec::kAdy, "Ady", 1, "A相电压", 10, 7, 100, "A相电压低于Vmin告警", 3900, "A相电压高于Vmax告警", 0},
    {CSMElec::kBdy, "Bdy", 1, "B相电压", 10, 7, 100, "B相电压低于Vmin告警", 3900, "B相电压高于Vmax告警", 0},
    {CSMElec::kCdy, "Cdy", 1, "C相电压", 10, 7, 100, "C相电压低于Vmin告警", 3900, "C相电压高于Vmax告警", 0},
    {CSMElec::kAdl, "Adl", 1, "A相电流", 100, 7, 100, "A相电流低于Vmin告警", 25000, "A相电流高于Vmax告警", 0},
    {CSMElec::kBdl, "Bdl", 1, "B相电流", 100, 7, 100, "B相电流低于Vmin告警", 25000, "B相电流高于Vmax告警", 0},
    {CSMElec::kCdl, "Cdl", 1, "C相电流", 100, 7, 100, "C相电流低于Vmin告警", 25000, "C相电流高于Vmax告警", 0},
};

// tbElec: the 24 value columns, then a flag column for each, which this handler never writes.
const Column kCols[] = {
    {"Ygzdn", CSMElec::kYgzdn, true}, {"Zyggl", CSMElec::kZyggl, true},
    {"Ayggl", CSMElec::kAyggl, true}, {"Byggl", CSMElec::kByggl, true},
    {"Cyggl", CSMElec::kCyggl, true}, {"Zwggl", CSMElec::kZwggl, true},
    {"Awggl", CSMElec::kAwggl, true}, {"Bwggl", CSMElec::kBwggl, true},
    {"Cwggl", CSMElec::kCwggl, true}, {"Zszgl", CSMElec::kZszgl, true},
    {"Aszgl", CSMElec::kAszgl, true}, {"Bszgl", CSMElec::kBszgl, true},
    {"Cszgl", CSMElec::kCszgl, true}, {"Zglys", CSMElec::kZglys, true},
    {"Aglys", CSMElec::kAglys, true}, {"Bglys", CSMElec::kBglys, true},
    {"Cglys", CSMElec::kCglys, true}, {"Pl", CSMElec::kPl, true},
    {"Ady", CSMElec::kAdy, true},     {"Bdy", CSMElec::kBdy, true},
    {"Cdy", CSMElec::kCdy, true},     {"Adl", CSMElec::kAdl, true},
    {"Bdl", CSMElec::kBdl, true},     {"Cdl", CSMElec::kCdl, true},
};
static_assert(sizeof(kCols) / sizeof(kCols[0]) == CSMElec::kFields, "one column per value");

const char kTbElecM[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,DateUpd DATETIME,Day INTEGER,Val INTEGER";

// Display keys: the phase voltages and currents by their column names, the others in lower
// case, each with its unit.
const Key kKeys[] = {
    {".Ady", CSMElec::kAdy, 10, 1, "V"},       {".Bdy", CSMElec::kBdy, 10, 1, "V"},
    {".Cdy", CSMElec::kCdy, 10, 1, "V"},       {".Adl", CSMElec::kAdl, 100, 2, "A"},
    {".Bdl", CSMElec::kBdl, 100, 2, "A"},      {".Cdl", CSMElec::kCdl, 100, 2, "A"},
    {".ygzdn", CSMElec::kYgzdn, 1000, 3, "KWH"},
    {".zyggl", CSMElec::kZyggl, 1000, 3, "KW"}, {".ayggl", CSMElec::kAyggl, 1000, 3, "KW"},
    {".byggl", CSMElec::kByggl, 1000, 3, "KW"}, {".cyggl", CSMElec::kCyggl, 1000, 3, "KW"},
    {".zwggl", CSMElec::kZwggl, 1000, 3, "KVar"}, {".awggl", CSMElec::kAwggl, 1000, 3, "KVar"},
    {".bwggl", CSMElec::kBwggl, 1000, 3, "KVar"}, {".cwggl", CSMElec::kCwggl, 1000, 3, "KVar"},
    {".zszgl", CSMElec::kZszgl, 1000, 3, "KVA"}, {".aszgl", CSMElec::kAszgl, 1000, 3, "KVA"},
    {".bszgl", CSMElec::kBszgl, 1000, 3, "KVA"}, {".cszgl", CSMElec::kCszgl, 1000, 3, "KVA"},
    {".zglys", CSMElec::kZglys, 1000, 3, ""},  {".aglys", CSMElec::kAglys, 1000, 3, ""},
    {".bglys", CSMElec::kBglys, 1000, 3, ""},  {".cglys", CSMElec::kCglys, 1000, 3, ""},
    {".pl", CSMElec::kPl, 100, 3, "Hz"},
};

// The stored 32-bit pattern of a product formed without overflow.
int32_t Low32(int64_t v) { return (int32_t)(uint32_t)(uint64_t)v; }

// k * e / 12000 for k and e below 2^32: their product can exceed 64 bits, so the whole
// twelve-thousandths and the rest are scaled apart (exact for values that are not negative).
int64_t PerTwelveThousand(int64_t k, int64_t e) { return k / 12000 * e + k % 12000 * e / 12000; }

// The command that writes the meter's one settable register.
const int kCmdWrite = 128;

}  // namespace

// Models without a routine here answer 0: nothing is read for them.
const CSMElec::ModelGet CSMElec::kModels[CSMElec::kModelCount] = {
    &CSMElec::DataGet_HCxxx,       // 0
    &CSMElec::DataGet_KINGWEB,     // 1
    &CSMElec::DataGet_WBxxx,       // 2
    &CSMElec::DataGet_AYNX,        // 3
    &CSMElec::DataGet_DSG,         // 4
    &CSMElec::DataGet_DTSD1352,    // 5
    &CSMElec::DataGet_XJJC,        // 6
    &CSMElec::DataGet_NKL194E,     // 7
    &CSMElec::DataGet_DAM3503A,    // 8
    &CSMElec::DataGet_ELECLED,     // 9
    &CSMElec::DataGet_JPMCWB,      // 10
    &CSMElec::DataGet_ELECZQ,      // 11
    &CSMElec::DataGet_DDSD1352,    // 12
    &CSMElec::DataGet_JPMCWB,      // 13
    &CSMElec::DataGet_SPM33,       // 14
    &CSMElec::DataGet_ELCLXD,      // 15
    &CSMElec::DataGet_ENT500M_FLOAT,// 16
    &CSMElec::DataGet_ENT500M_INT, // 17
    &CSMElec::DataGet_ENTPD1150E,  // 18
    &CSMElec::DataGet_YD2037,      // 19
    &CSMElec::DataGet_ENT500M_FLOAT,// 20
    &CSMElec::DataGet_ENT500M_INT, // 21
    &CSMElec::DataGet_ELCLCD,      // 22
    &CSMElec::DataGet_ELCATS,      // 23
    &CSMElec::DataGet_ELCTJYD,     // 24
    &CSMElec::DataGet_ELC194E,     // 25
    &CSMElec::DataGet_ElcComb,     // 26
    &CSMElec::DataGet_ElcHczy,     // 27
    &CSMElec::DataGet_HC33B1,      // 28
    &CSMElec::DataGet_SDXXE,       // 29
    &CSMElec::DataGet_TW13011,     // 30
    &CSMElec::DataGet_ElcX,        // 31
    &CSMElec::DataGet_DTSD3366,    // 32
    &CSMElec::DataGet_YD2010,      // 33
    &CSMElec::DataGet_XSY,         // 34
};

CSMElec::CSMElec() : CSMBase(0x100), m_tid(1), m_iLastDay(0) {
    memset(m_val, 0, sizeof(m_val));
    m_pData = m_val;
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "QX-ELEC");
}

CSMElec::~CSMElec() {}

void CSMElec::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMElec::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(kCols, kFields);
    const qx::skel::Table tables[] = {
        {"tbElec", columns.c_str(), qx::skel::kBothDbs},
        {"tbElecM", kTbElecM, qx::skel::kHistDb},
    };
    return qx::skel::ChkDb(*this, tables, 2, item, "tbElec", true);
}

int CSMElec::DataGet(ISerBase* ser, int addr, int wait) {
    if (!qx::AddrFits(addr) || !qx::skel::Ready(ser)) return 0;
    int model = m_pItem ? m_pItem->Variant : 0;
    // A model number without a routine reads nothing: the old values are not a new poll.
    if (model < 0 || model >= kModelCount || !kModels[model]) return 0;
    OwnValues();
    return (this->*kModels[model])(ser, addr, wait);
}

void CSMElec::OwnValues() {
    if (!m_pItem || m_pItem->SID == m_valSid) return;
    if (m_valSid != INT_MIN) {
        std::array<int32_t, kFields>& left = m_kept[m_valSid];
        memcpy(left.data(), m_val, sizeof(m_val));
        auto it = m_kept.find(m_pItem->SID);
        if (it != m_kept.end())
            memcpy(m_val, it->second.data(), sizeof(m_val));
        else
            memset(m_val, 0, sizeof(m_val));
    }
    m_valSid = m_pItem->SID;
}

int CSMElec::DataVal(int fld) {
    if (fld < 1 || fld > kFields) return -1;
    return m_val[fld - 1];
}

namespace {

// The models that measure one phase: their fields of phases B and C stay 0.
bool SinglePhase(int model, int ext1) {
    return model == 12 || model == 26 || model == 30 || (model == 0 && ext1 == 1);
}

// The fields a point's meter does not have, by its model (Variant) and wiring (Ext1): phases
// B and C of a single-phase meter, the phase C current of model 32. They stay 0.
const std::vector<int>& ModelLacks(int model, int ext1) {
    static const std::vector<int> none, phasesBC = {CSMElec::kByggl, CSMElec::kCyggl, CSMElec::kBwggl,
                                                    CSMElec::kCwggl, CSMElec::kBszgl, CSMElec::kCszgl,
                                                    CSMElec::kBglys, CSMElec::kCglys, CSMElec::kBdy,
                                                    CSMElec::kCdy,   CSMElec::kBdl,   CSMElec::kCdl};
    static const std::vector<int> currentC = {CSMElec::kCdl};
    if (SinglePhase(model, ext1)) return phasesBC;
    if (model == 32) return currentC;
    return none;
}

}  // namespace

int CSMElec::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    // Fields the point's meter does not have (phases B and C of a single-phase meter, the
    // phase C current of model 32): the host's limits find their zeros out of range, but the
    // state, the flag columns and the summary follow what the meter measures. An alarm the
    // host raised only for those fields is no alarm.
    std::vector<int> own;
    if (m_pItem)
        alarmBits = qx::sql::PassOver(flags, alarmBits, kFields,
                                      ModelLacks(m_pItem->Variant, m_pItem->Ext1), own);
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    OwnValues();
    const int model = m_pItem->Variant;
    // These models keep the last good values through a failed poll; the others store zeros.
    const bool keeps = model == 11 || model == 20 || model == 21;
    if (!u.answered && !keeps) memset(m_val, 0, sizeof(m_val));
    const bool onlyState = keeps && u.state == 2;
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, kFields, 0);

    int last = 0;  // nothing run counts as success
    if (IDbBase* db = m_pDb) {
        qx::sql::UpdState(db, u.state, u.sid, u.type);
        last = qx::sql::UpdCurrent(db, "tbElec", u.state, u.snap,
                                   onlyState ? qx::sql::Cols() : cols, u.sid);
        if (!u.answered) {
            // The values were cleared (or kept from an earlier poll), not read: the summary
            // says so, also for the models whose current row keeps its values.
            qx::sql::UpdBrief(db, u.sid, qx::sql::NoAnswerBrief().c_str());
        } else {
            // Each phase the meter has, with its current where the meter keeps one.
            const std::vector<int>& lacks = ModelLacks(model, m_pItem->Ext1);
            auto has = [&lacks](int fld) { return std::find(lacks.begin(), lacks.end(), fld) == lacks.end(); };
            qx::skel::Brief b;
            for (int k = 0; k < 3 && has(kAdy + k); k++) {
                b.Add("%s%c相: %.1fV", k ? "," : "", 'A' + k, m_val[kAdy - 1 + k] / 10.0);
                if (has(kAdl + k)) b.Add(" %.2fA", m_val[kAdl - 1 + k] / 100.0);
            }
            b.AlarmText(*this, alarmBits, 3);
            qx::sql::UpdBrief(db, u.sid, b.Text());
        }
    }
    if (hist) {
        // Energy is counted per day only from readings: not after a poll without an answer,
        // whatever state the host forces.
        if (u.answered) DayEnergy(hist, u.sid, u.type);
        last = qx::sql::InsHistory(hist, "tbElec", u.sid, u.state, u.snap, cols);
    }
    return last == 0 ? 1 : 0;
}

int CSMElec::DayKey(time_t t) {
    struct tm tm;
    memset(&tm, 0, sizeof(tm));
    localtime_r(&t, &tm);
    return (tm.tm_year + 1) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_yday;
}

// tbElecM holds per SID a baseline row (Day 0: the energy reading at the start of the
// counting day) and one row per day key with the energy counted since the baseline before it.
// The first answered poll of a day writes the day's row and moves the baseline.
void CSMElec::DayEnergy(IDbBase* hist, int sid, int type) {
    const int32_t energy = m_val[kYgzdn - 1];
    if (qx::sql::Count(hist, "select count(*) from tbElecM where SID=%d and Day=0", sid) == 0)
        qx::sql::Exec(hist,
                      "insert into tbElecM(SID,Type,DateUpd,Day,Val) values(%d,%d," QX_SQL_NOW
                      ",0,%d)",
                      sid, type, (int)energy);
    const int day = DayKey(qx::Now());
    m_iLastDay = m_mapDay[sid];  // a new SID enters with 0
    if (m_iLastDay == day) return;
    int rows = qx::sql::Count(hist, "select count(*) from tbElecM where SID=%d and Day=%d", sid, day);
    if (rows == 0) {
        int base = qx::sql::Count(hist, "select Val from tbElecM where SID=%d and Day=0", sid);
        int64_t counted = (int64_t)energy - base;
        if (qx::sql::Exec(hist,
                          "insert into tbElecM(SID,Type,DateUpd,Day,Val) values(%d,%d," QX_SQL_NOW
                          ",%d,%" PRId64 ")",
                          sid, type, day, counted) != 0)
            return;  // asked again on the next poll
        qx::sql::Exec(hist, "update tbElecM set Val=%d where SID=%d and Day=0", (int)energy, sid);
        m_mapDay[sid] = day;
    } else if (rows > 0 && m_iLastDay == 0) {
        m_mapDay[sid] = day;  // the handler is new; today's row was written before
    }
}

int CSMElec::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    if (!ser || !buf || !qx::AddrFits(addr)) return 0;
    if (cmd != kCmdWrite) return 0;  // nothing sent
    int32_t arg;
    memcpy(&arg, buf, sizeof(arg));
    const uint8_t value = (uint8_t)arg;
    const int model = m_pItem ? m_pItem->Variant : 0;
    uint8_t rx[128];
    switch (model) {
    case 0:
    case 2: {
        // Write single register: 11 on model 0, 256 on model 2. The echo is the answer.
        int n = ModBusCmd(addr, 6, model == 0 ? 11 : 256, value);
        return qx::skel::MbSend(*this, ser, n, rx, sizeof(rx), 0).ok() ? 1 : 0;
    }
    case 1: {
        // Register 1: the value goes into its high byte, the low byte stays as read.
        qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 3, 1, 1, rx, sizeof(rx), 0);
        if (!r.ok() || r.dataLen < 2) return 0;
        uint8_t data[2] = {value, r.data[1]};
        int n = ModBusCmdN((uint8_t)addr, 16, 1, 1, data);
        return qx::skel::MbSend(*this, ser, n, rx, sizeof(rx), 0).ok() ? 1 : 0;
    }
    default:
        return 0;  // the model takes no command: nothing sent
    }
}

int CSMElec::VarEval(char* text) {
    return qx::skel::VarEval(*this, text, kKeys, sizeof(kKeys) / sizeof(kKeys[0]));
}

int CSMElec::ModBusCmdN(unsigned char addr, unsigned char func, unsigned short reg,
                        unsigned short count, unsigned char* data) {
    return CBufHelper::ModBusCmdN(m_cmd, sizeof(m_cmd), addr, func, reg, count, data);
}

// ---------------------------------------------------------------- model 0
// Three requests; PT and CT are the meter's voltage and current transformer ratios.
//   F3 0:20 (wait 200 ms)  PT = u16(2), CT = u16(3)
//   F3 64:2                E = u32(64), in 1/12000 of a unit of PT * CT
//   three-phase F3 192:15  192-194 U, 195-197 I, 198 P, 199 Q (signed), 200 S, 201 PF,
//                          202 F, 203 unused, 204-206 phase P (signed)
//   single-phase F4 0:7    (Ext1 = 1) 0 U, 1 I, 2 P (signed), 3 Q, 4 S, 5 PF, 6 F
int CSMElec::DataGet_HCxxx(ISerBase* ser, int addr, int wait) {
    uint8_t rx[64];
    int32_t v[kFields];
    memcpy(v, m_val, sizeof(v));

    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 3, 0, 20, rx, sizeof(rx), 200);
    if (!r.ok()) return 0;
    const int64_t pt = r.Word(2), ct = r.Word(3), k = pt * ct;

    r = qx::skel::MbPoll(*this, ser, addr, 3, 64, 2, rx, sizeof(rx), 0);
    if (!r.ok()) return 0;
    const int64_t e = (int64_t)r.Word(0) << 16 | r.Word(1);
    v[kYgzdn - 1] = Low32(PerTwelveThousand(k, e));

    const bool single = m_pItem && m_pItem->Ext1 == 1;
    if (single) {
        r = qx::skel::MbPoll(*this, ser, addr, 4, 0, 7, rx, sizeof(rx), 0);
        if (!r.ok()) return 0;
        for (int f = kZyggl; f <= kCdl; f++) v[f - 1] = 0;
        v[kAdy - 1] = Low32(pt * r.Word(0) / 1000);
        v[kAdl - 1] = Low32(ct * r.Word(1) / 100);
        v[kZyggl - 1] = v[kAyggl - 1] = Low32(k * (int16_t)r.Word(2) / 10000);
        v[kZwggl - 1] = Low32(k * r.Word(3) / 10000);
        v[kZszgl - 1] = Low32(k * r.Word(4) / 10000);
        v[kZglys - 1] = r.Word(5) / 10;
        v[kPl - 1] = r.Word(6);
    } else {
        r = qx::skel::MbPoll(*this, ser, addr, 3, 192, 15, rx, sizeof(rx), 0);
        if (!r.ok()) return 0;
        for (int i = 0; i < 3; i++) {
            v[kAdy - 1 + i] = Low32(pt * r.Word(i) / 1000);
            v[kAdl - 1 + i] = Low32(ct * r.Word(3 + i) / 100);
            v[kAyggl - 1 + i] = Low32(k * (int16_t)r.Word(12 + i) / 10000);
            v[kAwggl - 1 + i] = 0;
            v[kAszgl - 1 + i] = 0;
            v[kAglys - 1 + i] = 0;
        }
        v[kZyggl - 1] = Low32(k * (int16_t)r.Word(6) * 3 / 10000);
        v[kZwggl - 1] = Low32(k * (int16_t)r.Word(7) * 3 / 10000);
        v[kZszgl - 1] = Low32(k * r.Word(8) * 3 / 10000);
        v[kZglys - 1] = r.Word(9) / 10;
        v[kPl - 1] = r.Word(10);
    }
    memcpy(m_val, v, sizeof(m_val));
    return 1;
}

// ---------------------------------------------------------------- the model runner

bool CSMElec::MeterReplies::Has(int reg) const {
    for (int i = n - 1; i >= 0; i--)
        if (reg >= start[i] && 2 * (reg - start[i]) + 1 < r[i].dataLen) return true;
    return false;
}

uint16_t CSMElec::MeterReplies::U16(int reg) const {
    for (int i = n - 1; i >= 0; i--)
        if (reg >= start[i] && 2 * (reg - start[i]) + 1 < r[i].dataLen)
            return r[i].Word(reg - start[i]);
    return 0;
}

uint16_t CSMElec::MeterReplies::At(int i, int reg) const {
    return (i >= 0 && i < n) ? r[i].Word(reg - start[i]) : 0;
}

uint32_t CSMElec::MeterReplies::U32(int reg) const {
    if (!Has(reg) || !Has(reg + 1)) return 0;
    return (uint32_t)U16(reg) << 16 | U16(reg + 1);
}

uint32_t CSMElec::MeterReplies::W32(int reg) const {
    if (!Has(reg) || !Has(reg + 1)) return 0;
    return (uint32_t)U16(reg + 1) << 16 | U16(reg);
}

float CSMElec::MeterReplies::F32(int reg) const {
    const uint32_t u = U32(reg);
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

float CSMElec::MeterReplies::WF32(int reg) const {
    const uint32_t u = W32(reg);
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

int32_t CSMElec::FloatField(float x, float mul, float div) {
    float y = x * mul;
    if (div != 0.0f) y = y / div;
    // Also false for NaN; 2^31 is exact in single precision.
    if (!(y > -2147483648.0f && y < 2147483648.0f)) return 0;
    return (int32_t)y;
}

uint64_t CSMElec::MeterReplies::Off(int i, int off, int width) const {
    // Offsets 0 to 2 are the address, function and byte count; data byte k is offset 3 + k.
    const int k = off - 3;
    if (i < 0 || i >= n || k < 0 || k + width > r[i].dataLen) return 0;
    uint64_t x = 0;
    for (int b = 0; b < width; b++) x = x << 8 | r[i].data[k + b];
    return x;
}

int CSMElec::RunModel(const MeterModel& model, ISerBase* ser, int addr) {
    if (model.count > kMaxSteps) return 0;
    // Each reply is kept for the decode: a read of 125 registers at most, with its frame.
    uint8_t rx[kMaxSteps][260];
    MeterReplies x;
    x.n = model.count;
    x.ext1 = m_pItem ? m_pItem->Ext1 : 0;
    x.ext2 = m_pItem ? m_pItem->Ext2 : 0;
    for (int i = 0; i < model.count; i++) {
        const MeterStep& s = model.steps[i];
        x.start[i] = (i == 0 && model.start) ? model.start(x.ext1) : s.reg;
        if (model.framing == qx::MbFraming::Tcp)
            x.r[i] = qx::MbRead(ser, qx::MbFraming::Tcp, m_tid++, addr, s.function, x.start[i],
                                s.count, rx[i], sizeof(rx[i]), s.waitMs);
        else
            x.r[i] = qx::skel::MbPoll(*this, ser, addr, s.function, x.start[i], s.count, rx[i],
                                      sizeof(rx[i]), s.waitMs);
        if (!x.r[i].ok()) return 0;
    }
    int32_t v[kFields];
    if (model.flags & kZeroFirst)
        memset(v, 0, sizeof(v));
    else
        memcpy(v, m_val, sizeof(v));
    model.decode(x, v);
    memcpy(m_val, v, sizeof(m_val));
    return 1;
}

// ---------------------------------------------------------------- integer models
// Each model: its requests (function register:count, wait in ms) and the decode of its
// replies into the fields. U, I, P, Q, S, PF: voltage, current, active, reactive and apparent
// power, power factor; "a-c" three consecutive registers or fields for phases A, B, C.
// Products are formed in 64 bits and the low 32 bits stored.

namespace {

typedef CSMElec E;
typedef CSMElec::MeterReplies Rx;

int32_t& F(int32_t* v, int fld) { return v[fld - 1]; }

// A value converted toward zero from a floating-point intermediate; one that no 64-bit
// integer holds stores 0.
int32_t Trunc(double x) {
    if (!(x > -9.2e18 && x < 9.2e18)) return 0;
    return Low32((int64_t)x);
}

// Field groups of three phases: first field fld, the registers reg, reg + step, ...
void Phases(int32_t* v, int fld, const Rx& x, int reg, int step, int64_t mul, int64_t div) {
    for (int i = 0; i < 3; i++) F(v, fld + i) = Low32(mul * x.U16(reg + i * step) / div);
}

// The scale factors of Ext1: the high 16 bits the voltage factor, the low 16 bits the
// current factor, 0 meaning 1.
int64_t KU(const Rx& x) { int k = (uint32_t)x.ext1 >> 16; return k ? k : 1; }
int64_t KI(const Rx& x) { int k = (uint32_t)x.ext1 & 0xFFFF; return k ? k : 1; }
// Ext1 as a current multiplier: 1 unless above 0.
int64_t Mul(const Rx& x) { return x.ext1 > 0 ? x.ext1 : 1; }

// Model 1, F3 33:32. Register 35's low byte is the current code; 37-39 U a-c; 43-45 I a-c;
// 46-49 P a-c and total; 50-53 Q; 54-57 PF; 58-61 S; 62 frequency; 63-64 energy, scaled by
// Ext2 in tenths.
void Decode1(const Rx& x, int32_t* v) {
    const int code = x.U16(35) & 0xFF;
    Phases(v, E::kAdy, x, 37, 1, 1, 1);
    for (int i = 0; i < 3; i++) {
        const int64_t c = x.U16(43 + i);
        int64_t a;
        switch (code) {
        case 1: a = (int64_t)(c * 100 * 0.001); break;
        case 2: a = c; break;
        case 3: a = c * 10; break;
        case 5: a = c * 1000; break;
        default: a = c * 100; break;
        }
        F(v, E::kAdl + i) = Low32(a);
    }
    const int groups[4][2] = {{E::kAyggl, E::kZyggl}, {E::kAwggl, E::kZwggl},
                              {E::kAglys, E::kZglys}, {E::kAszgl, E::kZszgl}};
    for (int g = 0; g < 4; g++) {
        Phases(v, groups[g][0], x, 46 + 4 * g, 1, 1, 1);
        F(v, groups[g][1]) = x.U16(49 + 4 * g);
    }
    F(v, E::kPl) = x.U16(62);
    F(v, E::kYgzdn) = Low32((int64_t)((uint64_t)x.U32(63) * (uint32_t)x.ext2 / 10));
}
const E::MeterStep kSteps1[] = {{3, 33, 32, 0}};
const E::MeterModel kModel1 = {kSteps1, 1, 0, Decode1, qx::MbFraming::Rtu, nullptr};

// Model 2, F3 0:57: 0-1 energy; 34-45 the fields Zyggl to Cszgl in tenths of their unit;
// 46-56 the fields Zglys to Cdl.
void Decode2(const Rx& x, int32_t* v) {
    F(v, E::kYgzdn) = Low32(x.U32(0));
    for (int f = E::kZyggl; f <= E::kCszgl; f++) F(v, f) = x.U16(34 + f - E::kZyggl) * 10;
    for (int f = E::kZglys; f <= E::kCdl; f++) F(v, f) = x.U16(46 + f - E::kZglys);
}
const E::MeterStep kSteps2[] = {{3, 0, 57, 0}};
const E::MeterModel kModel2 = {kSteps2, 1, 0, Decode2, qx::MbFraming::Rtu, nullptr};

// Model 3, F3 256:28 and F3 512:28, 32-bit values high word first. 256-260 P, Q, S totals;
// 262-266 P a-c; 268-272 Q a-c; 274-278 S a-c; 280-283 PF total, a-c. 512-516 I a-c;
// 520-524 U a-c in ten-thousandths (kept to 15 bits); 528 energy; 538 frequency.
void Decode3(const Rx& x, int32_t* v) {
    F(v, E::kZyggl) = Low32(x.U32(256));
    F(v, E::kZwggl) = Low32(x.U32(258));
    F(v, E::kZszgl) = Low32(x.U32(260));
    for (int i = 0; i < 3; i++) {
        F(v, E::kAyggl + i) = Low32(x.U32(262 + 2 * i));
        F(v, E::kAwggl + i) = Low32(x.U32(268 + 2 * i));
        F(v, E::kAszgl + i) = Low32(x.U32(274 + 2 * i));
        F(v, E::kAglys + i) = x.U16(281 + i);
        F(v, E::kAdl + i) = Low32((int64_t)x.U32(512 + 2 * i) * 10);
        F(v, E::kAdy + i) = (int32_t)(x.U32(520 + 2 * i) / 10000 & 0x7FFF);
    }
    F(v, E::kZglys) = x.U16(280);
    F(v, E::kYgzdn) = Low32((int64_t)x.U32(528) * 100);
    F(v, E::kPl) = x.U16(538) / 100;
}
const E::MeterStep kSteps3[] = {{3, 256, 28, 0}, {3, 512, 28, 0}};
const E::MeterModel kModel3 = {kSteps3, 2, 0, Decode3, qx::MbFraming::Rtu, nullptr};

// Model 4, F3 7:19 and F3 29:6. 7 frequency; 8 PF total; 9-12 P a-c and total, 13-16 Q,
// 17-20 S, in tenths of a kilo-unit; 24-25 energy (whole and 1/3000), scaled by Ext2;
// 29-31 U a-c; 32-34 I a-c.
void Decode4(const Rx& x, int32_t* v) {
    F(v, E::kPl) = x.U16(7);
    F(v, E::kZglys) = x.U16(8) * 10;
    const int groups[3][2] = {{E::kAyggl, E::kZyggl}, {E::kAwggl, E::kZwggl},
                              {E::kAszgl, E::kZszgl}};
    for (int g = 0; g < 3; g++) {
        Phases(v, groups[g][0], x, 9 + 4 * g, 1, 100, 1);
        F(v, groups[g][1]) = x.U16(12 + 4 * g) * 100;
    }
    for (int i = 0; i < 3; i++) F(v, E::kAglys + i) = 0;
    // The 1/3000 part is divided first, as the meter's counter is read.
    F(v, E::kYgzdn) =
        Low32((int64_t)((uint64_t)(uint32_t)x.ext2 * (x.U16(24) + x.U16(25) / 3000) * 100));
    Phases(v, E::kAdy, x, 29, 1, 1, 1);
    Phases(v, E::kAdl, x, 32, 1, 10, 1);
}
const E::MeterStep kSteps4[] = {{3, 7, 19, 0}, {3, 29, 6, 0}};
const E::MeterModel kModel4 = {kSteps4, 2, 0, Decode4, qx::MbFraming::Rtu, nullptr};

// Model 5, F3 97:23 (wait 100), F3 141:2, F3 0:2. 97-99 U a-c; 142 the ratio R (141 not
// used); 100-102 I a-c, 103-106 P a-c and total, 107-110 Q, 111-114 S, all times R;
// 115-118 PF, 119 frequency; 0-1 energy times R.
void Decode5(const Rx& x, int32_t* v) {
    const int64_t r = x.U16(142);
    Phases(v, E::kAdy, x, 97, 1, 1, 1);
    Phases(v, E::kAdl, x, 100, 1, r, 1);
    const int groups[4][2] = {{E::kAyggl, E::kZyggl}, {E::kAwggl, E::kZwggl},
                              {E::kAszgl, E::kZszgl}, {E::kAglys, E::kZglys}};
    for (int g = 0; g < 4; g++) {
        const int64_t k = g < 3 ? r : 10;
        Phases(v, groups[g][0], x, 103 + 4 * g, 1, k, 1);
        F(v, groups[g][1]) = Low32(k * x.U16(106 + 4 * g));
    }
    F(v, E::kPl) = x.U16(119) * 10;
    F(v, E::kYgzdn) = Low32(r * x.U32(0) * 10);
}
const E::MeterStep kSteps5[] = {{3, 97, 23, 100}, {3, 141, 2, 0}, {3, 0, 2, 0}};
const E::MeterModel kModel5 = {kSteps5, 3, 0, Decode5, qx::MbFraming::Rtu, nullptr};

// Model 6, F4 0:57. 2 PT, 3 CT; 20-22 U a-c; 26-28 I a-c in thousandths; 29 the sign word
// (low byte bits 0-7: registers 30-37 negative, high byte bits 0-3: registers 42-45);
// 30-33 P a-c and total, 34-37 Q, 38-41 S, in tenths of PT * CT; 42-45 PF; 46 frequency;
// 47-48 energy whole, 49 its thousandths.
void Decode6(const Rx& x, int32_t* v) {
    const int64_t pt = x.U16(2), ct = x.U16(3), k = pt * ct;
    const int sign = x.U16(29);
    auto signedReg = [&](int reg) -> int64_t {
        int bit = reg <= 37 ? reg - 30 : reg - 42 + 8;
        return (sign >> bit & 1) ? -(int64_t)x.U16(reg) : x.U16(reg);
    };
    for (int i = 0; i < 3; i++) {
        F(v, E::kAdy + i) = Low32(pt * x.U16(20 + i));
        F(v, E::kAdl + i) = Trunc((double)(ct * x.U16(26 + i)) / 1000 * 100);
    }
    const int groups[3][2] = {{E::kAyggl, E::kZyggl}, {E::kAwggl, E::kZwggl},
                              {E::kAszgl, E::kZszgl}};
    for (int g = 0; g < 3; g++)
        for (int i = 0; i < 4; i++) {
            const int reg = 30 + 4 * g + i;
            const int64_t raw = g < 2 ? signedReg(reg) : x.U16(reg);
            F(v, i < 3 ? groups[g][0] + i : groups[g][1]) = Low32(k * raw / 10);
        }
    for (int i = 0; i < 3; i++) F(v, E::kAglys + i) = Low32(signedReg(42 + i));
    F(v, E::kZglys) = Low32(signedReg(45));
    F(v, E::kPl) = x.U16(46);
    F(v, E::kYgzdn) =
        Trunc((double)((int64_t)x.U16(47) * 65536 + x.U16(48)) + x.U16(49) / 1000.0 * 100);
}
const E::MeterStep kSteps6[] = {{4, 0, 57, 0}};
const E::MeterModel kModel6 = {kSteps6, 1, 0, Decode6, qx::MbFraming::Rtu, nullptr};

// Model 8, F3 256:2 and F4 0:39 (wait 200 each). 256 the voltage range Ur, 257 the current
// range Ir; input 0-2 I a-c and 3-5 U a-c in 1/65535 of the range; 6-14 P, Q, S a-c offset
// by 32768 in 1/32768 of Ur * Ir; 33-35 PF likewise; 36 frequency. Ext1 the current
// multiplier; totals 0.
void Decode8(const Rx& x, int32_t* v) {
    const int64_t ur = x.U16(256), ir = x.U16(257), m = x.ext1 < 1 ? 1 : x.ext1;
    for (int i = 0; i < 3; i++) {
        F(v, E::kAdl + i) = Low32(m * (ir * x.U16(i) * 100 / 65535));
        F(v, E::kAdy + i) = Low32(ur * x.U16(3 + i) * 10 / 65535);
        F(v, E::kAglys + i) = Low32(((int64_t)x.U16(33 + i) * 1000 - 32768000) / 32768);
    }
    const int first[3] = {E::kAyggl, E::kAwggl, E::kAszgl};
    for (int j = 0; j < 9; j++)
        F(v, first[j / 3] + j % 3) = Low32(ur * ir * ((int64_t)x.U16(6 + j) - 32768) / 32768);
    F(v, E::kPl) = x.U16(36) * 100;
    F(v, E::kYgzdn) = F(v, E::kZyggl) = F(v, E::kZwggl) = F(v, E::kZszgl) = F(v, E::kZglys) = 0;
}
const E::MeterStep kSteps8[] = {{3, 256, 2, 200}, {4, 0, 39, 200}};
const E::MeterModel kModel8 = {kSteps8, 2, 0, Decode8, qx::MbFraming::Rtu, nullptr};

// Models 10 and 13, F3 s:110 (wait 200), s = 100, 210 (Ext1 1) or 320 (Ext1 2). From s:
// 0-2 I a-c, 3-5 U a-c, 6-8 P a-c, 9-11 PF a-c, 12 frequency, 13-15 S a-c, 16-18 Q a-c,
// 26-27 energy in kWh. Totals stay 0.
int Block10(int ext1) { return ext1 == 1 ? 210 : ext1 == 2 ? 320 : 100; }
void Decode10(const Rx& x, int32_t* v) {
    const int s = x.start[0];
    Phases(v, E::kAdl, x, s, 1, 10, 1);
    Phases(v, E::kAdy, x, s + 3, 1, 1, 1);
    Phases(v, E::kAyggl, x, s + 6, 1, 100, 1);
    Phases(v, E::kAglys, x, s + 9, 1, 1, 1);
    F(v, E::kPl) = x.U16(s + 12) * 100;
    Phases(v, E::kAszgl, x, s + 13, 1, 100, 1);
    Phases(v, E::kAwggl, x, s + 16, 1, 100, 1);
    F(v, E::kYgzdn) = Low32((int64_t)x.U32(s + 26) * 1000);
}
const E::MeterStep kSteps10[] = {{3, 100, 110, 200}};
const E::MeterModel kModel10 = {kSteps10, 1, E::kZeroFirst, Decode10, qx::MbFraming::Rtu,
                                Block10};
const E::MeterModel kModel13 = {kSteps10, 1, E::kZeroFirst, Decode10, qx::MbFraming::Tcp,
                                Block10};

// Model 12, single-phase, F3 0:18 (wait 100): 0-1 energy in tens of Wh, 11 U, 12 I, 13 P,
// 14 Q, 15 S, 16 PF (each the total and phase A), 17 frequency.
void Decode12(const Rx& x, int32_t* v) {
    F(v, E::kYgzdn) = Low32((int64_t)x.U32(0) * 10);
    F(v, E::kAdy) = x.U16(11);
    F(v, E::kAdl) = x.U16(12);
    const int pairs[4][2] = {{E::kZyggl, E::kAyggl}, {E::kZwggl, E::kAwggl},
                             {E::kZszgl, E::kAszgl}, {E::kZglys, E::kAglys}};
    for (int g = 0; g < 4; g++) {
        F(v, pairs[g][0]) = F(v, pairs[g][1]) = x.U16(13 + g);
        F(v, pairs[g][1] + 1) = F(v, pairs[g][1] + 2) = 0;  // phases B and C
    }
    F(v, E::kPl) = x.U16(17);
    F(v, E::kBdy) = F(v, E::kCdy) = F(v, E::kBdl) = F(v, E::kCdl) = 0;
}
const E::MeterStep kSteps12[] = {{3, 0, 18, 100}};
const E::MeterModel kModel12 = {kSteps12, 1, 0, Decode12, qx::MbFraming::Rtu, nullptr};

// Model 14, F3 0:50 (wait 100). 3-5 U a-c, 6-8 I a-c (tenths of the stored unit); 10-11,
// 12-13 P (signed) and Q totals, low word first; 14 PF; 15-17 P a-c, 18-20 Q a-c; 21-23 PF
// a-c; 24 frequency; 25-26 energy; 46-49 S a-c and total.
void Decode14(const Rx& x, int32_t* v) {
    Phases(v, E::kAdy, x, 3, 1, 1, 10);
    Phases(v, E::kAdl, x, 6, 1, 1, 10);
    F(v, E::kZyggl) = (int32_t)x.W32(10) / 10;
    F(v, E::kZwggl) = (int32_t)(x.W32(12) / 10);
    F(v, E::kZglys) = x.U16(14);
    Phases(v, E::kAyggl, x, 15, 1, 1, 10);
    Phases(v, E::kAwggl, x, 18, 1, 1, 10);
    Phases(v, E::kAglys, x, 21, 1, 1, 1);
    F(v, E::kPl) = x.U16(24);
    F(v, E::kYgzdn) = (int32_t)(x.U32(25) / 10);
    // The apparent powers were once read as 32-bit values two bytes apart, the last running
    // into the CRC; the meter keeps one register each, 46 to 49, read here as such.
    Phases(v, E::kAszgl, x, 46, 1, 10, 1);
    F(v, E::kZszgl) = x.U16(49) * 10;
}
const E::MeterStep kSteps14[] = {{3, 0, 50, 100}};
const E::MeterModel kModel14 = {kSteps14, 1, E::kZeroFirst, Decode14, qx::MbFraming::Rtu,
                                nullptr};

// Model 15, F3 40:1 (only has to answer) and F3 0:32 (wait 100 each), the second decoded by
// reply offset: 3, 7, 11 I a-c (32 bits); 15, 19, 23 U a-c; 39-63 P a-c and total (64
// bits); 71-95 Q; 103-127 S; 135-141 PF (16 bits, signed); 143 frequency; 149 energy. A
// reply of 32 registers ends at offset 66: what lies beyond it is not read and stays 0.
void Decode15(const Rx& x, int32_t* v) {
    for (int i = 0; i < 3; i++) {
        F(v, E::kAdl + i) = (int32_t)(x.Off(1, 3 + 4 * i, 4) / 10);
        F(v, E::kAdy + i) = (int32_t)x.Off(1, 15 + 4 * i, 4);
    }
    const int first[3] = {E::kAyggl, E::kAwggl, E::kAszgl};
    const int total[3] = {E::kZyggl, E::kZwggl, E::kZszgl};
    for (int g = 0; g < 3; g++)
        for (int i = 0; i < 4; i++) {
            const int64_t raw = (int64_t)x.Off(1, 39 + 32 * g + 8 * i, 8);
            F(v, i < 3 ? first[g] + i : total[g]) = Low32(g < 2 ? raw / 10 : raw * 10);
        }
    for (int i = 0; i < 4; i++)
        F(v, i < 3 ? E::kAglys + i : E::kZglys) = (int16_t)x.Off(1, 135 + 2 * i, 2);
    F(v, E::kPl) = (int32_t)x.Off(1, 143, 2);
    F(v, E::kYgzdn) = (int32_t)x.Off(1, 149, 4);
}
const E::MeterStep kSteps15[] = {{3, 40, 1, 100}, {3, 0, 32, 100}};
const E::MeterModel kModel15 = {kSteps15, 2, E::kZeroFirst, Decode15, qx::MbFraming::Rtu,
                                nullptr};

// Models 17, 18 and 21 from register 70: 70-72 U a-c, 76-78 I a-c in tenths of the stored
// unit, 79-82 P a-c and total, 83-86 Q, 87-90 S.
void Decode70to90(const Rx& x, int32_t* v) {
    Phases(v, E::kAdy, x, 70, 1, 1, 1);
    Phases(v, E::kAdl, x, 76, 1, 1, 10);
    const int groups[3][2] = {{E::kAyggl, E::kZyggl}, {E::kAwggl, E::kZwggl},
                              {E::kAszgl, E::kZszgl}};
    for (int g = 0; g < 3; g++) {
        Phases(v, groups[g][0], x, 79 + 4 * g, 1, 1, 1);
        F(v, groups[g][1]) = x.U16(82 + 4 * g);
    }
}
// Models 17 (F3) and 21 (F4), 70:30 (wait 100): then 91 PF (total and every phase), 92
// frequency, 93-94 energy.
void Decode17(const Rx& x, int32_t* v) {
    Decode70to90(x, v);
    F(v, E::kZglys) = F(v, E::kAglys) = F(v, E::kBglys) = F(v, E::kCglys) = x.U16(91);
    F(v, E::kPl) = x.U16(92);
    F(v, E::kYgzdn) = Low32(x.U32(93));
}
const E::MeterStep kSteps17[] = {{3, 70, 30, 100}};
const E::MeterStep kSteps21[] = {{4, 70, 30, 100}};
const E::MeterModel kModel17 = {kSteps17, 1, 0, Decode17, qx::MbFraming::Rtu, nullptr};
const E::MeterModel kModel21 = {kSteps21, 1, 0, Decode17, qx::MbFraming::Rtu, nullptr};

// Model 18, F3 70:30 and F3 8192:2 (wait 100 each): as 17 to register 90, then 91-93 PF a-c,
// 94 PF total, 95 frequency; 8192-8193 energy in tens of Wh.
void Decode18(const Rx& x, int32_t* v) {
    Decode70to90(x, v);
    Phases(v, E::kAglys, x, 91, 1, 1, 1);
    F(v, E::kZglys) = x.U16(94);
    F(v, E::kPl) = x.U16(95);
    F(v, E::kYgzdn) = Low32((int64_t)x.U32(8192) * 10);
}
const E::MeterStep kSteps18[] = {{3, 70, 30, 100}, {3, 8192, 2, 100}};
const E::MeterModel kModel18 = {kSteps18, 2, E::kZeroFirst, Decode18, qx::MbFraming::Rtu,
                                nullptr};

// Models 19 and 33, F3 0:41 (wait 100): a block of 8 registers per phase from 0 (A), 8 (B),
// 16 (C): +0 U, +2 I, +4 P, +5 PF, +6 Q, +7 S; 27 frequency, 28 P, 29 PF, 30 Q, 31 S
// totals; 33-34 energy, low word first. ku scales the voltages, ki the currents, kp every
// power register (before its factor) and the energy.
void DecodeBlocks(const Rx& x, int32_t* v, int64_t ku, int64_t ki, int64_t kp) {
    for (int i = 0; i < 3; i++) {
        const int b = 8 * i;
        F(v, E::kAdy + i) = Low32(ku * (x.U16(b) / 10));
        F(v, E::kAdl + i) = Low32(ki * (x.U16(b + 2) / 100));
        F(v, E::kAyggl + i) = Trunc((double)(kp * x.U16(b + 4)) * 0.4);
        F(v, E::kAglys + i) = x.U16(b + 5) / 10;
        F(v, E::kAwggl + i) = Trunc((double)(kp * x.U16(b + 6)) * 0.4);
        F(v, E::kAszgl + i) = Trunc((double)(kp * x.U16(b + 7)) * 0.2);
    }
    F(v, E::kPl) = Trunc(x.U16(27) * 0.106813);
    F(v, E::kZyggl) = Trunc((double)(kp * x.U16(28)) * 0.4);
    F(v, E::kZglys) = x.U16(29) / 10;
    F(v, E::kZwggl) = Trunc((double)(kp * x.U16(30)) * 0.4);
    F(v, E::kZszgl) = Trunc((double)(kp * x.U16(31)) * 0.2);
    // kU * kI * w32 may exceed 64 bits; its low 32 bits are those of the wrapped product.
    F(v, E::kYgzdn) = (int32_t)(uint32_t)((uint64_t)kp * x.W32(33));
}
void Decode19(const Rx& x, int32_t* v) { DecodeBlocks(x, v, 1, Mul(x), 1); }
void Decode33(const Rx& x, int32_t* v) { DecodeBlocks(x, v, KU(x), KI(x), KU(x) * KI(x)); }
const E::MeterStep kSteps19[] = {{3, 0, 41, 100}};
const E::MeterModel kModel19 = {kSteps19, 1, E::kZeroFirst, Decode19, qx::MbFraming::Rtu,
                                nullptr};
const E::MeterModel kModel33 = {kSteps19, 1, E::kZeroFirst, Decode33, qx::MbFraming::Rtu,
                                nullptr};

// Model 26, single-phase, F3 16:2 (wait 200): 16 U, 17 I in tenths of the stored unit,
// times the Ext1 multiplier. The request carries no active-power register: Ayggl stays 0
// (it was once read from the CRC's place).
void Decode26(const Rx& x, int32_t* v) {
    F(v, E::kAdy) = x.U16(16);
    F(v, E::kAdl) = Low32(Mul(x) * (x.U16(17) / 10));
}
const E::MeterStep kSteps26[] = {{3, 16, 2, 200}};
const E::MeterModel kModel26 = {kSteps26, 1, E::kZeroFirst, Decode26, qx::MbFraming::Rtu,
                                nullptr};

// Model 27, F3 0:70 (wait 100), 32-bit values high word first: 0, 2, 4 U a-c in hundredths
// of the stored unit, times kU; 12, 14, 16 I a-c in tenths, times kI; from 18 P a-c, P,
// Q a-c, Q, S a-c, S, PF a-c, PF, frequency, energy, each as stored.
void Decode27(const Rx& x, int32_t* v) {
    for (int i = 0; i < 3; i++) {
        F(v, E::kAdy + i) = Low32(KU(x) * (x.U32(2 * i) / 100));
        F(v, E::kAdl + i) = Low32(KI(x) * (x.U32(12 + 2 * i) / 10));
    }
    const int order[] = {E::kAyggl, E::kByggl, E::kCyggl, E::kZyggl, E::kAwggl, E::kBwggl,
                         E::kCwggl, E::kZwggl, E::kAszgl, E::kBszgl, E::kCszgl, E::kZszgl,
                         E::kAglys, E::kBglys, E::kCglys, E::kZglys, E::kPl,    E::kYgzdn};
    for (int j = 0; j < (int)(sizeof(order) / sizeof(order[0])); j++)
        F(v, order[j]) = Low32(x.U32(18 + 2 * j));
}
const E::MeterStep kSteps27[] = {{3, 0, 70, 100}};
const E::MeterModel kModel27 = {kSteps27, 1, E::kZeroFirst, Decode27, qx::MbFraming::Rtu,
                                nullptr};

// Model 28, F3 2:2, F3 16:2, F4 0:29, F3 64:2 (wait 100 each). 2, 3 the ratios a, b; 16, 17
// the ratios c, d; input 0-2 U a-c in thousandths of a * c; 8-10 I a-c in hundredths of
// b * d; 11-14 P a-c and total, 15-18 Q, 19-22 S, in ten-thousandths of F = a * b * c * d
// (totals times 3); 23-26 PF; 27 frequency; holding 64-65 energy.
void Decode28(const Rx& x, int32_t* v) {
    // Holding 2, 3 and 16, 17, not the input registers of the same numbers.
    const double a = x.At(0, 2), b = x.At(0, 3), c = x.At(1, 16), d = x.At(1, 17);
    const double f = a * c * b * d;
    for (int i = 0; i < 3; i++) {
        F(v, E::kAdy + i) = Trunc(x.U16(i) / 1000.0 * a * c);
        F(v, E::kAdl + i) = Trunc(x.U16(8 + i) / 100.0 * b * d);
    }
    const int groups[3][2] = {{E::kAyggl, E::kZyggl}, {E::kAwggl, E::kZwggl},
                              {E::kAszgl, E::kZszgl}};
    for (int g = 0; g < 3; g++) {
        for (int i = 0; i < 3; i++) F(v, groups[g][0] + i) = Trunc(x.U16(11 + 4 * g + i) / 10000.0 * f);
        F(v, groups[g][1]) = Trunc(x.U16(14 + 4 * g) / 10000.0 * 3 * f);
    }
    Phases(v, E::kAglys, x, 23, 1, 1, 10);
    F(v, E::kZglys) = x.U16(26) / 10;
    F(v, E::kPl) = x.U16(27);
    F(v, E::kYgzdn) = Low32(x.U32(64));
}
const E::MeterStep kSteps28[] = {{3, 2, 2, 100}, {3, 16, 2, 100}, {4, 0, 29, 100}, {3, 64, 2, 100}};
const E::MeterModel kModel28 = {kSteps28, 4, E::kZeroFirst, Decode28, qx::MbFraming::Rtu,
                                nullptr};

// Model 30, single-phase, F3 72:10 (wait 100): 72 U, 73 I (tenths of the stored units, I
// times the Ext1 multiplier), 74 P, 75 Q, 76 S, 77 PF, 78 frequency, 79-80 energy.
void Decode30(const Rx& x, int32_t* v) {
    F(v, E::kAdy) = x.U16(72) / 10;
    F(v, E::kAdl) = Low32(Mul(x) * (x.U16(73) / 10));
    F(v, E::kAyggl) = x.U16(74);
    F(v, E::kAwggl) = x.U16(75);
    F(v, E::kAszgl) = x.U16(76);
    F(v, E::kAglys) = x.U16(77);
    F(v, E::kPl) = x.U16(78);
    F(v, E::kYgzdn) = Low32(x.U32(79));
}
const E::MeterStep kSteps30[] = {{3, 72, 10, 100}};
const E::MeterModel kModel30 = {kSteps30, 1, E::kZeroFirst, Decode30, qx::MbFraming::Rtu,
                                nullptr};

// Model 32, F3 366:53 (wait 100), 32-bit values high word first: 366, 368, 370 U a-c in
// thousandths, times kU; 372, 374 I a, b in hundredths, times kI (B was once read from words
// overlapping A's; 374 follows A); 377, 379, ... 407 the fields Zyggl to Cglys in field
// order; 415 frequency, 417 energy. The request reaches 418, the energy's low word (it once
// ended at 415, so that both stayed 0). The meter keeps no phase C current: what was once
// read as one (376-377) has the total active power's high word as its low word, so Cdl stays
// 0 and is no field of this model (ModelLacks).
void Decode32(const Rx& x, int32_t* v) {
    for (int i = 0; i < 3; i++) F(v, E::kAdy + i) = Low32(KU(x) * (x.U32(366 + 2 * i) / 1000));
    for (int i = 0; i < 2; i++) F(v, E::kAdl + i) = Low32(KI(x) * (x.U32(372 + 2 * i) / 100));
    for (int f = E::kZyggl; f <= E::kCglys; f++) F(v, f) = Low32(x.U32(377 + 2 * (f - E::kZyggl)));
    F(v, E::kPl) = Low32(x.U32(415));
    F(v, E::kYgzdn) = Low32(x.U32(417));
}
const E::MeterStep kSteps32[] = {{3, 366, 53, 100}};
const E::MeterModel kModel32 = {kSteps32, 1, E::kZeroFirst, Decode32, qx::MbFraming::Rtu,
                                nullptr};

// Model 34, F3 50:41 (wait 100): 50-52 U a-c, 56-58 I a-c (tenths of the stored units,
// times kU and kI); 59-60 P (signed) and 61-62 Q totals, low word first, 64-66 P a-c, 67-69
// Q a-c, all in tenths of kU * kI; 63 PF total, 70-72 PF a-c; 73 frequency; 74-75 energy
// (low word first) in hundredths. No apparent powers.
void Decode34(const Rx& x, int32_t* v) {
    const int64_t ku = KU(x), ki = KI(x);
    for (int i = 0; i < 3; i++) {
        F(v, E::kAdy + i) = Low32(ku * (x.U16(50 + i) / 10));
        F(v, E::kAdl + i) = Low32(ki * (x.U16(56 + i) / 10));
    }
    F(v, E::kZyggl) = Low32(ki * ku * (int32_t)x.W32(59) / 10);
    // kI * kU * w32 may exceed 64 bits: the tenths of kI * kU are taken apart (exact).
    const uint64_t k = (uint64_t)(ki * ku), q = x.W32(61);
    F(v, E::kZwggl) = (int32_t)(uint32_t)(k / 10 * q + k % 10 * q / 10);
    F(v, E::kZglys) = x.U16(63);
    Phases(v, E::kAyggl, x, 64, 1, ki * ku, 10);
    Phases(v, E::kAwggl, x, 67, 1, ki * ku, 10);
    Phases(v, E::kAglys, x, 70, 1, 1, 1);
    F(v, E::kPl) = x.U16(73);
    F(v, E::kYgzdn) = Low32((int64_t)x.W32(74) * 100);
}
const E::MeterStep kSteps34[] = {{3, 50, 41, 100}};
const E::MeterModel kModel34 = {kSteps34, 1, E::kZeroFirst, Decode34, qx::MbFraming::Rtu,
                                nullptr};

// ---------------------------------------------------------------- floating-point models
// Singles in pairs of registers; each is scaled in single precision and truncated toward
// zero through CSMElec::FloatField (a NaN, an infinity or a value beyond 32 bits stores 0,
// the other fields of the reply still decode).

enum FloatForm : uint8_t {
    kF32,     // IEEE single, high word first
    kAbsF32,  // the same with its sign cleared
    kWF32,    // IEEE single, low word first
    kUF32,    // u32 taken by value as a single
    kW32,     // w32 as an integer, divided by div (not a float)
};

// Fields fld, fld + 1, ... (n of them) from the pairs at reg, reg + 2, ...: the value times
// mul, divided by div (0: not divided); currents with `m` times the Ext1 multiplier after.
// Power factors are stored in thousandths: a meter that keeps 0.95 has mul 1000 (formed in
// single precision, so 0.95 stores 950).
struct FloatPut {
    uint8_t fld, n;
    uint16_t reg;
    uint8_t form;
    float mul, div;
    bool m;
};

void Floats(const Rx& x, int32_t* v, const FloatPut* puts, int count) {
    const float m = (float)Mul(x);
    for (int k = 0; k < count; k++) {
        const FloatPut& p = puts[k];
        for (int i = 0; i < p.n; i++) {
            const int reg = p.reg + 2 * i;
            float f = 0.0f;
            switch (p.form) {
            case kF32: f = x.F32(reg); break;
            case kAbsF32: f = fabsf(x.F32(reg)); break;
            case kWF32: f = x.WF32(reg); break;
            case kUF32: f = (float)x.U32(reg); break;
            default:
                F(v, p.fld + i) = Low32(x.W32(reg) / (uint32_t)(p.div > 0.0f ? p.div : 1.0f));
                continue;
            }
            F(v, p.fld + i) = p.m ? E::FloatField(f * p.mul, m, 0.0f) : E::FloatField(f, p.mul, p.div);
        }
    }
}

#define FLOATS(puts) Floats(x, v, puts, (int)(sizeof(puts) / sizeof(puts[0])))

// Model 7, F3 6:55 (wait 200), 32-bit integers taken as singles: 6-10 U a-c, 18-22 I a-c,
// 24-28 P a-c, 30 P, 32-36 Q a-c, 38 Q, 40 S, 42 PF, 44 energy in kWh. The frequency was
// once read from the power factor's pair (42) as well: the meter has no frequency register
// in this block, so Pl stays 0 rather than show the power factor.
const FloatPut kFloats7[] = {
    {E::kAdy, 3, 6, kUF32, 10, 0, false},   {E::kAdl, 3, 18, kUF32, 100, 0, false},
    {E::kAyggl, 3, 24, kUF32, 1, 0, false}, {E::kZyggl, 1, 30, kUF32, 1, 0, false},
    {E::kAwggl, 3, 32, kUF32, 1, 0, false}, {E::kZwggl, 1, 38, kUF32, 1, 0, false},
    {E::kZszgl, 1, 40, kUF32, 1, 0, false}, {E::kZglys, 1, 42, kUF32, 1000, 0, false},
    {E::kYgzdn, 1, 44, kUF32, 1000, 0, false},
};
void Decode7(const Rx& x, int32_t* v) {
    FLOATS(kFloats7);
    for (int i = 0; i < 3; i++) F(v, E::kAszgl + i) = F(v, E::kAglys + i) = 0;
    F(v, E::kPl) = 0;
}
const E::MeterStep kSteps7[] = {{3, 6, 55, 200}};
const E::MeterModel kModel7 = {kSteps7, 1, 0, Decode7, qx::MbFraming::Rtu, nullptr};

// Model 9, F3 0:64 (wait 200): as model 7 in singles, the one power factor (42) in all four
// power-factor fields, 44 frequency, 54 energy.
const FloatPut kFloats9[] = {
    {E::kAdy, 3, 6, kF32, 10, 0, false},    {E::kAdl, 3, 18, kF32, 100, 0, false},
    {E::kAyggl, 3, 24, kF32, 1, 0, false},  {E::kZyggl, 1, 30, kF32, 1, 0, false},
    {E::kAwggl, 3, 32, kF32, 1, 0, false},  {E::kZwggl, 1, 38, kF32, 1, 0, false},
    {E::kZszgl, 1, 40, kF32, 1, 0, false},  {E::kZglys, 1, 42, kF32, 1000, 0, false},
    {E::kAglys, 1, 42, kF32, 1000, 0, false}, {E::kBglys, 1, 42, kF32, 1000, 0, false},
    {E::kCglys, 1, 42, kF32, 1000, 0, false}, {E::kPl, 1, 44, kF32, 100, 0, false},
    {E::kYgzdn, 1, 54, kF32, 1, 0, false},
};
void Decode9(const Rx& x, int32_t* v) { FLOATS(kFloats9); }
const E::MeterStep kSteps9[] = {{3, 0, 64, 200}};
const E::MeterModel kModel9 = {kSteps9, 1, E::kZeroFirst, Decode9, qx::MbFraming::Rtu, nullptr};

// Model 11, F3 0:96 (wait 200), every single with its sign cleared: 23-27 U a-c, 35-39 I
// a-c, from 41 groups of four (phases A-C, total) of P, Q, PF and S in thousandths, 73
// frequency, 79 energy in hundredths of a Wh. Sets all 24 fields.
const FloatPut kFloats11[] = {
    {E::kAdy, 3, 23, kAbsF32, 10, 0, false},    {E::kAdl, 3, 35, kAbsF32, 100, 0, false},
    {E::kAyggl, 3, 41, kAbsF32, 1000, 0, false}, {E::kZyggl, 1, 47, kAbsF32, 1000, 0, false},
    {E::kAwggl, 3, 49, kAbsF32, 1000, 0, false}, {E::kZwggl, 1, 55, kAbsF32, 1000, 0, false},
    {E::kAglys, 3, 57, kAbsF32, 1000, 0, false}, {E::kZglys, 1, 63, kAbsF32, 1000, 0, false},
    {E::kAszgl, 3, 65, kAbsF32, 1000, 0, false}, {E::kZszgl, 1, 71, kAbsF32, 1000, 0, false},
    {E::kPl, 1, 73, kAbsF32, 100, 0, false},     {E::kYgzdn, 1, 79, kAbsF32, 1, 100, false},
};
void Decode11(const Rx& x, int32_t* v) { FLOATS(kFloats11); }
const E::MeterStep kSteps11[] = {{3, 0, 96, 200}};
const E::MeterModel kModel11 = {kSteps11, 1, 0, Decode11, qx::MbFraming::Rtu, nullptr};

// Models 16 (F3) and 20 (F4), 10:18, 28:24, 58:12 (wait 200 each): 10-14 U a-c, 22-26 I a-c
// times the Ext1 multiplier; 28-32 P a-c, 34 P, 36-40 Q a-c, 42 Q, 44 S, 46 PF, 48
// frequency, 50 energy; 58-62 PF a-c, 64-68 S a-c.
const FloatPut kFloats16[] = {
    {E::kAdy, 3, 10, kF32, 10, 0, false},  {E::kAdl, 3, 22, kF32, 100, 0, true},
    {E::kAyggl, 3, 28, kF32, 1, 0, false}, {E::kZyggl, 1, 34, kF32, 1, 0, false},
    {E::kAwggl, 3, 36, kF32, 1, 0, false}, {E::kZwggl, 1, 42, kF32, 1, 0, false},
    {E::kZszgl, 1, 44, kF32, 1, 0, false}, {E::kZglys, 1, 46, kF32, 1000, 0, false},
    {E::kPl, 1, 48, kF32, 100, 0, false},  {E::kYgzdn, 1, 50, kF32, 1, 0, false},
    {E::kAglys, 3, 58, kF32, 1000, 0, false}, {E::kAszgl, 3, 64, kF32, 1, 0, false},
};
void Decode16(const Rx& x, int32_t* v) { FLOATS(kFloats16); }
const E::MeterStep kSteps16[] = {{3, 10, 18, 200}, {3, 28, 24, 200}, {3, 58, 12, 200}};
const E::MeterStep kSteps20[] = {{4, 10, 18, 200}, {4, 28, 24, 200}, {4, 58, 12, 200}};
const E::MeterModel kModel16 = {kSteps16, 3, 0, Decode16, qx::MbFraming::Rtu, nullptr};
const E::MeterModel kModel20 = {kSteps20, 3, 0, Decode16, qx::MbFraming::Rtu, nullptr};

// Model 22, F3 9:24 and F3 45:26 (wait 200 each): 9-13 U a-c, 15-19 I a-c, 23 P, 25 Q, 27
// PF, 29 frequency, 31 energy in tens of Wh; 45-49 P a-c, 51-55 Q a-c, 57-61 S a-c, 63 S,
// 65-69 PF a-c.
const FloatPut kFloats22[] = {
    {E::kAdy, 3, 9, kF32, 10, 0, false},   {E::kAdl, 3, 15, kF32, 100, 0, false},
    {E::kZyggl, 1, 23, kF32, 1, 0, false}, {E::kZwggl, 1, 25, kF32, 1, 0, false},
    {E::kZglys, 1, 27, kF32, 1000, 0, false}, {E::kPl, 1, 29, kF32, 100, 0, false},
    {E::kYgzdn, 1, 31, kF32, 1, 10, false}, {E::kAyggl, 3, 45, kF32, 1, 0, false},
    {E::kAwggl, 3, 51, kF32, 1, 0, false}, {E::kAszgl, 3, 57, kF32, 1, 0, false},
    {E::kZszgl, 1, 63, kF32, 1, 0, false}, {E::kAglys, 3, 65, kF32, 1000, 0, false},
};
void Decode22(const Rx& x, int32_t* v) { FLOATS(kFloats22); }
const E::MeterStep kSteps22[] = {{3, 9, 24, 200}, {3, 45, 26, 200}};
const E::MeterModel kModel22 = {kSteps22, 2, 0, Decode22, qx::MbFraming::Rtu, nullptr};

// Model 23, F3 0:18, 32:16, 48:8, 56:8, 64:2, 80:4 (wait 200 each), every pair low word
// first: 0-4 U a-c and 12-16 I a-c (tenths of the stored unit) as integers; 32-38 P a-c and
// total, 40-46 Q as singles; 48-54 PF as integers; 56-62 S as singles; 64 frequency and 80
// energy as integers.
const FloatPut kFloats23[] = {
    {E::kAdy, 3, 0, kW32, 1, 0, false},     {E::kAdl, 3, 12, kW32, 1, 10, false},
    {E::kAyggl, 3, 32, kWF32, 1, 0, false}, {E::kZyggl, 1, 38, kWF32, 1, 0, false},
    {E::kAwggl, 3, 40, kWF32, 1, 0, false}, {E::kZwggl, 1, 46, kWF32, 1, 0, false},
    {E::kAglys, 3, 48, kW32, 1, 0, false},  {E::kZglys, 1, 54, kW32, 1, 0, false},
    {E::kAszgl, 3, 56, kWF32, 1, 0, false}, {E::kZszgl, 1, 62, kWF32, 1, 0, false},
    {E::kPl, 1, 64, kW32, 1, 0, false},     {E::kYgzdn, 1, 80, kW32, 1, 0, false},
};
void Decode23(const Rx& x, int32_t* v) { FLOATS(kFloats23); }
const E::MeterStep kSteps23[] = {{3, 0, 18, 200},  {3, 32, 16, 200}, {3, 48, 8, 200},
                                 {3, 56, 8, 200},  {3, 64, 2, 200},  {3, 80, 4, 200}};
const E::MeterModel kModel23 = {kSteps23, 6, 0, Decode23, qx::MbFraming::Rtu, nullptr};

// Model 24, F3 57:18, 75:34, 109:12 (wait 200 each): 57-61 U a-c, 69-73 I a-c; from 75
// groups of four (phases A-C, total) of P, Q, S and PF, 107 frequency; 109 energy in tens
// of Wh.
const FloatPut kFloats24[] = {
    {E::kAdy, 3, 57, kF32, 10, 0, false},  {E::kAdl, 3, 69, kF32, 100, 0, false},
    {E::kAyggl, 3, 75, kF32, 1, 0, false}, {E::kZyggl, 1, 81, kF32, 1, 0, false},
    {E::kAwggl, 3, 83, kF32, 1, 0, false}, {E::kZwggl, 1, 89, kF32, 1, 0, false},
    {E::kAszgl, 3, 91, kF32, 1, 0, false}, {E::kZszgl, 1, 97, kF32, 1, 0, false},
    {E::kAglys, 3, 99, kF32, 1000, 0, false}, {E::kZglys, 1, 105, kF32, 1000, 0, false},
    {E::kPl, 1, 107, kF32, 100, 0, false}, {E::kYgzdn, 1, 109, kF32, 1, 10, false},
};
void Decode24(const Rx& x, int32_t* v) { FLOATS(kFloats24); }
const E::MeterStep kSteps24[] = {{3, 57, 18, 200}, {3, 75, 34, 200}, {3, 109, 12, 200}};
const E::MeterModel kModel24 = {kSteps24, 3, 0, Decode24, qx::MbFraming::Rtu, nullptr};

// Model 25, F3 0:16, 24:32, 64:32 (wait 200 each): 0-4 I a-c, 8-12 U a-c; from 24 groups of
// four of P, Q, S and PF; 64 frequency, 66 energy in tens of Wh.
const FloatPut kFloats25[] = {
    {E::kAdl, 3, 0, kF32, 100, 0, false},  {E::kAdy, 3, 8, kF32, 10, 0, false},
    {E::kAyggl, 3, 24, kF32, 1, 0, false}, {E::kZyggl, 1, 30, kF32, 1, 0, false},
    {E::kAwggl, 3, 32, kF32, 1, 0, false}, {E::kZwggl, 1, 38, kF32, 1, 0, false},
    {E::kAszgl, 3, 40, kF32, 1, 0, false}, {E::kZszgl, 1, 46, kF32, 1, 0, false},
    {E::kAglys, 3, 48, kF32, 1000, 0, false}, {E::kZglys, 1, 54, kF32, 1000, 0, false},
    {E::kPl, 1, 64, kF32, 100, 0, false},  {E::kYgzdn, 1, 66, kF32, 1, 10, false},
};
void Decode25(const Rx& x, int32_t* v) { FLOATS(kFloats25); }
const E::MeterStep kSteps25[] = {{3, 0, 16, 200}, {3, 24, 32, 200}, {3, 64, 32, 200}};
const E::MeterModel kModel25 = {kSteps25, 3, 0, Decode25, qx::MbFraming::Rtu, nullptr};

// Model 29, F3 6:42 (wait 200): 6-10 U a-c, 18-22 I a-c times the Ext1 multiplier, 24-28 P
// a-c, 30 P, 32-36 Q a-c, 38 Q, 40 S in thousandths (kW, kvar and kVA on the wire; W, var
// and VA stored), 42 PF, 44 frequency, 46 energy in kWh. Phase S and PF stay 0.
const FloatPut kFloats29[] = {
    {E::kAdy, 3, 6, kF32, 10, 0, false},      {E::kAdl, 3, 18, kF32, 100, 0, true},
    {E::kAyggl, 3, 24, kF32, 1000, 0, false}, {E::kZyggl, 1, 30, kF32, 1000, 0, false},
    {E::kAwggl, 3, 32, kF32, 1000, 0, false}, {E::kZwggl, 1, 38, kF32, 1000, 0, false},
    {E::kZszgl, 1, 40, kF32, 1000, 0, false}, {E::kZglys, 1, 42, kF32, 1000, 0, false},
    {E::kPl, 1, 44, kF32, 100, 0, false},     {E::kYgzdn, 1, 46, kF32, 1000, 0, false},
};
void Decode29(const Rx& x, int32_t* v) { FLOATS(kFloats29); }
const E::MeterStep kSteps29[] = {{3, 6, 42, 200}};
const E::MeterModel kModel29 = {kSteps29, 1, E::kZeroFirst, Decode29, qx::MbFraming::Rtu,
                                nullptr};

// Model 31, F3 23:60 (wait 200): 23-27 U a-c, 35-39 I a-c times the Ext1 multiplier; from
// 41 groups of four (phases A-C, total): P, Q, PF and S in thousandths (S in kVA on the
// wire, VA stored, as P and Q); 73
// frequency, 75 energy in tens of Wh. The apparent powers and the frequency were once read
// at reply offsets two bytes apart that overlap each other and the total power factor; the
// group of four after the power factors (65-71) and the pair after it (73) are read
// instead, so no byte is read twice.
const FloatPut kFloats31[] = {
    {E::kAdy, 3, 23, kF32, 10, 0, false},     {E::kAdl, 3, 35, kF32, 100, 0, true},
    {E::kAyggl, 3, 41, kF32, 1000, 0, false}, {E::kZyggl, 1, 47, kF32, 1000, 0, false},
    {E::kAwggl, 3, 49, kF32, 1000, 0, false}, {E::kZwggl, 1, 55, kF32, 1000, 0, false},
    {E::kAglys, 3, 57, kF32, 1000, 0, false}, {E::kZglys, 1, 63, kF32, 1000, 0, false},
    {E::kAszgl, 3, 65, kF32, 1000, 0, false}, {E::kZszgl, 1, 71, kF32, 1000, 0, false},
    {E::kPl, 1, 73, kF32, 100, 0, false},     {E::kYgzdn, 1, 75, kF32, 10, 0, false},
};
void Decode31(const Rx& x, int32_t* v) { FLOATS(kFloats31); }
const E::MeterStep kSteps31[] = {{3, 23, 60, 200}};
const E::MeterModel kModel31 = {kSteps31, 1, E::kZeroFirst, Decode31, qx::MbFraming::Rtu,
                                nullptr};

#undef FLOATS

}  // namespace

int CSMElec::DataGet_KINGWEB(ISerBase* s, int a, int) { return RunModel(kModel1, s, a); }
int CSMElec::DataGet_WBxxx(ISerBase* s, int a, int) { return RunModel(kModel2, s, a); }
int CSMElec::DataGet_AYNX(ISerBase* s, int a, int) { return RunModel(kModel3, s, a); }
int CSMElec::DataGet_DSG(ISerBase* s, int a, int) { return RunModel(kModel4, s, a); }
int CSMElec::DataGet_DTSD1352(ISerBase* s, int a, int) { return RunModel(kModel5, s, a); }
int CSMElec::DataGet_XJJC(ISerBase* s, int a, int) { return RunModel(kModel6, s, a); }
int CSMElec::DataGet_DAM3503A(ISerBase* s, int a, int) { return RunModel(kModel8, s, a); }
int CSMElec::DataGet_JPMCWB(ISerBase* s, int a, int) {
    return RunModel(m_pItem && m_pItem->Variant == 13 ? kModel13 : kModel10, s, a);
}
int CSMElec::DataGet_DDSD1352(ISerBase* s, int a, int) { return RunModel(kModel12, s, a); }
int CSMElec::DataGet_SPM33(ISerBase* s, int a, int) { return RunModel(kModel14, s, a); }
int CSMElec::DataGet_ELCLXD(ISerBase* s, int a, int) { return RunModel(kModel15, s, a); }
int CSMElec::DataGet_ENT500M_INT(ISerBase* s, int a, int) {
    return RunModel(m_pItem && m_pItem->Variant == 21 ? kModel21 : kModel17, s, a);
}
int CSMElec::DataGet_ENTPD1150E(ISerBase* s, int a, int) { return RunModel(kModel18, s, a); }
int CSMElec::DataGet_YD2037(ISerBase* s, int a, int) { return RunModel(kModel19, s, a); }
int CSMElec::DataGet_ElcComb(ISerBase* s, int a, int) { return RunModel(kModel26, s, a); }
int CSMElec::DataGet_ElcHczy(ISerBase* s, int a, int) { return RunModel(kModel27, s, a); }
int CSMElec::DataGet_HC33B1(ISerBase* s, int a, int) { return RunModel(kModel28, s, a); }
int CSMElec::DataGet_TW13011(ISerBase* s, int a, int) { return RunModel(kModel30, s, a); }
int CSMElec::DataGet_DTSD3366(ISerBase* s, int a, int) { return RunModel(kModel32, s, a); }
int CSMElec::DataGet_YD2010(ISerBase* s, int a, int) { return RunModel(kModel33, s, a); }
int CSMElec::DataGet_XSY(ISerBase* s, int a, int) { return RunModel(kModel34, s, a); }

int CSMElec::DataGet_NKL194E(ISerBase* s, int a, int) { return RunModel(kModel7, s, a); }
int CSMElec::DataGet_ELECLED(ISerBase* s, int a, int) { return RunModel(kModel9, s, a); }
int CSMElec::DataGet_ELECZQ(ISerBase* s, int a, int) { return RunModel(kModel11, s, a); }
int CSMElec::DataGet_ENT500M_FLOAT(ISerBase* s, int a, int) {
    return RunModel(m_pItem && m_pItem->Variant == 20 ? kModel20 : kModel16, s, a);
}
int CSMElec::DataGet_ELCLCD(ISerBase* s, int a, int) { return RunModel(kModel22, s, a); }
int CSMElec::DataGet_ELCATS(ISerBase* s, int a, int) { return RunModel(kModel23, s, a); }
int CSMElec::DataGet_ELCTJYD(ISerBase* s, int a, int) { return RunModel(kModel24, s, a); }
int CSMElec::DataGet_ELC194E(ISerBase* s, int a, int) { return RunModel(kModel25, s, a); }
int CSMElec::DataGet_SDXXE(ISerBase* s, int a, int) { return RunModel(kModel29, s, a); }
int CSMElec::DataGet_ElcX(ISerBase* s, int a, int) { return RunModel(kModel31, s, a); }
