#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ups/SMUpsTbUps.h"

// SANTAK single-phase UPS on a serial line (type 0x304), kept in tbUps. One of four Q-command
// requests, chosen by the point's Variant, returns a blank-separated line of numbers and the
// eight status flags; variant 1 reads the flags with a second request, "WA".
class CSMUpsSANTAK : public CSMUpsTbUps {
public:
    CSMUpsSANTAK();
    ~CSMUpsSANTAK() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // Command 1 sends "Q\r" (beeper on/off); 1 when it was written whole. No other command.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

    // The summary of the three input voltages in volts, as the SANTAK and Symmetra UPS write it.
    static void VinBrief(const TbUpsRecord& r, char* out, size_t size);

protected:
    void BriefText(char* out, size_t size) override;
};
