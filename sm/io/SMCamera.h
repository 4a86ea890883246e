#pragma once
#include "core/SMBase.h"

// Network camera. Type 0xC00.
class CSMCamera : public CSMBase {
public:
    CSMCamera();
};
