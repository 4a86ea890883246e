#pragma once
#include "core/SMBase.h"

// EVO CyberMate DX precision air-conditioner. Type 0x80E.
class CSMCyberEvoDx : public CSMBase {
public:
    CSMCyberEvoDx();
};
