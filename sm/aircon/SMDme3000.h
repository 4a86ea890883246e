#pragma once
#include "core/SMBase.h"

// DME3000 precision air-conditioner. Type 0x809.
class CSMDme3000 : public CSMBase {
public:
    CSMDme3000();
};
