#pragma once
#include "core/SMBase.h"

// Temperature and humidity sensor: the default handler of its category. Type 0x500.
class CSMEnvir : public CSMBase {
public:
    CSMEnvir();
};
