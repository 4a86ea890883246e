#pragma once
#include "core/SMBase.h"

// BAT100 battery monitor. Type 0x402.
class CSMBatt100 : public CSMBase {
public:
    CSMBatt100();
};
