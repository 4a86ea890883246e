#pragma once
#include "core/SMBase.h"

// SNMP demonstration: shows that an agent answers. Type 0xF00.
class CSMSnmpDemo : public CSMBase {
public:
    CSMSnmpDemo();
};
