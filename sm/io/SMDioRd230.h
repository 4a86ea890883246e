#pragma once
#include "io/SMDioBase.h"

// RD230 module on RS-485 (Modbus RTU): eight inputs, a closed contact reads as bit 0. Type
// 0x906.
class CSMDioRd230 : public CSMDioBase {
public:
    CSMDioRd230();

    int GetMask() override { return 36; }
    int ChkDef(IDbBase* db, int force) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
};
