#pragma once
#include "ups/SMUpsBase.h"

// Hipulse U series three-phase UPS. Type 0x31A.
class CSMUpsHipulseUSeries : public CSMUpsBase {
public:
    CSMUpsHipulseUSeries();
};
