#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// IPGuard UPS over Modbus RTU (type 0x305), kept in tbUps. Input registers 25..75 give the
// values; the states of inputs 17..37 (one byte per input) give b0..b7. Its summary is the
// alarm text alone; command 1 toggles the beeper.
class CSMUpsIPGuard : public CSMUpsTbUps {
public:
    CSMUpsIPGuard();

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // Command 1 writes "Q\r"; 1 when it went out whole. No other command.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

protected:
    void BriefText(char* out, size_t size) override;
};
