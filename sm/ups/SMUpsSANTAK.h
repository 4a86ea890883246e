#pragma once
#include "core/SMBase.h"

// SANTAK serial UPS. Type 0x304.
class CSMUpsSANTAK : public CSMBase {
public:
    CSMUpsSANTAK();
};
