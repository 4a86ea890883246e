#pragma once
#include "ups/SMUpsBase.h"

// PowerNet three-phase UPS over SNMP. Type 0x328.
class CSMSnmpUpsPowerNet3 : public CSMUpsBase {
public:
    CSMSnmpUpsPowerNet3();
};
