#pragma once
#include "core/SMBase.h"

// GXE three-phase UPS over YD/T 1363. Type 0x314.
class CSMUpsGXE : public CSMBase {
public:
    CSMUpsGXE();
};
