#pragma once
#include "core/SMBase.h"

// ADU1000 battery monitor. Type 0x401.
class CSMADU1000 : public CSMBase {
public:
    CSMADU1000();
};
