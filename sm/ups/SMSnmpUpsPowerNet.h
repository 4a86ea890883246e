#pragma once
#include "core/SMBase.h"

// PowerNet UPS over SNMP. Type 0x31B.
class CSMSnmpUpsPowerNet : public CSMBase {
public:
    CSMSnmpUpsPowerNet();
};
