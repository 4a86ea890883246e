#pragma once
#include "core/SMBase.h"

// Canatal precision air-conditioner. Type 0x807.
class CSMCanatal : public CSMBase {
public:
    CSMCanatal();
};
