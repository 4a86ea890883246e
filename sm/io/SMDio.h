#pragma once
#include "io/SMDioBase.h"

// DI-2416 DIO module: the default handler of the DIO codes without a class of their own. Type 0x900.
class CSMDio : public CSMDioBase {
public:
    CSMDio();
};
