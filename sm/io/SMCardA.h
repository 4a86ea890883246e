#pragma once
#include <stdint.h>

#include "core/SMBase.h"
#include "io/CardLog.h"

// Door controller on the 34-byte '~' frame with a 16-bit sum: the default handler of the door
// and card codes without a class of their own. Type 0xD00. Each poll (command 0x1081) reads
// the controller's latest event; a record number other than the point's last one is a new
// event, logged into tbCardLog.
class CSMCardA : public CSMBase {
public:
    CSMCardA();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    static constexpr int kFrame = 34;
    static constexpr int kMaxData = 26;

    // The request in m_cmd: '~', address and command little-endian, data (len bytes, at most
    // 26; with len 0 the one byte data points to; none without data), the 16-bit sum of bytes
    // 1 to 30 little-endian, CR. Returns 34; 0 (nothing built) for a len above 26 or negative.
    int CmdPack(int addr, int cmd, const void* data, int len);
    // 1 when the reply has exactly 34 bytes and its sum checks; else 0.
    static int ChkPack(const uint8_t* reply, int n);
    // The event of a checked reply.
    static qx::card::Event Decode(const uint8_t* reply);

    uint8_t m_reply[kFrame] = {};  // the last reply as read
    int32_t m_newEvent = 0;
    qx::card::Points m_points;
};
