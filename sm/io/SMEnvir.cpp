#include "io/SMEnvir.h"

#include <stdio.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::skel::Key;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

enum : uint8_t { kTem = 1, kHum = 2 };

const TypeRow kType = {1280, "温湿度", "485接口,量程..."};

const DefRow kDefs[] = {
    {kTem, "Tem", 1, "温度值", 10, 6, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {kHum, "Hum", 1, "湿度值", 10, 6, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
};

const Column kCols[] = {{"Tem", kTem, true}, {"Hum", kHum, true}};

const Key kKeys[] = {
    {".Tem", kTem, 10, 1, ""},
    {".温度", kTem, 10, 1, ""},
    {".Hum", kHum, 10, 1, ""},
    {".湿度", kHum, 10, 1, ""},
};

// The point's Variant: the read function and the register that holds the temperature (the
// other one holds the humidity). Registers 0 and 1 are read in one request:
//   request  01 03 00 00 00 02 C4 0B
//   reply    01 03 04 01 C2 00 EB 1A 7C    register 0 = 0x01C2 (45.0 %), 1 = 0x00EB (23.5 C)
//                                          with Variant 0 or 3
struct VariantRow {
    int variant;
    uint8_t function;  // 3 holding registers, 4 input registers
    uint8_t temReg;    // 0 the first register, 1 the second
};
const VariantRow kVariants[] = {
    {0, 3, 1},
    {1, 4, 0},
    {2, 3, 0},
    {3, 4, 1},
};

const VariantRow* FindVariant(int variant) {
    for (const VariantRow& v : kVariants)
        if (v.variant == variant) return &v;
    return nullptr;
}

}  // namespace

CSMEnvir::CSMEnvir() : CSMBase(0x500) {
    m_pData = m_wire;
    m_iDataCnt = 4;
    snprintf(m_note, sizeof(m_note), "%s", "QX-TH485");
}

void CSMEnvir::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMEnvir::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(kCols, 2);
    const qx::skel::Table tables[] = {{"tbEnvir", columns.c_str(), qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbEnvir");
}

int CSMEnvir::DataGet(ISerBase* ser, int addr, int wait) {
    if (!m_pItem) return 0;
    // A Variant this sensor does not know reads nothing: the old values are not a new poll.
    const VariantRow* v = FindVariant(m_pItem->Variant);
    if (!v) return 0;
    if (!qx::skel::Ready(ser)) return 0;
    uint8_t rx[16];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, v->function, 0, 2, rx, sizeof(rx),
                                     wait >= 5 ? wait : 100);
    if (!r.ok()) return 0;
    m_tem = r.Word(v->temReg);
    m_hum = r.Word(1 - v->temReg);
    CBufHelper::wdToBuf(m_wire, m_tem);
    CBufHelper::wdToBuf(m_wire + 2, m_hum);
    printf("[A%02d] SMEnvir: t=%d  h=%d \r\n", m_pItem->Addr, m_tem, m_hum);
    return 1;
}

int CSMEnvir::DataVal(int fld) {
    switch (fld) {
    case kTem: return m_tem;
    case kHum: return m_hum;
    default: return -1;
    }
}

int CSMEnvir::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapZero, kCols, 2))
        return 0;
    m_iErrCnt = 0;
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, 2,
                                            qx::skel::kColsFlags | qx::skel::kColsZeroNoAnswer);
    // Without an answer the summary shows what the row holds: 0, marked as no data.
    int tem = u.answered ? m_tem : 0;
    int hum = u.answered ? m_hum : 0;
    qx::skel::Brief b;
    b.Add("温度:%.1f ", tem / 10.0).Mark(qx::skel::Flag(u, alarmBits, kTem));
    b.Add(",湿度:%.1f ", hum / 10.0).Mark(qx::skel::Flag(u, alarmBits, kHum));
    return qx::skel::Store(*this, u, "tbEnvir", cols, b.Text(), true, hist);
}

int CSMEnvir::VarEval(char* text) {
    return qx::skel::VarEval(*this, text, kKeys, sizeof(kKeys) / sizeof(kKeys[0]));
}
