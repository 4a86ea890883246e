#pragma once
#include "core/SMBase.h"

// Server monitor: polls a server's SNMP agent for its system, ip and host-resources figures. Type 0xE10.
class CSMSnmpSvr : public CSMBase {
public:
    CSMSnmpSvr();
};
