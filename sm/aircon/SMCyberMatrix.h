#pragma once
#include "core/SMBase.h"

// CyberMatrix precision air-conditioner. Type 0x80A.
class CSMCyberMatrix : public CSMBase {
public:
    CSMCyberMatrix();
};
