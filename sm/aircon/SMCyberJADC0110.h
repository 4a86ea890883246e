#pragma once
#include "core/SMBase.h"

// JADC0110 precision air-conditioner. Type 0x81C.
class CSMCyberJADC0110 : public CSMBase {
public:
    CSMCyberJADC0110();
};
