#pragma once
#include "core/SMBase.h"

// Smart-protocol serial UPS. Type 0x303.
class CSMUpsSmart : public CSMBase {
public:
    CSMUpsSmart();
};
