#pragma once
#include "io/SMDioBase.h"

// RD230 DIO module. Type 0x906.
class CSMDioRd230 : public CSMDioBase {
public:
    CSMDioRd230();
};
