#pragma once
#include "core/SMBase.h"

// Stulz C7000 precision air-conditioner controller. Type 0x802.
class CSMStulzC7000 : public CSMBase {
public:
    CSMStulzC7000();
};
