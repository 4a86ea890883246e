#pragma once
#include "io/SMDioBase.h"

// W7017 analog input module. Type 0x90B.
class CSMDioW7017_Huawei : public CSMDioBase {
public:
    CSMDioW7017_Huawei();
};
