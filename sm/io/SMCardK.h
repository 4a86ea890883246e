#pragma once
#include "core/SMBase.h"

// K card reader door controller. Type 0xD01.
class CSMCardK : public CSMBase {
public:
    CSMCardK();
};
