#pragma once
#include "ups/SMUpsBase.h"

// HTxx three-phase UPS over Modbus RTU. Type 0x315.
class CSMUpsHTxx : public CSMUpsBase {
public:
    CSMUpsHTxx();
};
