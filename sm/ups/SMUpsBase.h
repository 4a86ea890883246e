#pragma once
#include "core/SMBase.h"

// Base of the three-phase UPS drivers (the tbUpsEx record).
class CSMUpsBase : public CSMBase {
public:
    explicit CSMUpsBase(int type);
};
