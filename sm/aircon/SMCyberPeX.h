#pragma once
#include "aircon/AircShape.h"

// PeX precision air-conditioner over Modbus RTU. Type 0x808. The point's Variant names the
// unit's map: 1 reads one block of 64 holding registers (temperatures, humidity, set points,
// dehumidifier), any other the unit, component states and measurements from discrete inputs
// and input registers in four requests. It keeps twelve values (DataSize says 26); the
// summary is empty. No command.
class CSMCyberPeX : public CSMAircShape {
public:
    CSMCyberPeX();
};
