#pragma once
#include "io/SMDioBase.h"

// KW7 DIO module. Type 0x907.
class CSMDioKW7 : public CSMDioBase {
public:
    CSMDioKW7();
};
