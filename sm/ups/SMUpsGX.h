#pragma once
#include "core/SMBase.h"

// GX UPS over Modbus RTU. Type 0x30C.
class CSMUpsGX : public CSMBase {
public:
    CSMUpsGX();
};
