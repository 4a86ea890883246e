#pragma once
#include "ups/SMUpsBase.h"

// ITA 16-20k three-phase UPS over SNMP. Type 0x327.
class CSMSnmpUpsIta1620k : public CSMUpsBase {
public:
    CSMSnmpUpsIta1620k();
};
