#pragma once
#include "core/SMBase.h"

// FBJK002G3S power monitor. Type 0x105.
class CSMFBJK002G3S : public CSMBase {
public:
    CSMFBJK002G3S();
};
