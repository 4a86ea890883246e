#pragma once
#include "aircon/AircShape.h"

// Canatal precision air-conditioner. Type 0x807. Five Modbus RTU reads whose start addresses
// are the unit's five-digit reference numbers, sent as they are (coil 1, discrete inputs
// 10001 and 10021, input register 30002, holding register 40015), stored as 16 values in
// tbCanatal. Values are not cleared before a poll: a request that fails keeps its fields, and
// those of the requests after it, from the point's own previous poll.
class CSMCanatal : public CSMAircShape {
public:
    CSMCanatal();

protected:
    void BriefText(char* out, size_t size, int state) override;
};
