#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// Control module fitted to one comfort air-conditioner (type 0x701). It reports working
// status and mode, fan speed, set temperature, room humidity and temperature, current
// readings, temperature limits, switching time, control mode, three brand codes and its
// address, packed two to a register, and takes writes of single registers.
//
// Wire: Modbus RTU, function 3 registers 0..8 to read, function 6 to write a register. A
// write command names a register and one of its bytes; the other byte is taken from a fresh
// reading of the module, so a command whose reading fails writes nothing.
class CSMAircDAS : public CSMAircShape {
public:
    CSMAircDAS();
    ~CSMAircDAS() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // command: register * 16 + byte (0 low, 1 high) of a write, or 145, the read of the
    // working status (one byte stored at buffer). buffer: an int whose low 8 bits are the
    // value. 1 when the module answered the command.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

protected:
    void BriefText(char* out, size_t size, int state) override;
    void FixUp() override;
};
