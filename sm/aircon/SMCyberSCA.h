#pragma once
#include "core/SMBase.h"

// SCA precision air-conditioner. Type 0x81B.
class CSMCyberSCA : public CSMBase {
public:
    CSMCyberSCA();
};
