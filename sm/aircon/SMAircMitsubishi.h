#pragma once
#include "core/SMBase.h"

// Mitsubishi comfort air-conditioner. Type 0x705.
class CSMAircMitsubishi : public CSMBase {
public:
    CSMAircMitsubishi();
};
