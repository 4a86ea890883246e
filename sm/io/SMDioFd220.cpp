#include "io/SMDioFd220.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::DefRow kDef = {1, "D01", 1, "开关输出1", 1, 0, 0, "高断开,低闭合", 0, "", 0};

}  // namespace

CSMDioFd220::CSMDioFd220() : CSMDioBase(0x902)
{
    m_iDataCnt = 2;
    snprintf(m_note, sizeof(m_note), "%s", "QX-FD220");
}

int CSMDioFd220::ChkDef(IDbBase* db, int force)
{
    return InsDefs(db, force, &kDef, 1);
}

// Coil 0 after 100 ms:
//   01 01 00 00 00 01 FD CA
//   01 01 01 01 CRC            the coil is on (discharging)
int CSMDioFd220::DataGet(ISerBase* ser, int addr, int wait)
{
    (void)wait;
    if (!qx::skel::Ready(ser, false))
        return 0;
    uint8_t rx[16];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 1, 0, 1, rx, sizeof(rx), 100);
    if (!r.ok())
        return 0;
    m_wData[0] = m_wData[1] = r.data[0];
    return 1;
}

// The point's state row and summary, the current row on the main database and a history row
// in the history database (no per-point rows). A silent module's discharge is unknown,
// whatever the host's flag says.
int CSMDioFd220::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    if (!alarmBits)
        memset(m_wData, 0, sizeof(m_wData));
    qx::sql::Cols cols = DioCols(true, 1);
    qx::sql::PollRow row = {kTbDio.name, &cols, m_wData[1] ? "电池正在放电" : "电池停止放电", true,
                            false, "故障"};
    return qx::sql::StorePoll(*this, row, flags, alarmBits, snapId, sid, hist);
}

// The plain command 5 switches the coil: the value is the little-endian word at buf (0xFF00
// on, 0 off), written to coil 500 (Variant 0) or 0 (Variant 1), answered after 300 ms:
//   01 05 01 F4 FF 00 CC 34    echoed by the module
// Another command or Variant sends nothing and answers 0.
int CSMDioFd220::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    (void)len;
    if (!ser || !ser->IsOpened() || !buf || cmd != 5 || !qx::AddrFits(addr))
        return 0;
    int variant = m_pItem ? m_pItem->Variant : 0;
    if (variant != 0 && variant != 1)
        return 0;
    uint16_t value = CBufHelper::wdFromBufLH(static_cast<const uint8_t*>(buf));
    int ok = SendCmd(ser, ModBusCmd(addr, 5, variant == 1 ? 0 : 500, value), 300);
    if (ok)
        printf("[A%02d] SMDioFd220.DoFunc ok: %d\r\n", addr, cmd);
    return ok;
}
