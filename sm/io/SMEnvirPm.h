#pragma once
#include "core/SMBase.h"

// PM485 environment sensor. Type 0x502.
class CSMEnvirPm : public CSMBase {
public:
    CSMEnvirPm();
};
