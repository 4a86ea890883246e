#pragma once
#include "core/SMBase.h"

// Diwen display and alarm panel. Type 0xB01.
class CSMAlmDiwen : public CSMBase {
public:
    CSMAlmDiwen();
};
