#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Door people counter on 16-byte FA frames with an XOR byte: each poll reads the counter's
// eight state bytes and its in and out counts; the persons inside are their difference. The
// counter's clock is set once in the night hour 1. Type 0xD04.
class CSMCXV6V8 : public CSMBase {
public:
    CSMCXV6V8();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    int VarEval(char* text) override;

    static constexpr int kFrame = 16;
    static constexpr int kRecords = 20;

    // The frame for addr from a command array (letter, complement, 8 data bytes); 16.
    static int setCMD(uint8_t* buf, int addr, const uint8_t* cmd);
    static uint8_t crcCheck(const uint8_t* p, int n);
    // 1 when a reply of n bytes is 16 long and its byte 13 is the XOR of bytes 0 to 12.
    static int ChkReply(const uint8_t* reply, int n);

    int getDevState(ISerBase* ser, int addr);
    int getRecord(ISerBase* ser, int addr);
    int getConfig(ISerBase* ser, int addr);
    int getAllRecord(ISerBase* ser, int addr);
    // Sets the clock from YYMMDDhhmmss (two digits a data byte, from the left).
    int setDevTime(ISerBase* ser, int addr, int64_t yymmddhhmmss);

    struct Record {
        char time[20];
        int32_t in, out;
    };
    struct Block {
        uint8_t clock[8];
        uint8_t state[8];
        int32_t clockSid;
        uint8_t config[8];
        Record rec[kRecords];
        int32_t eenum, in, out;
    } m_v = {};

private:
    // One request; its reply (the first of them) in rx. 1 when it checked.
    int Exchange(ISerBase* ser, int addr, const uint8_t* cmd, uint8_t* rx);
    void SetClock(ISerBase* ser, int addr);
    int Inside() const;
};
