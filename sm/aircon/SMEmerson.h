#pragma once
#include "core/SMBase.h"

// Emerson precision air-conditioner. Type 0x801.
class CSMEmerson : public CSMBase {
public:
    CSMEmerson();
};
