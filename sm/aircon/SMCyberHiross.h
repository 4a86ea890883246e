#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// Hiross precision air-conditioner over Modbus RTU. Type 0x80D. Each poll reads three blocks
// of holding registers, 100 ms apart: 16..34 (status word, running states, temperature and
// humidity; required), 48..53 and 112..121 (read when the unit answers them; otherwise the
// point keeps its earlier values). It keeps 42 unsigned 16-bit values: the 35 registers and
// bits 0..6 of the status word. No command.
class CSMCyberHiross : public CSMAircShape {
public:
    CSMCyberHiross();

protected:
    void BriefText(char* out, size_t size, int state) override;
};
