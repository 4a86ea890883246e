#pragma once
#include <stdint.h>

#include "core/SMBase.h"
#include "io/CardLog.h"

// Door controller T: frames A6, address, kind, command, length, data, 8-bit sum. A poll reads
// the latest event report (byte 3 0x42) with its Unix time stamp; a time stamp other than the
// point's last one is a new event, logged into tbCardLog. Type 0xD02.
class CSMCardT : public CSMBase {
public:
    CSMCardT();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    static constexpr int kFrame = 64;
    static constexpr int kMaxData = 58;
    static constexpr int kReport = 22;  // an event report: 16 data bytes

    // The request in m_cmd (len taken as 0 without data); its length len + 6, or 0 (nothing
    // built) for a len above 58 or negative.
    int CmdPack(int addr, int kind, int cmd, const void* data, int len);
    // 1 when the reply is not empty, starts with A6 and its last byte is the 8-bit sum of the
    // bytes before it.
    static int ChkPack(const uint8_t* reply, int n);

    uint8_t m_reply[kFrame] = {};  // the last reply as read
    int32_t m_newEvent = 0;
    qx::card::Points m_points;
};
