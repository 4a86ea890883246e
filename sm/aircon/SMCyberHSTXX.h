#pragma once
#include "core/SMBase.h"

// HST series precision air-conditioner. Type 0x819.
class CSMCyberHSTXX : public CSMBase {
public:
    CSMCyberHSTXX();
};
