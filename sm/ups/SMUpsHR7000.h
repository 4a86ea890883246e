#pragma once
#include "core/SMBase.h"

// HR7000 UPS over Modbus RTU. Type 0x30B.
class CSMUpsHR7000 : public CSMBase {
public:
    CSMUpsHR7000();
};
