#pragma once
#include "ups/SMUpsBase.h"

// Webpower three-phase UPS over SNMP. Type 0x32C.
class CSMSnmpUpsWebpow : public CSMUpsBase {
public:
    CSMSnmpUpsWebpow();
};
