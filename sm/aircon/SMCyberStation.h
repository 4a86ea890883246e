#pragma once
#include "aircon/AircShape.h"

// Station precision air-conditioner over Modbus RTU. Type 0x80B. The point's Variant names
// the unit's map (1, or any other); each poll reads two coil blocks (component states and
// alarms) and two register pairs (set points, temperature and humidity), waiting `wait` and
// then 200 ms for every reply. It keeps 19 values in the order of its table; DataSize says
// 15 (the states and alarms, fields 1..15), fields 16..19 are the set points, temperature
// and humidity. The summary is empty. No command. A point of Variant 1 passes over the fan
// overloads, which its map does not carry.
class CSMCyberStation : public CSMAircShape {
public:
    CSMCyberStation();

protected:
    std::vector<int> UnreadFields() const override;
};
