#pragma once
#include "core/SMBase.h"

// Delta precision air-conditioner. Type 0x81E.
class CSMCyberDelta : public CSMBase {
public:
    CSMCyberDelta();
};
