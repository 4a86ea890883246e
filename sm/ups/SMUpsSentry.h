#pragma once
#include "core/SMBase.h"

// Sentry serial UPS. Type 0x30A.
class CSMUpsSentry : public CSMBase {
public:
    CSMUpsSentry();
};
