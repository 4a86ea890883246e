#pragma once
#include "aircon/AircShape.h"

// SCA air-conditioning unit. Type 0x81B. One Modbus RTU read (function 3, registers 1..36)
// gives four set points, seven measured words and seven bit-mapped status and alarm words,
// stored as 67 unsigned values in tbCyberSCA.
class CSMCyberSCA : public CSMAircShape {
public:
    CSMCyberSCA();

protected:
    void BriefText(char* out, size_t size, int state) override;
};
