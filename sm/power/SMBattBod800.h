#pragma once
#include "core/SMBase.h"

// BOD-800 battery monitor. Type 0x404.
class CSMBattBod800 : public CSMBase {
public:
    CSMBattBod800();
};
