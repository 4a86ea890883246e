#pragma once
#include "core/SMBase.h"

// Switch inputs: every switch-input code shares this handler. Type 0x200.
class CSMOnOff : public CSMBase {
public:
    CSMOnOff();
};
