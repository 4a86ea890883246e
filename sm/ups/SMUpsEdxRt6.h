#pragma once
#include "core/SMBase.h"

// EDX RT6 UPS, binary serial protocol. Type 0x308.
class CSMUpsEdxRt6 : public CSMBase {
public:
    CSMUpsEdxRt6();
};
