#pragma once
#include "SMUpsTbUps.h"

// Default UPS handler (type 0x300 and every UPS code without a class of its own): the Q1
// family over a serial line. A status request by the point's variant, then "Q2" for the
// input voltages of phases 2 and 3, and once per handler life the rating ("F") and the
// identification ("I"). Commands: beeper and battery tests.
class CSMUps : public CSMUpsTbUps {
public:
    CSMUps();
    ~CSMUps() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    using CSMBase::DoFunc;

    // The Q1 number scanner: separators space, '/' and CR; numbers in hundredths.
    static int GetVals(int* out, const char* text, int& pos, int len, int max);

protected:
    void BriefText(char* out, size_t size) override;

private:
    // A follow-up request: `wait` before the write (when above 0), 150 ms after it, then
    // `wait` (150 ms when not above 0) before reading up to 256 bytes into reply (257 bytes,
    // NUL-terminated). Returns the count read; 0 when the request was not written whole.
    static int Exchange(ISerBase* channel, const char* request, int wait, uint8_t* reply);
};
