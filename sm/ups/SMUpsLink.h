#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// Link single-phase UPS over Modbus RTU (type 0x30F), kept in tbUps: the readings in holding
// registers 170..180, the alarm flags in register 0.
class CSMUpsLink : public CSMUpsTbUps {
public:
    CSMUpsLink();
    ~CSMUpsLink() override;

    // Commands: none (DoFunc is the base's: 0, nothing sent).
    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size) override;
};
