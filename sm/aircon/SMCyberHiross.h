#pragma once
#include "core/SMBase.h"

// Hiross precision air-conditioner. Type 0x80D.
class CSMCyberHiross : public CSMBase {
public:
    CSMCyberHiross();
};
