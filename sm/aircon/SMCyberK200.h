#pragma once
#include "core/SMBase.h"

// K200 precision air-conditioner. Type 0x812.
class CSMCyberK200 : public CSMBase {
public:
    CSMCyberK200();
};
