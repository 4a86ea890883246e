#pragma once
#include "io/SMDioBase.h"

// FD220 module on RS-485 (Modbus RTU): one coil that switches a battery discharge. Type 0x902.
class CSMDioFd220 : public CSMDioBase {
public:
    CSMDioFd220();

    int GetMask() override { return 32; }
    int ChkDef(IDbBase* db, int force) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
};
