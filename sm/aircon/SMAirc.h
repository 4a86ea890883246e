#pragma once
#include <stddef.h>
#include <stdint.h>

#include "aircon/AircShape.h"

// Comfort air-conditioner controller: the default handler of its category (type 0x700, every
// code of the category without a driver of its own). One RS-485 controller drives two units
// by infrared and reports, per unit, supply and return air temperature, set temperature and
// its limits, current and its limits, working status and exception code, plus two digital
// inputs and two outputs.
//
// Wire: Modbus RTU framing (address, function, CRC low byte first) with register words sent
// low byte first. Function 4 reads the record, the vendor function 9 one further byte;
// vendor functions 11 and 8 take commands, whose frames carry no byte count (ModBusCmdN).
class CSMAirc : public CSMAircShape {
public:
    CSMAirc();
    ~CSMAirc() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // command: function in bits 16..23, register in bits 0..15; buffer: an int, the value.
    // Register 42 takes three bytes (function of the command, 11 when 0), registers above 63
    // one byte with function 8; other registers are no command of this device (0).
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

    // Command frame in m_cmd: address, function, register (high byte first), n (high byte
    // first), the n data bytes, CRC low byte first; no byte count. Returns n + 8, or 0 when
    // the frame would not fit m_cmd or data is missing.
    int ModBusCmdN(int address, int function, int reg, int n, const uint8_t* data);

protected:
    void BriefText(char* out, size_t size, int state) override;
    void FixUp() override;
};
