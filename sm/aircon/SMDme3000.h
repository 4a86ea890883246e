#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"
#include "aircon/AircYdCodec.h"

// DME3000 precision air-conditioner. Type 0x809. A point's Variant chooses the protocol:
// 0 YD/T 1363 (VER 21, CID1 60: switch and alarm states CID2 82, analogue values 42, set
// points 47, unit state 83), 1 Modbus RTU (six reads of input registers and discrete
// inputs). The value block is the unit's record of 39 words, whose field numbers follow
// another order (words 0-4 are fields 14-18); DataSize is 39, so that a host checks every
// alarm and lock field (19-34, 37-39) and the summary names them; the unit state and work mode
// (35, 36) have no limits. Over Modbus the unit sends no outdoor temperature, no user,
// maintenance or power alarms and no locks: those fields are passed over (UnreadFields), and
// the summary's on/off is the evaporator fan's input, which runs whenever the unit is on (the
// poll reads no on/off state; s_pow stays 0). Commands over YD/T 1363: 1 switches the unit on or off (CID2 45), 2
// sets a parameter (CID2 49).
class CSMDme3000 : public CSMAircShape {
public:
    CSMDme3000();
    ~CSMDme3000() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    using CSMBase::DoFunc;

    const CAircYdCodec codec{0x21};

protected:
    void BriefText(char* out, size_t size, int state) override;
    std::vector<int> UnreadFields() const override;

private:
    int PollYdt(ISerBase* channel, int address, int wait);
    int PollModbus(ISerBase* channel, int address, int wait);
};
