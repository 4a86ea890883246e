#pragma once
#include "core/SMBase.h"

// RTVS battery monitor. Type 0x403.
class CSMBattRTVS : public CSMBase {
public:
    CSMBattRTVS();
};
