#pragma once
#include "io/SMDioBase.h"

// AdBle analog input module. Type 0x90C.
class CSMDioAdBle_Huawei : public CSMDioBase {
public:
    CSMDioAdBle_Huawei();
};
