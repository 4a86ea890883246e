#pragma once
#include <stddef.h>
#include <stdint.h>

#include "aircon/AircShape.h"

// Sunrise precision air-conditioner. Type 0x810. The point's Variant chooses the protocol:
// 1 the vendor's GOS ASCII protocol (a status request and two set-point reads), any other
// value Modbus RTU (one read of holding registers 1..8). Both give the return-air
// temperature and humidity, the set points, five running states and 25 alarm flags.
class CSMCyberSunrise : public CSMAircShape {
public:
    CSMCyberSunrise();
    ~CSMCyberSunrise() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int DataGet_GOS(ISerBase* channel, int address, int wait);
    int DataGet_Modbus(ISerBase* channel, int address, int wait);

    // A GOS request: STX, the command characters, the address as two upper-case hexadecimal
    // characters, ETX ("L" status, "R" with "03" or "04" a read). Returns its length; 0 for an
    // address of more than one byte or a buffer of fewer than 8 bytes.
    static int GosCmd(uint8_t* out, size_t size, char command, const char* arg, int address);
    // Decodes a GOS status reply of n characters; 0 (nothing changed) when it is too short.
    int GosStatus(const uint8_t* reply, int n);
    // Decodes the eight registers of a Modbus reply (data: the first register's high byte).
    void ModbusRegs(const uint8_t* data);

protected:
    void BriefText(char* out, size_t size, int state) override;
};
