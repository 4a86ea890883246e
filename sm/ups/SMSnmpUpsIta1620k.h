#pragma once
#include "QxExport.h"
#include "ups/SMUpsBase.h"

// ITA 16-20k three-phase UPS over SNMP; values in hundredths (divisor 100). Type 0x327. The
// agent is named by the point's address text.
class CSMSnmpUpsIta1620k : public CSMUpsBase {
public:
    CSMSnmpUpsIta1620k();
    ~CSMSnmpUpsIta1620k() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
};

// The identifier pattern of the UPS's objects, %d the object's number.
extern "C" QX_EXPORT const char* OIDA_ITA1620K;
