#pragma once
#include "io/SMDioBase.h"

// AD5DA5 analog I/O module, IVC variant. Type 0x90A.
class CSMDioAd5Da5Ivc : public CSMDioBase {
public:
    CSMDioAd5Da5Ivc();
};
