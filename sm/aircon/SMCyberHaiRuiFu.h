#pragma once
#include "core/SMBase.h"

// HaiRuiFu precision air-conditioner. Type 0x815.
class CSMCyberHaiRuiFu : public CSMBase {
public:
    CSMCyberHaiRuiFu();
};
