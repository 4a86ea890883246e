#pragma once
// The controller's own digital inputs and dry-contact outputs ("DI-2416"), read through the GPIO
// channel: type 0x900, the default handler of every DIO code without a class of its own.
#include "io/SMDioBase.h"

class CSMDio : public CSMDioBase {
public:
    CSMDio();

    int GetMask() override { return 36; }
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int ChkDef(IDbBase* db, int force) override;
};
