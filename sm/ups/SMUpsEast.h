#pragma once
#include "SMUpsTbUps.h"

// East UPS (type 0x306): the Q1 family with the extra requests "G1" (battery capacity and
// remaining time) and "G3" (three-phase voltages, output load), values in tenths.
class CSMUpsEast : public CSMUpsTbUps {
public:
    CSMUpsEast();
    ~CSMUpsEast() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    using CSMBase::DoFunc;

    // The number scanner of this dialect: separators space, '/', '+' and CR; tenths.
    static int GetVals(int* out, const char* text, int& pos, int len, int max);

protected:
    void BriefText(char* out, size_t size) override;

private:
    // A follow-up request: `wait` before the write (when above 0); when written whole, the
    // reply wait (100 ms, or `wait` when above 100) and a read of up to `max` bytes into reply
    // (max + 1 bytes, NUL-terminated). Returns the count read.
    static int Exchange(ISerBase* channel, const char* request, int wait, uint8_t* reply,
                        int max);
};
