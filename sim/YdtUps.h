#pragma once
// YD/T 1363 UPS units laid on a YdtDevice from readings in the units people use, so a test or
// the simulator program sets "230.5 V" and the device answers the INFO its model sends.
//
//   qxsim::YdtDevice dev(1, 0x2A, 0x11);
//   qxsim::HipulseUps u;                  // a healthy unit
//   u.vin[0] = 0;                         // phase A lost
//   qxsim::SetHipulseUps(dev, u);
#include <stdint.h>

#include "YdtDevice.h"

namespace qxsim {

// Hipulse U series (VER 11, CID1 2A): CID2 41 (DATAFLAG, then floats: input and output
// voltages and currents per phase, battery voltage, output frequency), E1 (input currents
// from column 41, input frequency at 65, bypass voltages from 81, bypass frequency at 105),
// E3 (remaining battery time at 113) and 43 (the state code of b15 at 13, then b14 .. b0 from
// 17, two characters each). A state code of 0x100 or more is sent as two blanks.
struct HipulseUps {
    float vin[3] = {230.5f, 231.0f, 229.5f}, vout[3] = {220.0f, 220.5f, 219.5f};
    float iout[3] = {10.5f, 11.0f, 11.5f}, vbatt = 272.5f, fout = 50.0f;
    float iin[3] = {12.0f, 12.5f, 13.0f}, fin = 49.9f, vb[3] = {229.0f, 229.5f, 230.0f};
    float fb = 50.1f, mbatt = 45.0f;
    unsigned state[16] = {0x01, 0xE1, 0xE0, 0xE1, 0xE0, 0xE1, 0xE1, 0xE0,
                          0xE1, 0xE1, 0xE0, 0xE2, 0xE1, 0xE0, 0xE0, 0xE0};  // b15 .. b0
};
void SetHipulseUps(YdtDevice& dev, const HipulseUps& u);

}  // namespace qxsim
