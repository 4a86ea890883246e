#pragma once
#include "core/SMBase.h"

// Transformer monitor. Type 0x103.
class CSMTransf : public CSMBase {
public:
    CSMTransf();
};
