#pragma once
#include "aircon/AircShape.h"

// Matrix precision air-conditioner over Modbus RTU. Type 0x80A. Each poll reads 52 coils
// (component states and overload alarms) and 15 holding registers (temperature, humidity,
// set points) and keeps 18 values; the summary is empty. No command.
class CSMCyberMatrix : public CSMAircShape {
public:
    CSMCyberMatrix();
};
