#pragma once
#include "core/SMBase.h"

// Link serial UPS. Type 0x30F.
class CSMUpsLink : public CSMBase {
public:
    CSMUpsLink();
};
