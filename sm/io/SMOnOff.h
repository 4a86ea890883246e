#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Six dry-contact inputs of an RS-485 module over Modbus RTU (function 4, registers 0-2):
// every switch-input code 0x2xx shares this handler, which reports 0x200. tbOnoff keeps every
// alarm row and, while the inputs are normal, at most one row per point and hour.
class CSMOnOff : public CSMBase {
public:
    CSMOnOff();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    int DoFunc(int command, void* buffer, int length) override;

    // Value block: sd1..sd6, the raw bytes 3..8 of the reply (0 closed/normal, else open).
    uint8_t m_sd[6] = {0, 0, 0, 0, 0, 0};
};
