#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// EVO CyberMate DX precision air-conditioner over YD/T 1363 (VER 21, CID1 60). Type 0x80E.
// Each poll asks analogue values (CID2 42), states (43) and alarms (44), waiting `wait` (250 ms
// when none is given) before each reply, and keeps 68 values; 7FFF marks a value the unit has
// not (stored 0) and an alarm is the code 01. The 42 alarm states (fields 19..60) have alarm
// rows beside the room temperatures and humidities, so each reaches the host. A point with a nonzero Variant is a unit whose
// LCHKSUM and CHKSUM are not to be trusted: its replies are taken without them.
class CSMCyberEvoDx : public CSMAircShape {
public:
    CSMCyberEvoDx();
    ~CSMCyberEvoDx() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    // 1 for the alarm code 01, else 0.
    static int GETAST(int v);

protected:
    void BriefText(char* out, size_t size, int state) override;

private:
    int Ask(ISerBase* channel, int address, int wait);
};
