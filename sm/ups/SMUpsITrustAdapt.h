#pragma once
#include <stddef.h>

#include "ups/SMUpsAPM150.h"

// iTrust UPS over YD/T 1363 (type 0x311), kept in tbUps. The point's Variant picks the path
// on every poll:
//
//   Variant  path        requests
//   2        NX          the APM150 sequence (VER 10: 41, E1, E7, 44)
//   3        Test        none: fixed demonstration values
//   4        TV_5K_10K   VER 21: 42 (raw 16-bit values), 44
//   other    TV          the APM150 sequence, E1 also giving the bypass voltage (Pout) and
//                        frequency (Fed) and two ratings (Ved, Vdc)
//
// NX and TV read every reply at the columns of a nonzero Variant; request 41 carries INFO 00
// only for a point of Variant 0 (or without a point). Every path clears the record once its
// first reply is taken. No commands.
class CSMUpsITrustAdapt : public CSMUpsAPM150 {
public:
    CSMUpsITrustAdapt();
    ~CSMUpsITrustAdapt() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    int DataGet_TV(ISerBase* channel, int address, int wait);
    int DataGet_NX(ISerBase* channel, int address, int wait);
    int DataGet_TV_5K_10K(ISerBase* channel, int address, int wait);
    int DataGet_Test(ISerBase* channel, int address, int wait);

protected:
    void BriefText(char* out, size_t size) override;
};
