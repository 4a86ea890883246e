#pragma once
#include "QxExport.h"
#include "ups/SMUpsBase.h"

// Webpower three-phase UPS over SNMP. Type 0x32C. The agent is named by the point's address
// text; the channel, the address and the wait are not used.
class CSMSnmpUpsWebpow : public CSMUpsBase {
public:
    CSMSnmpUpsWebpow();
    ~CSMSnmpUpsWebpow() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
};

// The identifier pattern of the agent's scalar objects (the poll names its objects in full).
extern "C" QX_EXPORT const char* OIDA_WEBPOW;
