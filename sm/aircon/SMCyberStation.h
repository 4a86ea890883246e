#pragma once
#include "core/SMBase.h"

// Station precision air-conditioner. Type 0x80B.
class CSMCyberStation : public CSMBase {
public:
    CSMCyberStation();
};
