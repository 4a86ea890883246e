#include "io/SMLeak.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::sql::DefRow;
using qx::sql::TypeRow;
using Values = CSMLeak::Values;

namespace {

const TypeRow kType = {1536, "漏水检测", "485接口..."};

// Only the three states have definition rows; the state's name is lower case there while its
// column is Status (stored screens use both).
const DefRow kDefs[] = {
    {2, "status", 1, "泄漏状态值", 1, 1, 0, "1泄漏状态", 0, "", 0},
    {3, "LineRB", 1, "红黑线断线值", 1, 1, 0, "1红黑线断", 0, "", 0},
    {4, "LineYG", 1, "黄绿线断线值", 1, 1, 0, "1黄绿线断", 0, "", 0},
};

const Column kCols[] = {{"Kind", 1, false},   {"Status", 2, false}, {"LineRB", 3, false},
                        {"LineYG", 4, false}, {"Locate", 5, false}, {"Lmd", 6, false},
                        {"Cable", 7, false}};
constexpr size_t kNCols = sizeof(kCols) / sizeof(kCols[0]);

const qx::skel::Key kKeys[] = {{".Locate", 5, 10, 1, ""}, {".位置", 5, 10, 1, ""}};

// Lengths of the locating models' registers are in units of 1/1.3 of a tenth of a metre.
int32_t Scaled(uint16_t w) { return (int32_t)(w * 1.3); }

// Model 0: registers 1-4 are position P, A, B and length L. Water is reported when P lies on
// the cable and the A/B pair does not say the cable is dry; a position or length beyond 999
// is not stored.
void Model0Position(Values& v, const qx::MbReply& r) {
    int p = r.Word(0), a = r.Word(1), b = r.Word(2), l = r.Word(3);
    int leak = p < l && !(a > 1000 && b <= 4);
    if (!leak) p = 0;
    v.kind = 1;
    v.status = (uint8_t)leak;
    if (p <= 999 && p < l) v.locate = p;
    if (l <= 999) v.cable = l;
}
void Model0Lmd(Values& v, const qx::MbReply& r) {
    v.lmd = r.Word(0);
    v.extra = 0;
}
void Model0Lines(Values& v, const qx::MbReply& r) {
    v.lineRB = r.Word(0) > 4095;
    v.lineYG = r.Word(1) > 4095;
}

void Model1State(Values& v, const qx::MbReply& r) {
    uint16_t w = r.Word(0);
    v.kind = 1;
    v.status = w & 1;
    v.lineRB = v.lineYG = (w >> 1) & 1;
    v.locate = Scaled(r.Word(1));
}
void Model1Cable(Values& v, const qx::MbReply& r) {
    v.cable = Scaled(r.Word(0));
    v.lmd = r.Word(2);
    v.extra = r.Word(3);
}

void Model2State(Values& v, const qx::MbReply& r) {
    v.kind = 0;
    v.status = (uint8_t)(r.Word(0) & 0xFF);
    v.lineRB = v.lineYG = 0;
    v.locate = 0;
}
void Model2Lmd(Values& v, const qx::MbReply& r) {
    v.lmd = r.Word(0);
    v.cable = 0;
    v.extra = 0;
}

// Model 3: bit 1 of the state register's high byte is water, bit 0 a broken wire.
void Model3State(Values& v, const qx::MbReply& r) {
    uint8_t hi = (uint8_t)(r.Word(0) >> 8);
    v.kind = 1;
    v.status = (hi >> 1) & 1;
    v.lineRB = v.lineYG = hi & 1;
}
void Model3Locate(Values& v, const qx::MbReply& r) { v.locate = Scaled(r.Word(0)); }
void Model3Cable(Values& v, const qx::MbReply& r) {
    v.lmd = 0;
    v.cable = Scaled(r.Word(0));
    v.extra = 0;
}

struct Model {
    CSMLeak::Read reads[3];
    int defaultWaitMs;  // when Ext2 gives none
};
const Model kModels[4] = {
    {{{4, 1, 4, Model0Position}, {3, 1, 1, Model0Lmd}, {4, 4, 2, Model0Lines}}, 0},
    {{{3, 0, 2, Model1State}, {3, 8, 4, Model1Cable}, {0, 0, 0, nullptr}}, 0},
    {{{4, 0, 1, Model2State}, {3, 0x1000, 1, Model2Lmd}, {0, 0, 0, nullptr}}, 200},
    {{{4, 2, 1, Model3State}, {4, 4, 1, Model3Locate}, {4, 38, 1, Model3Cable}}, 0},
};

}  // namespace

CSMLeak::CSMLeak() : CSMBase(0x600) {
    m_pData = &m_v;
    m_iDataCnt = 8;
    snprintf(m_note, sizeof(m_note), "%s", "QX-LEAK");
}

