#include "power/SMElec.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "io/SMSkeleton.h"

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
    &CSMElec::DataGet_HCxxx,  // 0
};

CSMElec::CSMElec() : CSMBase(0x100), m_iLastDay(0) {
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
    return (this->*kModels[model])(ser, addr, wait);
}

int CSMElec::DataVal(int fld) {
    if (fld < 1 || fld > kFields) return -1;
    return m_val[fld - 1];
}

int CSMElec::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
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
        if (onlyState) {
            qx::skel::TouchBrief(db, u.sid);  // the last summary stays
        } else if (!u.answered) {
            // The values were cleared (or kept from an earlier poll), not read.
            qx::sql::UpdBrief(db, u.sid, qx::sql::NoAnswerBrief().c_str());
        } else {
            const bool single = model == 30 || model == 26 || (model == 0 && m_pItem->Ext1 == 1);
            qx::skel::Brief b;
            b.Add("A相: %.1fV %.2fA", m_val[kAdy - 1] / 10.0, m_val[kAdl - 1] / 100.0);
            if (!single) {
                b.Add(",B相: %.1fV %.2fA", m_val[kBdy - 1] / 10.0, m_val[kBdl - 1] / 100.0);
                b.Add(",C相: %.1fV %.2fA", m_val[kCdy - 1] / 10.0, m_val[kCdl - 1] / 100.0);
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
