#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// RS-485 PM2.5 dust sensor over Modbus RTU, type 0x502.
class CSMEnvirPm : public CSMBase {
public:
    CSMEnvirPm();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;

    // Value block: the register big-endian as on the wire, then its value (the sensor's raw
    // reading, printed undivided).
    uint8_t m_wire[2] = {0, 0};
    uint16_t m_pm = 0;
};
