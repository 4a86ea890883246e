#pragma once
#include "core/SMBase.h"

// Wiegand card reader. Type 0xD03.
class CSMCardW : public CSMBase {
public:
    CSMCardW();
};
