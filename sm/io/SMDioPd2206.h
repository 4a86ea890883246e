#pragma once
#include "io/SMDioBase.h"

// PD220-6 DIO module. Type 0x903.
class CSMDioPd2206 : public CSMDioBase {
public:
    CSMDioPd2206();
};
