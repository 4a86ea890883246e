#pragma once
#include "core/SMBase.h"

// NMYG serial UPS. Type 0x30E.
class CSMUpsNMYG : public CSMBase {
public:
    CSMUpsNMYG();
};
