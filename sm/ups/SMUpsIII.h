#pragma once
#include "core/SMBase.h"

// III UPS, binary serial protocol. Type 0x309.
class CSMUpsIII : public CSMBase {
public:
    CSMUpsIII();
};
