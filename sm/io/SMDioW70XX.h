#pragma once
#include "io/SMDioBase.h"

// W70XX DIO module. Type 0x904.
class CSMDioW70XX : public CSMDioBase {
public:
    CSMDioW70XX();
};
