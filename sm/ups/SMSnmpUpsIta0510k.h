#pragma once
#include "core/SMBase.h"

// ITA 05-10k UPS over SNMP. Type 0x31E.
class CSMSnmpUpsIta0510k : public CSMBase {
public:
    CSMSnmpUpsIta0510k();
};
