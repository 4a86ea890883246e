// The request builders and single exchanges of the handler base: Modbus RTU and TCP, and
// YD/T 1363. Requests are built in m_cmd, which keeps the last one sent.
#include "BufHelper.h"
#include "QxPlatform.h"
#include "ReplyCheck.h"
#include "SMBase.h"
#include "TeFrame.h"

namespace {

// Writes a request, waits delayMs and reads what arrived, at most replySize bytes. -1 when the
// request was not written whole; otherwise what the read returned.
int Exchange(ISerBase* channel, const uint8_t* request, int len, int delayMs, uint8_t* reply,
             int replySize)
{
    if (channel->Write(request, len) != len)
        return -1;
    if (delayMs > 0)
        qx::SleepMs(delayMs);
    int n = channel->Read(reply, replySize, 0);
    return n > replySize ? replySize : n;
}

}  // namespace

int CSMBase::ModBusCmd(int address, int function, int reg, int count)
{
    return CBufHelper::ModBusCmd(m_cmd, address, function, reg, count);
}

int CSMBase::ModBusTcpCmd(int transaction, int unit, int function, int reg, int count)
{
    // MBAP header: transaction id, protocol 0, length 6 (unit and the five PDU bytes).
    CBufHelper::wdToBuf(m_cmd, (uint16_t)transaction);
    CBufHelper::wdToBuf(m_cmd + 2, 0);
    CBufHelper::wdToBuf(m_cmd + 4, 6);
    m_cmd[6] = (uint8_t)unit;
    m_cmd[7] = (uint8_t)function;
    CBufHelper::wdToBuf(m_cmd + 8, (uint16_t)reg);
    CBufHelper::wdToBuf(m_cmd + 10, (uint16_t)count);
    return 12;
}

int CSMBase::GetModBusData(uint8_t* reply, int replySize, ISerBase* channel, int address,
                           int function, int reg, int count, int delayMs, int transaction,
                           int mode)
{
    if (!reply || replySize < 1 || !channel || !qx::AddrFits(address))
        return -1;
    bool tcp = mode == 1;
    int len = tcp ? ModBusTcpCmd(transaction, address, function, reg, count)
                  : ModBusCmd(address, function, reg, count);
    int n = Exchange(channel, m_cmd, len, delayMs, reply, replySize);
    // Nothing of a reply shorter than the shortest frame is examined, its CRC least of all.
    if (n < 5)
        return -1;
    if (tcp)
        return n;
    // The low-order CRC byte comes first.
    if (CBufHelper::crc16(reply, n - 2) != CBufHelper::wdFromBufLH(reply + n - 2))
        return -1;
    return n;
}

int CSMBase::GetYdn23Data(uint8_t* reply, int replySize, ISerBase* channel, int adr, int ver,
                          int cid1, int cid2, const uint8_t* info, int infoLen, int soi, int eoi,
                          int delayMs)
{
    if (!reply || replySize < 1 || !channel || !qx::AddrFits(adr))
        return -1;
    if (!info || infoLen < 0)
        infoLen = 0;
    // The request must fit m_cmd: an INFO of at most 23 bytes.
    int len = TE_CmdPack(m_cmd, sizeof m_cmd, ver, cid1, cid2, adr, info, infoLen, soi, eoi);
    if (len <= 0)
        return -1;
    int n = Exchange(channel, m_cmd, len, delayMs, reply, replySize);
    // A frame has at least 18 characters; LENGTH and CHKSUM are read only from characters
    // that arrived.
    if (n < 18)
        return -1;
    if (!TE_GetChkPack(reply, n))
        return -1;
    uint16_t length = TE_Ascii2uint16(reply + 9, 4);
    if (length != TE_GetChkLength(length & 0x0FFF))
        return -1;
    if (!TE_GetChkSum(reply, n))
        return -1;
    return n;
}
