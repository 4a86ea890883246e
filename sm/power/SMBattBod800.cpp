#include "power/SMBattBod800.h"

#include <stdio.h>

#include "core/SMSkeleton.h"
#include "power/BattTables.h"

using qx::sql::DefRow;

namespace {

// The cell's status is an alarm code (alarm kind 1: anything but 0, normal, alarms, and so
// does 256, a cell that gave no reply) and its voltage a value checked against its limits
// (kind 6): their legends call them alarms, and without a kind no host would raise one. The
// temperature row keeps kind 0: its limits, 10.0 to 20.0 C, would alarm on every battery at
// room temperature.
const DefRow kDefs[] = {
    {0, "", 1, "整体", 0, 0, 0, "", 0, "", 0},
    {1, "BT100_Itm", 1, "电池数", 1, 0, 20, "监测电池数量(按实际,最多128)", 0, "", 0},
    {0, "", 3, "单体", 0, 0, 0, "", 0, "", 0},
    {11, "St1", 3, "状态", 1, 1, 0, "单体状态,0正常", 0, "", -1},
    {12, "V1", 3, "电压", 10, 6, 80, "单体电压,一般超出范围报警", 160, "", -1},
    {13, "T1", 3, "温度", 10, 0, 100, "单体温度,一般超出范围报警", 200, "", -1},
};

// One request per cell, function 4, three registers from 128 + cell:
//   request  01 04 00 80 00 03 B0 23      cell 0
//   reply    01 04 06 SS VV TT TT xx xx CRC
//            SS status, VV voltage (one byte), TTTT temperature big-endian
constexpr int kCellReg = 128;
constexpr int kWaitMs = 10;

}  // namespace

CSMBattBod800::CSMBattBod800() : CSMBattBase(0x404, kCells, kDefs, sizeof(kDefs) / sizeof(kDefs[0])) {
    m_iDataCnt = 385;
    snprintf(m_note, sizeof(m_note), "%s", "QX-BOD-800");
    ClearCells();
}

void CSMBattBod800::ClearCells() {
    for (int i = 0; i < kCells; i++) {
        m_st[i] = kNoReply;
        m_v[i] = 0;
        m_t[i] = 0;
    }
}

int CSMBattBod800::DataGet(ISerBase* ser, int addr, int count) {
    if (!m_pItem) return 0;
    // Every poll starts from "no reply" for every cell, so that no cell shows what an earlier
    // poll (or another point) read.
    ClearCells();
    m_cellsSid = m_pItem->SID;
    if (!qx::skel::Ready(ser)) return 0;
    const int n = PollCells(count);
    int answered = 0;
    for (int i = 0; i < n; i++) {
        uint8_t rx[16];
        qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 4, kCellReg + i, 3, rx, sizeof(rx), kWaitMs);
        if (r.status == qx::ReplyStatus::WriteFailed || r.status == qx::ReplyStatus::AddressTooWide ||
            r.status == qx::ReplyStatus::BadArgument || r.received == 0)
            return 0;  // a short write or nothing at all ends the poll
        if (!r.ok()) continue;  // a short or corrupt reply marks only this cell
        m_st[i] = r.data[0];
        m_v[i] = r.data[1];
        m_t[i] = (uint16_t)(r.data[2] << 8 | r.data[3]);
        answered++;
    }
    if (!answered) return 0;
    for (int i = 0; i < n; i++) printf("batt[%02d]  St=%d V=%d T=%d\r\n", i, m_st[i], m_v[i], m_t[i]);
    return 1;
}

int CSMBattBod800::DataVal(int fld) {
    if (fld == 1) return m_count;
    if (fld < 11 || fld > 10 + 3 * kCells) return -1;
    int c = (fld - 11) / 3;
    switch ((fld - 11) % 3) {
    case 0: return m_st[c];
    case 1: return m_v[c];
    default: return m_t[c];
    }
}

int CSMBattBod800::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    (void)hist;  // no history rows for this monitor
    qx::skel::Upd u;
    if (!BeginUpd(u, flags, alarmBits, snapId, sid)) return 0;
    if (m_cellsSid != m_pItem->SID) ClearCells();  // no poll of this point filled the cells
    // No group row; each cell row carries the cell's status as its State.
    return StoreRows(u, 0, 0, 0, nullptr, [&](int i) {
        return qx::batt::Row{m_st[i], m_v[i], 0, m_t[i], 0};
    });
}
