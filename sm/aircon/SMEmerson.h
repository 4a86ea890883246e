#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// Emerson precision air-conditioner over YD/T 1363 (VER 21, CID1 60). Type 0x801. Each poll
// asks four commands without INFO, 200 ms apart: analogue values (CID2 42), parameters (47),
// switch states (82) and alarms (85), decoded at fixed characters of their INFO into 39
// values; DataSize is 21 (the output and mode states beyond it are no alarms). A request that
// fails ends the poll with 0, the values of the earlier ones kept.
class CSMEmerson : public CSMAircShape {
public:
    CSMEmerson();
    ~CSMEmerson() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size, int state) override;

private:
    int Ask(ISerBase* channel, int address, int wait);
};
