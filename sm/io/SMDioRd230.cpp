#include "io/SMDioRd230.h"

#include <stdio.h>

#include "core/SMSkeleton.h"

namespace {

#define QX_RD_DEF(n) {n, "D0" #n, 1, "开关量" #n, 1, 1, 0, "1闭合灯亮", 0, "", 0}
const qx::sql::DefRow kDefs[] = {QX_RD_DEF(1), QX_RD_DEF(2), QX_RD_DEF(3), QX_RD_DEF(4),
                                 QX_RD_DEF(5), QX_RD_DEF(6), QX_RD_DEF(7), QX_RD_DEF(8)};
#undef QX_RD_DEF

}  // namespace

CSMDioRd230::CSMDioRd230() : CSMDioBase(0x906)
{
    m_iDataCnt = 9;
    snprintf(m_note, sizeof(m_note), "%s", "DI-RD230");
}

int CSMDioRd230::ChkDef(IDbBase* db, int force)
{
    return InsDefs(db, force, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

// Discrete inputs 0..7 after 100 ms; a closed contact is a 0 bit:
//   01 02 00 00 00 08 79 CC
//   01 02 01 7F CRC            input 8 closed: D08 1, the others 0
int CSMDioRd230::DataGet(ISerBase* ser, int addr, int wait)
{
    (void)wait;
    if (!qx::skel::Ready(ser, false))
        return 0;
    uint8_t rx[16];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 2, 0, 8, rx, sizeof(rx), 100);
    if (!r.ok())
        return 0;
    uint8_t b = r.data[0];
    m_wData[0] = b;
    // Bits 7..4, a blank, bits 3..0.
    char bits[10] = "0000 0000";
    for (int n = 1; n <= 8; n++) {
        int set = (b >> (n - 1)) & 1;
        m_wData[n] = set ? 0 : 1;
        bits[n <= 4 ? 9 - n : 8 - n] = set ? '1' : '0';
    }
    printf("[A%02d] SMDi: 0x%02x(%s)\r\n", m_pItem ? m_pItem->Addr : addr, b, bits);
    return 1;
}

int CSMDioRd230::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return StoreDio({true, 8, true}, flags, alarmBits, snapId, sid, hist);
}
