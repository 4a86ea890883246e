#include "io/SMEnvirPm.h"

#include <stdio.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::skel::Key;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

enum : uint8_t { kPm = 1 };

const TypeRow kType = {1280, "粉尘", "485接口,量程..."};

// The limits and divisor are those the type has always registered, although the texts print
// the raw value.
const DefRow kDefs[] = {
    {kPm, "Pm", 1, "Pm值", 10, 6, 300, "最小值|允许最低PM,低于此值告警", 380,
     "最大值|允许最高PM,超过此值告警", 0},
};

const Column kCols[] = {{"Pm", kPm, true}};

const Key kKeys[] = {{".PM", kPm, 1, 0, ""}};

// Register 3 holds the reading:
//   request  01 03 00 03 00 01 74 0A
//   reply    01 03 02 00 23 F9 9D          0x0023 = 35 ug/m3
// Some sensors leave out the byte count:
//   reply    01 03 00 23 <CRC>             the value at bytes 2-3
const int kReg = 3;

}  // namespace

CSMEnvirPm::CSMEnvirPm() : CSMBase(0x502) {
    m_pData = m_wire;
    m_iDataCnt = 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-PM485");
}

void CSMEnvirPm::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMEnvirPm::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(kCols, 1);
    const qx::skel::Table tables[] = {{"tbEnvirPm", columns.c_str(), qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbEnvirPm");
}

int CSMEnvirPm::DataGet(ISerBase* ser, int addr, int wait) {
    if (!qx::skel::Ready(ser)) return 0;
    uint8_t rx[16];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 3, kReg, 1, rx, sizeof(rx),
                                     wait > 100 ? wait : 0);
    uint16_t pm;
    if (r.ok()) {
        pm = r.Word(0);
    } else if (r.received == 6 && rx[0] == (uint8_t)addr && rx[1] == 3 &&
               CBufHelper::crc16(rx, 4) == CBufHelper::wdFromBufLH(rx + 4)) {
        pm = CBufHelper::wdFromBuf(rx + 2);  // the form without a byte count
    } else {
        return 0;
    }
    m_pm = pm;
    CBufHelper::wdToBuf(m_wire, m_pm);
    printf("[A%02d] SMEnvirPm pm=%d\r\n", m_pItem ? m_pItem->Addr : addr & 0xFF, m_pm);
    return 1;
}

int CSMEnvirPm::DataVal(int fld) { return fld == kPm ? m_pm : -1; }

int CSMEnvirPm::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapZero, kCols, 1))
        return 0;
    m_iErrCnt = 0;
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, 1,
                                            qx::skel::kColsFlags | qx::skel::kColsZeroNoAnswer);
    qx::skel::Brief b;
    b.Add("PM2.5:%d ug/m3", u.answered ? m_pm : 0).Mark(qx::skel::Flag(u, alarmBits, kPm));
    return qx::skel::Store(*this, u, "tbEnvirPm", cols, b.Text(), true, hist);
}

int CSMEnvirPm::VarEval(char* text) {
    return qx::skel::VarEval(*this, text, kKeys, sizeof(kKeys) / sizeof(kKeys[0]));
}
