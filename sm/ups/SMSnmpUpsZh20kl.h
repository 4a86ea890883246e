#pragma once
#include "ups/SMUpsBase.h"

// ZH20KL three-phase UPS over SNMP. Type 0x323.
class CSMSnmpUpsZh20kl : public CSMUpsBase {
public:
    CSMSnmpUpsZh20kl();
};
