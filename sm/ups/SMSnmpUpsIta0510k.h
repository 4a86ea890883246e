#pragma once
#include "ups/SMSnmpUpsTbUps.h"

// ITA 05-10k single-phase UPS over SNMP, kept in tbUps: one GET of sixteen objects, values in
// hundredths. Type 0x31E. A failed request keeps the point's values.
class CSMSnmpUpsIta0510k : public CSMSnmpUpsTbUps {
public:
    CSMSnmpUpsIta0510k();
    ~CSMSnmpUpsIta0510k() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void Summary(char* out, size_t size) override;
};
