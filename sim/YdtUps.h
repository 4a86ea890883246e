#pragma once
// YD/T 1363 UPS units laid on a YdtDevice from readings in the units people use, so a test or
// the simulator program sets "230.5 V" and the device answers the INFO its model sends.
//
//   qxsim::YdtDevice dev(1, 0x2A, 0x11);
//   qxsim::HipulseUps u;                  // a healthy unit
//   u.vin[0] = 0;                         // phase A lost
//   qxsim::SetHipulseUps(dev, u);
//
// The units of the APM150 family and the GXE likewise (SetApm150, SetITrust5k, SetGxe,
// SetAhpYdt), their figures at the columns they send them in.
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
// The Hipulse in trouble: state 1 on battery (mains and bypass gone) with its battery run down
// and its output overloaded; state 2 on its bypass (supply code 02) with the mains high and the
// load over the rating.
void AlarmHipulseUps(HipulseUps& u, int state);

// APM150 and iTrust units (VER 10, CID1 2A): CID2 41 (phase values), E1 (input frequency and
// bypass), E7 (battery), 44 (alarm bytes, F0 an alarm). Variant-0 units send the E1, E7 and
// 44 replies without the leading DATAFLAG byte, so their columns lie two (Tem: six) lower.
struct ApmFigures {
    float vin[3] = {220.5f, 221.5f, 222.5f};
    float vout[3] = {230.5f, 231.5f, 232.5f};
    float iout[3] = {10.5f, 11.5f, 12.5f};
    float vbatt = 272.5f, fout = 50.5f;
    float fin = 49.5f;                                              // E1
    float bypass = 219.5f, ved = 220.0f, vdc = 240.0f, fbypass = 50.0f;  // E1, after Fin
    float mbatt = 0.75f, tem = 25.5f;                               // E7
    uint8_t alarm[8] = {0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0};  // b7 .. b0
};
void SetApm150(YdtDevice& d, const ApmFigures& f, bool variant0);
// The APM150 in trouble: state 1 on battery with its battery low, overloaded, the room hot,
// a fan failed and the mains fuse blown (alarm bytes b7, b6, b3, b2, b1, b0 F0; no input);
// state 2 on its bypass after an emergency stop (b5, b4).
void AlarmApm(ApmFigures& f, int state);

// The iTrust 5K-10K unit (VER 21, CID1 2A): CID2 42 with raw 16-bit values, 44 with the
// alarm bytes at the columns of the APM150's nonzero-Variant reply.
struct ITrust5kFigures {
    uint16_t vin[3] = {2201, 2202, 2203}, vout[3] = {2211, 2212, 2213};
    uint16_t iout[3] = {101, 102, 103};
    uint16_t vbatt = 2720, fout = 500, fin = 499, bypass = 2190, v1 = 7, fbypass = 501;
    uint8_t alarm[8] = {0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0};
};
void SetITrust5k(YdtDevice& d, const ITrust5kFigures& f);
// The 5K-10K unit in trouble: state 1 on battery with its battery low (b0, b1; no input, no
// bypass), state 2 its output failed (b2; no output on any phase).
void AlarmITrust5k(ITrust5kFigures& f, int state);

// The GXE unit (VER 21, CID1 2A): CID2 42 with raw 16-bit (and three 8-bit) values, 43 with
// nine state bytes. Voltages and frequencies are in tenths, output currents and the load in
// hundredths.
struct GxeFigures {
    uint16_t vin[3] = {2300, 2301, 2302}, vout[3] = {2200, 2201, 2202};
    uint16_t iout[3] = {1050, 1051, 1052};
    uint16_t avin = 11, fout = 500, fin = 499, bv = 2720, bi = 15, rpout = 300;
    uint16_t apout = 4000, load = 4567, bp = 98, mbatt = 120, tem = 255;
    uint8_t ibatt = 3, userDefNum = 4;
    uint8_t state[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
};
void SetGxe(YdtDevice& d, const GxeFigures& f);
// The GXE in trouble (state 1): on battery, no input on any phase, the battery running down
// and the load high.
void AlarmGxe(GxeFigures& f, int state);

// The AHP unit over YD/T 1363: CID1 40 (input, state bytes, bypass and phase values of the
// data group asked for) and CID1 42 (output), at the VER the device was made with; it tells
// its VER to a version query (CID2 4F). The state bytes are 0 (no) or 1 (yes): by default no
// over-temperature, short circuit or bypass frequency fault, the bypass input present.
struct AhpYdtFigures {
    float vin[3] = {220.5f, 221.5f, 222.5f}, fin = 49.5f;  // 40/41
    float vout = 230.5f, iout = 10.5f;                    // 42/41
    uint8_t b7 = 0;                                       // 40/43
    uint8_t b6b2[5] = {0, 0, 0, 0, 1};                    // 40/44
    float v[4] = {219.5f, 231.5f, 232.5f, 11.5f}, fbypass = 50.5f;  // 40/46
};
void SetAhpYdt(YdtDevice& d, const AhpYdtFigures& f);
// The AHP in trouble: state 1 on battery (no input, no bypass: its frequency out) overloaded,
// with rectifier, inverter and room overheated; state 2 its inverter output shorted, the load
// on the bypass with the mains high (250 V, 52 Hz).
void AlarmAhpYdt(AhpYdtFigures& f, int state);

}  // namespace qxsim