void CSMLeak::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMLeak::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(kCols, kNCols);
    const qx::skel::Table tables[] = {{"tbLeak", columns.c_str(), qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbLeak", true);
}

int CSMLeak::ModBusCmdN(int addr, int function, int reg, int count, const uint8_t* data) {
    int len = 8 + 2 * count;
    if (count < 0 || len > (int)sizeof(m_cmd) || (count && !data)) return 0;
    m_cmd[0] = (uint8_t)addr;
    m_cmd[1] = (uint8_t)function;
    m_cmd[2] = (uint8_t)(reg >> 8);
    m_cmd[3] = (uint8_t)reg;
    m_cmd[4] = (uint8_t)(count >> 8);
    m_cmd[5] = (uint8_t)count;
    if (count) memcpy(m_cmd + 6, data, 2 * count);
    uint16_t crc = CBufHelper::crc16(m_cmd, len - 2);
    m_cmd[len - 2] = (uint8_t)crc;
    m_cmd[len - 1] = (uint8_t)(crc >> 8);
    return len;
}

// Register 8 takes the cable length. Ext1 is negated once the device has confirmed it, so the
// frame goes out once per positive value; a value beyond 16 bits is never sent (its low bits
// would set another length). Any failure is retried on the next poll.
void CSMLeak::WriteLength(ISerBase* ser, int addr, int waitMs) {
    int32_t len = m_pItem ? m_pItem->Ext1 : 0;
    if (len <= 0 || len > 0xFFFF) return;
    const uint8_t value[2] = {(uint8_t)(len >> 8), (uint8_t)len};
    uint8_t rx[50];
    qx::MbReply r = qx::skel::MbSend(*this, ser, ModBusCmdN(addr, 6, 8, 1, value), rx,
                                     sizeof(rx), waitMs);
    if (!r.ok()) return;
    printf("SMLeak len:%d 0x%02x %02x\r\n", len, value[0], value[1]);
    m_pItem->Ext1 = -len;
}

// The reads of the item's model in order; the first that fails ends the poll with 0, the
// fields decoded before it kept. Every reply is checked in full (address, function, byte
// count, CRC; an exception fails the read).
int CSMLeak::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    memset(&m_v, 0, offsetof(Values, extra));
    if (!qx::skel::Ready(ser, false)) return 0;
    int variant = m_pItem ? m_pItem->Variant : 0;
    if (variant < 0 || variant > 3) return 0;  // no map: nothing is read
    if (!qx::AddrFits(addr)) return 0;
    const Model& m = kModels[variant];
    int ext2 = m_pItem ? m_pItem->Ext2 : 0;
    int waitMs = ext2 > 0 ? ext2 : m.defaultWaitMs;
    if (variant == 1) WriteLength(ser, addr, waitMs);
    for (const Read& rd : m.reads) {
        if (!rd.decode) break;
        uint8_t rx[64];
        qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, rd.function, rd.reg, rd.count, rx,
                                         sizeof(rx), waitMs);
        if (!r.ok()) return 0;
        rd.decode(m_v, r);
    }
    Settle();
    return 1;
}

void CSMLeak::Settle() {
    if (m_v.status > 1) {
        m_v.status = m_v.lineRB = m_v.lineYG = 1;
        m_v.locate = m_v.cable = m_v.lmd = 0;
    }
    if (m_v.locate > 1000 || m_v.locate > m_v.cable) m_v.locate = 0;
}

int CSMLeak::DataVal(int fld) {
    switch (fld) {
    case 1: return m_v.kind;
    case 2: return m_v.status;
    case 3: return m_v.lineRB;
    case 4: return m_v.lineYG;
    case 5: return m_v.locate;
    case 6: return m_v.lmd;
    case 7: return m_v.cable;
    case 8: return m_v.extra;
    default: return -1;
    }
}

int CSMLeak::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    m_iErrCnt = 0;
    if (!u.answered) memset(&m_v, 0, offsetof(Values, extra));
    // The poll settled the values it read; values set since stay corrected as well.
    Settle();

    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, kNCols, 0);
    // The state and position of the water, the broken wires by their rows' captions: a
    // detector with a broken wire cannot see water beyond the break, so it never reads normal.
    qx::skel::Brief b;
    if (m_v.locate) b.Add("漏水状态:%d 泄漏位置:%.1f米 ", m_v.status, m_v.locate * 0.1);
    else b.Add("漏水状态:%d ", m_v.status);
    if (m_v.lineRB) b.Add("红黑线断 ");
    if (m_v.lineYG) b.Add("黄绿线断 ");
    b.Add("%s", m_v.status || m_v.lineRB || m_v.lineYG ? "(报警)" : "(正常)");
    // Without an answer the summary names the fault, not a cleared state.
    int rc = qx::skel::Store(*this, u, "tbLeak", cols, u.answered ? b.Text() : nullptr, false, hist);
    if (!u.answered && m_pDb)
        qx::sql::UpdBrief(m_pDb, u.sid, qx::sql::NoAnswerBrief("漏水状态(故障)").c_str());
    return rc;
}

int CSMLeak::VarEval(char* text) {
    return qx::skel::VarEval(*this, text, kKeys, sizeof(kKeys) / sizeof(kKeys[0]));
}

// One register write: cmd = function << 16 | register, buf the 16-bit value. Only function 6
// is sent (model 1 in its own 10-byte form); the answer must echo the write.
int CSMLeak::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    (void)len;
    if (!ser || !buf) return 0;
    int variant = m_pItem ? m_pItem->Variant : 0;
    int function = (cmd >> 16) & 0xFF, reg = cmd & 0xFFFF;
    uint16_t value;
    memcpy(&value, buf, sizeof(value));
    if (function != 6 || (variant != 0 && variant != 1 && variant != 2)) return 0;
    if (!qx::AddrFits(addr)) return 0;
    int n;
    if (variant == 1) {
        const uint8_t data[2] = {(uint8_t)(value >> 8), (uint8_t)value};
        n = ModBusCmdN(addr, 6, reg, 1, data);
    } else {
        n = ModBusCmd(addr, 6, reg, value);
    }
    uint8_t rx[20];
    return qx::skel::MbSend(*this, ser, n, rx, sizeof(rx), 0).ok() ? 1 : 0;
}
