#pragma once
#include "core/SMBase.h"

// MLAN-7VXPXJ I/O module. Type 0x909.
class CSMDioMlan7vxpxj : public CSMBase {
public:
    CSMDioMlan7vxpxj();
};
