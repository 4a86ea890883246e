#include "power/SMBatt100.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"
#include "power/BattTables.h"

using qx::sql::DefRow;

namespace {

// The BT100_Itm row carries the default count 20 in its low-limit place, as stored
// definitions have it; fields 11 to 13 (14th value -1) stand for every cell. The cell rows
// are checked against their limits (alarm kind 6): their legends call a cell out of range
// an alarm, and without a kind no host would ever raise one. The group rows keep kind 0:
// their limits (0 to 10.0) are no range of a string's current, voltage or temperature.
const DefRow kDefs[] = {
    {0, "", 1, "整体信息", 0, 0, 0, "", 0, "", 0},
    {1, "BT100_Itm", 1, "电池数", 1, 0, 20, "监测电池数量(按实际,最多256)", 0, "", 0},
    {0, "", 3, "详细信息", 0, 0, 0, "", 0, "", 0},
    {1, "A", 3, "电流1", 10, 0, 0, "电流1,一般超出范围报警", 100, "", 0},
    {2, "A2", 3, "电流2", 10, 0, 0, "电流2,一般超出范围报警", 100, "", 0},
    {3, "V", 3, "电压", 10, 0, 0, "电压,一般超出范围报警", 100, "", 0},
    {4, "T", 3, "温度", 10, 0, 0, "温度,一般超出范围报警", 100, "", 0},
    {11, "V1", 3, "单体电压", 10, 6, 85, "单体电压,一般超出范围报警", 160, "", -1},
    {12, "T1", 3, "单体温度", 10, 6, -55, "单体温度,一般超出范围报警", 325, "", -1},
    {13, "R1", 3, "单体内阻", 10, 6, 0, "单体内阻,一般大于报警", 1500, "", -1},
};

// Input registers, function 4:
//   0x500..0x503  group current 1, group current 2, group voltage, group temperature
//   0x100 + i     cell voltage        0x400 + i  cell internal resistance
//   0x200 + i     cell temperature    0x300 + i  cell value T2
// Cells are read in blocks of 64 registers, one request per array and block:
//   request  01 04 01 00 00 40 71 C6      cell voltages 0..63
//   reply    01 04 80 <128 bytes> CRC
constexpr int kGroupReg = 0x500;
constexpr int kBlock = 64;
constexpr int kWaitMs = 100;

uint16_t NotNegative(uint16_t w) { return (int16_t)w < 0 ? 0 : w; }

}  // namespace

CSMBatt100::CSMBatt100() : CSMBattBase(0x402, kCells, kDefs, sizeof(kDefs) / sizeof(kDefs[0])) {
    m_iDataCnt = 773;
    snprintf(m_note, sizeof(m_note), "%s", "QX-BAT100");
}

bool CSMBatt100::ReadBlock(ISerBase* ser, int addr, int base, int k, uint16_t* array, int* got) {
    // The reply must carry the 64 registers asked for: a short block fails the poll.
    uint8_t rx[5 + 2 * kBlock];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 4, base + k, kBlock, rx, sizeof(rx), kWaitMs);
    if (!r.ok()) return false;
    int m = kBlock < kCells - k ? kBlock : kCells - k;
    for (int i = 0; i < m; i++) array[k + i] = r.Word(i);
    if (got) *got += m;
    return true;
}

void CSMBatt100::ClearCells() {
    memset(m_v, 0, sizeof(m_v));
    memset(m_r, 0, sizeof(m_r));
    memset(m_t, 0, sizeof(m_t));
    memset(m_t2, 0, sizeof(m_t2));
}

int CSMBatt100::DataGet(ISerBase* ser, int addr, int count) {
    if (!m_pItem) return 0;
    const int sid = m_pItem->SID;
    m_group = m_groups[sid];
    // The arrays now belong to this point's poll; what an earlier point left is not its data.
    if (m_cellsSid != sid) {
        ClearCells();
        m_cellsSid = sid;
    }
    if (!qx::skel::Ready(ser)) return 0;
    const int n = PollCells(count);

    uint8_t rx[16];
    qx::MbReply g = qx::skel::MbPoll(*this, ser, addr, 4, kGroupReg, 4, rx, sizeof(rx), kWaitMs);
    if (!g.ok()) return 0;
    m_group.curr1 = NotNegative(g.Word(0));
    m_group.curr2 = NotNegative(g.Word(1));
    m_group.volt = NotNegative(g.Word(2));
    m_group.fourth = g.Word(3);
    m_groups[sid] = m_group;

    const struct {
        int base;
        uint16_t* array;
        bool counted;
    } arrays[] = {{0x100, m_v, true}, {0x400, m_r, false}, {0x200, m_t, false}, {0x300, m_t2, false}};
    int gets = 0;
    for (int k = 0; k < n; k += kBlock)
        for (const auto& a : arrays)
            if (!ReadBlock(ser, addr, a.base, k, a.array, a.counted ? &gets : nullptr)) return 0;
    printf("batt100: addr=%d A=%d V=%d T=%d Gets:%d/%d\n", addr, m_group.curr1, m_group.volt,
           m_group.fourth, gets, n);
    return 1;
}

int CSMBatt100::DataVal(int fld) {
    switch (fld) {
    case 1: return m_group.curr1;
    case 2: return m_group.curr2;
    case 3: return m_group.volt;
    case 4: return m_group.fourth;
    }
    if (fld >= 5 && fld <= 10) return 0;
    if (fld < 11 || fld > 28) return -1;
    int c = (fld - 11) / 3;
    switch ((fld - 11) % 3) {
    case 0: return m_v[c];
    case 1: return m_t[c];
    default: return m_r[c];
    }
}

int CSMBatt100::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    (void)hist;  // no history rows for this monitor
    qx::skel::Upd u;
    if (!BeginUpd(u, flags, alarmBits, snapId, sid)) return 0;
    // Without an answer the cells read nothing; the group values stay those last decoded.
    if (u.state == 2 || m_cellsSid != m_pItem->SID) ClearCells();
    const Group g = m_groups[m_pItem->SID];
    const qx::batt::Row group = {u.state, g.volt, g.curr1, g.fourth, 0};
    return StoreRows(u, g.curr1, g.volt, g.fourth, &group, [&](int i) {
        return qx::batt::Row{u.state, m_v[i], m_r[i], m_t[i], m_t2[i]};
    });
}
