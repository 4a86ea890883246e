#pragma once
#include "core/SMBase.h"

// Power distribution meter: the default handler of the power-plant codes without a class of their own. Type 0x100.
class CSMElec : public CSMBase {
public:
    CSMElec();
};
