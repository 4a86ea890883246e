#pragma once
#include "aircon/AircShape.h"

// HST12 and HST26JF precision air-conditioners. Type 0x819. The point's Variant selects the
// register map (1 HST26JF, function 3 registers 0..23; otherwise HST12, registers 0..15);
// both fill the same 27 signed values of tbCyberHstx: states and alarms from bit words, the
// four readings and two set points from big-endian IEEE-754 floats, stored in tenths.
class CSMCyberHSTXX : public CSMAircShape {
public:
    CSMCyberHSTXX();

    // The poll is the shape's: the map of the point's Variant. Each map alone:
    int DataGet_HST12(ISerBase* channel, int address, int wait);
    int DataGet_HST26JF(ISerBase* channel, int address, int wait);

protected:
    void BriefText(char* out, size_t size, int state) override;
};
