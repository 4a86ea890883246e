#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// Sentry UPS on an RS-232 line (type 0x30A), kept in tbUps: one request byte, a binary reply
// read at fixed offsets.
class CSMUpsSentry : public CSMUpsTbUps {
public:
    CSMUpsSentry();
    ~CSMUpsSentry() override;

    // Commands: none (DoFunc is the base's: 0, nothing sent). No display keys.
    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size) override;
};
