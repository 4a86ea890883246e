#pragma once
#include "core/SMBase.h"

// BOD-EB90 battery monitor. Type 0x405.
class CSMBattBodEB90 : public CSMBase {
public:
    CSMBattBodEB90();
};
