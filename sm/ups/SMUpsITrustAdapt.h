#pragma once
#include "core/SMBase.h"

// iTrust UPS over YD/T 1363. Type 0x311.
class CSMUpsITrustAdapt : public CSMBase {
public:
    CSMUpsITrustAdapt();
};
