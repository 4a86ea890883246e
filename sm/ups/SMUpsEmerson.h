#pragma once
#include "ups/SMUpsBase.h"

// Emerson three-phase UPS over YD/T 1363. Type 0x301.
class CSMUpsEmerson : public CSMUpsBase {
public:
    CSMUpsEmerson();
};
