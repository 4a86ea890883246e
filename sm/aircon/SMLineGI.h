#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// GI in-row air-conditioner over Modbus RTU. Type 0x806. Each poll reads four holding
// registers (supply and return air, humidity, set points, unit state) and the fault coils
// in ten requests, 100 ms apart, and keeps 38 values: 23 fault points, then state,
// temperatures, humidity and set points, as the unit sends them. Fields no request reads are
// 0. No command.
class CSMLineGI : public CSMAircShape {
public:
    CSMLineGI();

protected:
    void BriefText(char* out, size_t size, int state) override;
};
