#pragma once
#include "aircon/AircShape.h"

// RDA precision air-conditioner. Type 0x80F. Three Modbus RTU reads (discrete inputs 14-65,
// holding registers 0-3, input registers 9-12) give set points, return-air temperature and
// humidity, five running states and six alarms, stored as 15 values in tbRDA050CXTILI. Field
// numbers differ from the storage order: 1 tem, 2 hum, 3 temset, 4 humset, then 5..15.
class CSMCyberRDAx : public CSMAircShape {
public:
    CSMCyberRDAx();
};
