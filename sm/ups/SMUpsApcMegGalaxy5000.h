#pragma once
#include "ups/SMUpsBase.h"

// Galaxy 5000 three-phase UPS over Modbus. Type 0x318.
class CSMUpsApcMegGalaxy5000 : public CSMUpsBase {
public:
    CSMUpsApcMegGalaxy5000();
};
