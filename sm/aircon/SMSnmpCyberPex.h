#pragma once
#include "core/SMBase.h"

// PeX precision air-conditioner over SNMP. Type 0x831.
class CSMSnmpCyberPex : public CSMBase {
public:
    CSMSnmpCyberPex();
};
