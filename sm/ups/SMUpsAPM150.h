#pragma once
#include "core/SMBase.h"

// APM150 UPS over YD/T 1363. Type 0x30D.
class CSMUpsAPM150 : public CSMBase {
public:
    CSMUpsAPM150();
};
