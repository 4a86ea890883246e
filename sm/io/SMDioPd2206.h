#pragma once
#include "io/SMDioBase.h"

// PD220-6 module on RS-485 (Modbus RTU): six 220 V inputs, four dry-contact inputs and two
// outputs, one byte per point in its function-4 answer. Type 0x903.
class CSMDioPd2206 : public CSMDioBase {
public:
    CSMDioPd2206();

    int GetMask() override { return 42; }
    int ChkDef(IDbBase* db, int force) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
};
