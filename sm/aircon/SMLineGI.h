#pragma once
#include "core/SMBase.h"

// GI in-row air-conditioner. Type 0x806.
class CSMLineGI : public CSMBase {
public:
    CSMLineGI();
};
