#pragma once
#include "core/SMBase.h"

// GT in-row air-conditioner. Type 0x805.
class CSMLineGT : public CSMBase {
public:
    CSMLineGT();
};
