#pragma once
#include "core/SMBase.h"

// RDA series precision air-conditioner. Type 0x80F.
class CSMCyberRDAx : public CSMBase {
public:
    CSMCyberRDAx();
};
