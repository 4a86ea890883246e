#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// GX UPS over Modbus RTU (type 0x30C), kept in tbUps. One read of holding registers 1..56
// gives the values; a read of input register 81 then proves the UPS still answers.
class CSMUpsGX : public CSMUpsTbUps {
public:
    CSMUpsGX();

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size) override;
};
