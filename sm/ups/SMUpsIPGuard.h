#pragma once
#include "core/SMBase.h"

// IPGuard UPS over Modbus RTU. Type 0x305.
class CSMUpsIPGuard : public CSMBase {
public:
    CSMUpsIPGuard();
};
