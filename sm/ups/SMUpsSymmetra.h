#pragma once
#include "core/SMBase.h"

// Symmetra serial UPS. Type 0x307.
class CSMUpsSymmetra : public CSMBase {
public:
    CSMUpsSymmetra();
};
