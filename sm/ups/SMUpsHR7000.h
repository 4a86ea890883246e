#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// HR7000 (SENTRY) UPS over Modbus RTU (type 0x30B), kept in tbUps. One read of input
// registers 1..66: the values, and the fault words 58..66 that make b4.
class CSMUpsHR7000 : public CSMUpsTbUps {
public:
    CSMUpsHR7000();

    int DataGet(ISerBase* channel, int address, int wait) override;

    // The summary of the input frequency and the three input voltages, all kept in tenths, as
    // the HR7000 and GX UPS write it.
    static void FrequencyBrief(const TbUpsRecord& r, char* out, size_t size);

protected:
    void BriefText(char* out, size_t size) override;
};
