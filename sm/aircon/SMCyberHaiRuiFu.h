#pragma once
#include "aircon/AircShape.h"

// HaiRuiFu precision air-conditioner. Type 0x815. Four Modbus RTU reads (input registers 1-2
// and 30-42, discrete inputs 0-6 and 20-22) give temperature and humidity, thirteen alarm
// registers (0 normal, 1 alarm, 2 acknowledged) and nine status and mode bits, stored as 24
// values in tbCyberHairf (DataVal of any other field number is 0). An exception reply is
// logged with its code and fails the poll.
class CSMCyberHaiRuiFu : public CSMAircShape {
public:
    CSMCyberHaiRuiFu();

protected:
    void BriefText(char* out, size_t size, int state) override;
    void Refused(size_t index, const qx::MbReply& r, const uint8_t* reply) override;
};
