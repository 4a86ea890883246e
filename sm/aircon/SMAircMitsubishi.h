#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// Mitsubishi comfort air-conditioner behind an RS-485 adapter (type 0x705): on/off state,
// mode, fan speed, temperature, status bits and fault code. No controls. The filter-cleaning
// flag and the fault code alarm (DataSize 11, so that the host checks the fault code).
//
// Wire: the query "55 00 addr 00 00 00 00 AA"; the answer carries four data bytes d0..d3,
// after a lead byte 0x55 at bytes 3..6, without it at bytes 2..5, and no checksum.
class CSMAircMitsubishi : public CSMAircShape {
public:
    CSMAircMitsubishi();
    ~CSMAircMitsubishi() override;

    // Tables in each database that is set (the main one is not needed), then the point's rows.
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size, int state) override;
};
