#pragma once
#include "io/SMDioBase.h"

// FD220 DIO module. Type 0x902.
class CSMDioFd220 : public CSMDioBase {
public:
    CSMDioFd220();
};
