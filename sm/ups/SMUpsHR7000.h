#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// HR7000 (SENTRY) UPS over Modbus RTU (type 0x30B), kept in tbUps. One read of input
// registers 1..66: the values, and the fault words 58..66 that make b4.
class CSMUpsHR7000 : public CSMUpsTbUps {
public:
    CSMUpsHR7000();

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size) override;
};
