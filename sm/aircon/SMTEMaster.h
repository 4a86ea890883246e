#pragma once
#include "core/SMBase.h"

// TEMaster precision air-conditioner. Type 0x80C.
class CSMTEMaster : public CSMBase {
public:
    CSMTEMaster();
};
