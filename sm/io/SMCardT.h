#pragma once
#include "core/SMBase.h"

// T card reader door controller. Type 0xD02.
class CSMCardT : public CSMBase {
public:
    CSMCardT();
};
