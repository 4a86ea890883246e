#pragma once
#include <stddef.h>

#include "ups/SMUpsTbUps.h"

// NMYG three-phase UPS on a serial or network line (type 0x30E), kept in tbUps. Three ASCII
// requests: "RS" the five alarm flags, "RD" thirteen readings, "RN" (its reply is not used).
class CSMUpsNMYG : public CSMUpsTbUps {
public:
    CSMUpsNMYG();
    ~CSMUpsNMYG() override;

    // Commands: none (DoFunc is the base's: 0, nothing sent).
    int DataGet(ISerBase* channel, int address, int wait) override;

    // The reply's numbers from text[pos..length), at most 32, into values: a number opens at
    // a digit (a sign or point before it is passed over), ends at a blank, CR or LF, and is
    // stored times 10; one not ended before length is lost. Returns the count stored.
    static int GetVals(int* values, const char* text, int& pos, int length, int wanted);

protected:
    void BriefText(char* out, size_t size) override;
};
