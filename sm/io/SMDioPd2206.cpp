#include "io/SMDioPd2206.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

namespace {

// Each group row (Fld 0, no name) carries the kind of the points under it.
#define QX_PD_IN(n) {n, "D0" #n, 1, "220v输入" #n, 1, 1, 1, "1有输入,0断开,一般0报警", 0, "", 0}
#define QX_PD_DRY(n, name) {n, name, 2, "干接点输入" #n, 1, 0, 1, "1有输入,0无输入", 0, "", 0}
#define QX_PD_OUT(n) {n, "D" #n, 3, "输出" #n, 1, 0, 1, "1有输出,0无输出", 0, "", 0}
const qx::sql::DefRow kDefs[] = {
    {0, "", 1, "6路220v输入", 1, 0, 1, "", 0, "", 0},
    QX_PD_IN(1), QX_PD_IN(2), QX_PD_IN(3), QX_PD_IN(4), QX_PD_IN(5), QX_PD_IN(6),
    {0, "", 2, "4路干接点输入", 1, 0, 1, "", 0, "", 0},
    QX_PD_DRY(7, "D07"), QX_PD_DRY(8, "D08"), QX_PD_DRY(9, "D09"), QX_PD_DRY(10, "D10"),
    {0, "", 3, "2路输出", 1, 0, 1, "", 0, "", 0},
    QX_PD_OUT(11), QX_PD_OUT(12),
};
#undef QX_PD_IN
#undef QX_PD_DRY
#undef QX_PD_OUT

const int kPoints = 12;

}  // namespace

CSMDioPd2206::CSMDioPd2206() : CSMDioBase(0x903)
{
    m_iDataCnt = 13;
    m_iPointCnt = kPoints;
    m_iInCnt = 10;
    snprintf(m_note, sizeof(m_note), "%s", "QX-PD220-6");
}

int CSMDioPd2206::ChkDef(IDbBase* db, int force)
{
    return InsDefs(db, force, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

// Input registers 0..11, answered one byte per point (1 active), not two:
//   01 04 00 00 00 0C F0 0F
//   01 04 0C 01 00 00 00 00 00 00 00 00 00 00 01 CRC     D01 and D12 active, Dio 0x801
// A standard answer of 24 bytes is not this module's and fails the count check.
int CSMDioPd2206::DataGet(ISerBase* ser, int addr, int wait)
{
    (void)wait;
    if (!qx::skel::Ready(ser, false))
        return 0;
    uint8_t rx[32];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 4, 0, kPoints, rx, sizeof(rx), 0, kPoints);
    if (!r.ok())
        return 0;
    uint16_t mask = 0;
    for (int i = 0; i < kPoints; i++) {
        m_wData[i + 1] = r.data[i];
        if (r.data[i])
            mask |= (uint16_t)(1u << i);
    }
    m_wData[0] = mask;
    printf("[A%02d] SMDioPd2206: 0x%02x(%d %d %d %d %d %d)\r\n", m_pItem ? m_pItem->Addr : addr,
           m_wData[0], m_wData[1], m_wData[2], m_wData[3], m_wData[4], m_wData[5], m_wData[6]);
    return 1;
}

int CSMDioPd2206::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return StoreDio({true, kPoints, true}, flags, alarmBits, snapId, sid, hist);
}

// Function 8 writes output register 0x40 or 0x41 (the module's own frame, no byte count):
//   01 08 00 40 00 01 00 01 99 C8     output 11 on; the module echoes it
// Anything else sends nothing and answers 0.
int CSMDioPd2206::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    (void)len;
    if (!ser || !buf || !qx::AddrFits(addr))
        return 0;
    int fn = (cmd >> 16) & 0xFF, reg = cmd & 0xFFFF;
    if (fn != 8 || (reg != 0x40 && reg != 0x41))
        return 0;
    int value;
    memcpy(&value, buf, sizeof(value));
    const uint8_t data[2] = {(uint8_t)(value >> 8), (uint8_t)value};
    return SendCmd(ser, ModBusCmdN(addr, 8, reg, 1, data, false), 0);
}
