#pragma once
#include "ups/SMUpsBase.h"

// MG Galaxy 5000 three-phase UPS over SNMP. Type 0x324.
class CSMSnmpUpsMgG5000 : public CSMUpsBase {
public:
    CSMSnmpUpsMgG5000();
};
