#pragma once
#include "ups/SMSnmpUpsTbUps.h"

// PowerNet single-phase UPS over SNMP, kept in tbUps. Type 0x31B. A poll never clears the
// record: a GET without answer leaves its field with the point's last value.
class CSMSnmpUpsPowerNet : public CSMSnmpUpsTbUps {
public:
    CSMSnmpUpsPowerNet();
    ~CSMSnmpUpsPowerNet() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void Summary(char* out, size_t size) override;
};
