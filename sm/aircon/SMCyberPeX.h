#pragma once
#include "core/SMBase.h"

// PeX precision air-conditioner. Type 0x808.
class CSMCyberPeX : public CSMBase {
public:
    CSMCyberPeX();
};
