#include "io/SMDioAd5Da5.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

namespace {

// An output holds the level it was set to: no alarm, no limit checked (alarm kind 0).
#define QX_AD_IN(n) {n, "D0" #n, 1, "模拟量输入" #n, 1, 1, 0, "模拟量输入", 0, "", 0}
#define QX_AD_OUT(n, name) {n, name, 2, "模拟量输出" #n, 1, 0, 0, "模拟量输出", 0, "", 0}
const qx::sql::DefRow kDefs[] = {
    {0, "", 1, "5路模拟量输入", 1, 1, 0, "", 0, "", 0},
    QX_AD_IN(1), QX_AD_IN(2), QX_AD_IN(3), QX_AD_IN(4), QX_AD_IN(5),
    {0, "", 2, "5路模拟量输出", 1, 1, 0, "", 0, "", 0},
    QX_AD_OUT(6, "D06"), QX_AD_OUT(7, "D07"), QX_AD_OUT(8, "D08"), QX_AD_OUT(9, "D09"),
    QX_AD_OUT(10, "D10"),
};
#undef QX_AD_IN
#undef QX_AD_OUT

const int kChannels = 5;

}  // namespace

CSMDioAd5Da5::CSMDioAd5Da5() : CSMDioBase(0x905)
{
    m_iDataCnt = 11;
    snprintf(m_note, sizeof(m_note), "%s", "QX-AD5DA5");
}

int CSMDioAd5Da5::ChkDef(IDbBase* db, int force)
{
    return InsDefs(db, force, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

// Inputs, then outputs:
//   01 04 00 00 00 05 30 09    01 04 0A <five registers> CRC
//   01 03 00 00 00 05 85 C9    01 03 0A <five registers> CRC
int CSMDioAd5Da5::ReadModule(CSMDioBase& h, ISerBase* ser, int addr, int waitMs, int outWord)
{
    if (!qx::skel::Ready(ser, false))
        return 0;
    uint8_t rx[32];
    qx::MbReply r = qx::skel::MbPoll(h, ser, addr, 4, 0, kChannels, rx, sizeof(rx), waitMs);
    if (!r.ok())
        return 0;
    h.m_wData[0] = 0;
    for (int i = 0; i < kChannels; i++)
        h.m_wData[1 + i] = r.Word(i);
    r = qx::skel::MbPoll(h, ser, addr, 3, 0, kChannels, rx, sizeof(rx), waitMs);
    if (!r.ok())
        return 0;
    for (int i = 0; i < kChannels; i++)
        h.m_wData[outWord + i] = r.Word(i);
    return 1;
}

int CSMDioAd5Da5::WriteOutputs(CSMDioBase& h, ISerBase* ser, int addr, int cmd, const void* buf,
                               int len, int waitMs)
{
    if (!ser || !buf || !qx::AddrFits(addr))
        return 0;
    int fn = (cmd >> 16) & 0xFF, reg = cmd & 0xFFFF;
    int n = 0;
    if (fn == 6) {
        int value;
        memcpy(&value, buf, sizeof(value));
        n = h.ModBusCmd(addr, 6, reg, value & 0xFFFF);
    } else if (fn == 16 && len >= 2) {
        // A write longer than the request buffer holds is refused whole, never cut.
        n = h.ModBusCmdN(addr, 16, reg, len / 2, buf, true);
    }
    return h.SendCmd(ser, n, waitMs);
}

int CSMDioAd5Da5::DataGet(ISerBase* ser, int addr, int wait)
{
    (void)wait;
    return ReadModule(*this, ser, addr, 100, 6);
}

int CSMDioAd5Da5::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return StoreDio({true, 10, true}, flags, alarmBits, snapId, sid, hist);
}

int CSMDioAd5Da5::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    return WriteOutputs(*this, ser, addr, cmd, buf, len, 100);
}
