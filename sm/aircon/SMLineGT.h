#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// GT in-row air-conditioner over Modbus RTU. Type 0x805. Each poll reads the measurement and
// set-point registers, the unit state and the fault coils in five requests, 100 ms apart,
// and keeps 20 values: 12 fault points, then state, temperatures, humidity and set points,
// as the unit sends them. No command.
class CSMLineGT : public CSMAircShape {
public:
    CSMLineGT();

protected:
    void BriefText(char* out, size_t size, int state) override;
};
