#pragma once
#include "core/SMBase.h"

// AHP UPS over Modbus RTU or YD/T 1363. Type 0x313.
class CSMUpsAHP : public CSMBase {
public:
    CSMUpsAHP();
};
