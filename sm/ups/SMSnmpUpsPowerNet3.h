#pragma once
#include "QxExport.h"
#include "ups/SMUpsBase.h"

// PowerNet three-phase UPS over SNMP. Type 0x328. The agent is named by the point's address
// text; the channel, the address and the wait are not used.
class CSMSnmpUpsPowerNet3 : public CSMUpsBase {
public:
    CSMSnmpUpsPowerNet3();
    ~CSMSnmpUpsPowerNet3() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
};

// The identifier pattern of the vendor's scalar objects (the poll names its objects in full).
extern "C" QX_EXPORT const char* OIDA_POWERNET;
