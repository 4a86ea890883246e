#include "power/SMTransf.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

typedef CSMTransf T;

const TypeRow kType = {256, "变压器温控模块", "485接口..."};

#define QX_TRANSF_TEM(f, name, word)                                                         \
    {f, name, 1, word "温度", 1, 6, 30, word "温度低于min告警", 150, word "温度高于max告警", 0}
#define QX_TRANSF_ST(f, name, caption, legend) {f, name, 1, caption, 1, 1, 0, legend, 0, "", 0}
const DefRow kDefs[] = {
    QX_TRANSF_TEM(T::kTemA, "TemA", "A相"),
    QX_TRANSF_TEM(T::kTemB, "TemB", "B相"),
    QX_TRANSF_TEM(T::kTemC, "TemC", "C相"),
    QX_TRANSF_TEM(T::kTemI, "TemI", "铁心"),
    QX_TRANSF_ST(T::kStSenA, "StSenA", "A相传感器状态", "0-正常 1-故障"),
    QX_TRANSF_ST(T::kStSenB, "StSenB", "B相传感器状态", "0-正常 1-故障"),
    QX_TRANSF_ST(T::kStSenC, "StSenC", "C相传感器状态", "0-正常 1-故障"),
    QX_TRANSF_ST(T::kStSenI, "StSenI", "铁心传感器状态", "0-正常 1-故障"),
    QX_TRANSF_ST(T::kStSen, "StSen", "传感器状态", "0-正常 1-故障"),
    // The controller switches its cooling fan on and off: a state, no limit is checked on it.
    {T::kStWind, "StWind", 1, "风机状态", 1, 0, 0, "0-关机 1-开机", 0, "", 0},
    QX_TRANSF_ST(T::kStAlm, "StAlm", "报警状态", "0-正常 1-报警"),
    QX_TRANSF_ST(T::kStTrip, "StTrip", "跳闸状态", "0-正常 1-跳闸"),
};
#undef QX_TRANSF_TEM
#undef QX_TRANSF_ST

const Column kCols[] = {
    {"TemA", T::kTemA, false},     {"TemB", T::kTemB, false},     {"TemC", T::kTemC, false},
    {"TemI", T::kTemI, false},     {"StSenA", T::kStSenA, false}, {"StSenB", T::kStSenB, false},
    {"StSenC", T::kStSenC, false}, {"StSenI", T::kStSenI, false}, {"StSen", T::kStSen, false},
    {"StWind", T::kStWind, false}, {"StAlm", T::kStAlm, false},   {"StTrip", T::kStTrip, false},
};
constexpr size_t kN = sizeof(kCols) / sizeof(kCols[0]);

// The poll: the four state bits, then the four temperatures, read straight after the request.
//   01 01 00 00 00 04 3D C9    reply 01 01 01 <bits> CRC           bit 0 sensor .. 3 trip
//   01 04 00 00 00 04 F1 C9    reply 01 04 08 <4 registers> CRC    degrees C + 40
const qx::skel::Read kReads[] = {{1, 0, 4}, {4, 0, 4}};

// A raw temperature above this is a sensor fault, not a value.
constexpr uint16_t kRawMax = 240;

const char* const kPhase[4] = {"A相", "B相", "C相", "铁心"};

}  // namespace

CSMTransf::CSMTransf() : CSMBase(0x103) {
    m_pData = m_val;
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "QX-Transf");
}

void CSMTransf::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMTransf::ChkDb(tagSMItem* item) {
    return qx::skel::ChkDb(*this, "tbTransf", kCols, kN, item);
}

// The state bits are kept as soon as their reply checks: a failed temperature read leaves
// the new bits with the old temperatures. The coils are the one status byte the reply's byte
// count carries.
int CSMTransf::DataGet(ISerBase* ser, int addr, int) {
    if (!qx::skel::Ready(ser, false)) return 0;
    auto take = [this](size_t i, const qx::MbReply& r) {
        if (i == 0) {
            for (int b = 0; b < 4; b++) m_val[kStSen - 1 + b] = r.Bit(b);
            return;
        }
        for (int k = 0; k < 4; k++) {
            uint16_t t = r.Word(k);
            bool fault = t > kRawMax;
            m_val[kTemA - 1 + k] = fault ? 0 : (int32_t)t - 40;
            m_val[kStSenA - 1 + k] = fault ? 1 : 0;
        }
    };
    return qx::skel::Reads(*this, ser, addr, kReads, 2, 0, take);
}

int CSMTransf::DataVal(int fld) {
    return fld >= 1 && fld <= kFields ? m_val[fld - 1] : -1;
}

// The state follows the limits of the four temperatures only; the bits of the state fields
// do not enter it. After a poll without answer the block is cleared and each summary part
// reads 0 with the no-data mark. A phase whose sensor is faulty has no temperature: its 0 is
// no reading, so its part carries the no-data mark, not an alarm on 0 degrees (the sensor's
// own field alarms).
int CSMTransf::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    if (!u.answered) memset(m_val, 0, sizeof(m_val));
    qx::skel::Brief b;
    for (int k = 0; k < 4; k++) {
        int flag = m_val[kStSenA - 1 + k] ? 2 : qx::skel::Flag(u, alarmBits, kTemA + k);
        if (flag == 1 && u.state == 0) u.state = 1;
        b.Add("%s%s: %d℃", k ? "," : "", kPhase[k], m_val[kTemA - 1 + k]).Mark(flag);
    }
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, kN, 0);
    // History rows only where the history database keeps the table.
    IDbBase* rows = hist && hist->TableExists("tbTransf") ? hist : nullptr;
    return qx::skel::Store(*this, u, "tbTransf", cols, b.Text(), false, rows, b.Text());
}

// The controller takes no commands: nothing is sent.
int CSMTransf::DoFunc(ISerBase*, int, int, void*, int) { return 0; }
