#pragma once
#include "io/SMDioBase.h"

// AD5DA5 analog I/O module. Type 0x905.
class CSMDioAd5Da5 : public CSMDioBase {
public:
    CSMDioAd5Da5();
};
