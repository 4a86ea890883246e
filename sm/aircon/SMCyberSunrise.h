#pragma once
#include "core/SMBase.h"

// Sunrise precision air-conditioner. Type 0x810.
class CSMCyberSunrise : public CSMBase {
public:
    CSMCyberSunrise();
};
