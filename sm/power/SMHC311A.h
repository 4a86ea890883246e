#pragma once
#include "core/SMBase.h"

// HC-311A power meter. Type 0x106.
class CSMHC311A : public CSMBase {
public:
    CSMHC311A();
};
