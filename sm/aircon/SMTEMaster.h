#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"
#include "aircon/AircYdCodec.h"

// T-MASTER and E-MASTER precision air-conditioners. Type 0x80C. One YD/T 1363 request (VER 20,
// CID1 60, CID2 E0) without wait brings all 22 values; a humidity of 8001 is one the unit has
// not (stored 0). The unit takes no commands.
class CSMTEMaster : public CSMAircShape {
public:
    CSMTEMaster();
    ~CSMTEMaster() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    const CAircYdCodec codec{0x20};

protected:
    void BriefText(char* out, size_t size, int state) override;

private:
    int Ask(ISerBase* channel, int address, int wait);
};
