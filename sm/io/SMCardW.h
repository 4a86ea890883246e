#pragma once
#include <stdint.h>

#include "core/SMBase.h"
#include "io/CardLog.h"

// Networked door controller W: fixed 64-byte packets addressed by the controller's 32-bit
// serial number. A poll (function B0) reads the latest swipe record; a record index other
// than the point's last one is a new event, logged into tbCardLog. Type 0xD03.
class CSMCardW : public CSMBase {
public:
    CSMCardW();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    int DoFunc(int cmd, void* buf, int len) override;

    static constexpr int kPacket = 64;
    static constexpr int kRecord = 28;  // the swipe record ends with byte 27

    // The request packet in m_cmd: 17, func, 00 00, serial little-endian, FF FF FF FF, zeros.
    // Returns 64; data and len are not used.
    int CmdPack(int serial, int func, const void* data = nullptr, int len = 0);
    // The swipe record of a reply of at least 28 bytes.
    static qx::card::Event Decode(const uint8_t* reply);

    uint8_t m_reply[kPacket] = {};  // the last reply as read
    int32_t m_newEvent = 0;
    qx::card::Points m_points;
};
