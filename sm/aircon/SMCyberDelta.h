#pragma once
#include <stddef.h>
#include <stdint.h>

#include "aircon/AircShape.h"

// Delta precision air-conditioner. Type 0x81E (the model text and type description are the
// JADC0110's). Thirteen function-3 reads over Modbus ASCII: twelve single registers and the
// block of the five running states.
class CSMCyberDelta : public CSMAircShape {
public:
    CSMCyberDelta();
    ~CSMCyberDelta() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    // The Modbus ASCII line of an RTU frame (its CRC left out); returns its length, 17 for a
    // read request. out must hold 2 * (len - 2) + 5 characters.
    static int ModbusRTU2ASCII(uint8_t* out, const uint8_t* rtu, int len);
    // Characters back to bytes (from character 1 after a ':'); returns the bytes.
    static int ModbusASCII2RTU(uint8_t* out, const uint8_t* ascii, int len);
    static uint8_t GetCheckLrc(const uint8_t* buf, int n);

private:
    int Reads(ISerBase* channel, int address, int wait);  // on the current point's values

protected:
    void BriefText(char* out, size_t size, int state) override;
};
