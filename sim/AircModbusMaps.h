#pragma once
// Register and coil maps of the Modbus RTU precision and in-row air-conditioners that the
// dedicated handlers poll (GI, GT, PeX, Hiross, Matrix, Station), laid on a ModbusSlave from
// the readings as the units keep them (temperatures and humidities in tenths).
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::LineGi gi;
//   gi.hfwd = 245;                        // 24.5 C return air
//   gi.faults[0] = true;                  // coil 23, filter clogged
//   qxsim::SetLineGi(slave, gi);
//   qxsim::PtySim pty;
//   qxsim::ServeModbusRtu(pty, slave);
//   pty.Start();
#include <stdint.h>

#include "ModbusSlave.h"

namespace qxsim {

class Device;

// GI: holding registers 4 (supply air), 5 (return air), 6 (return humidity), 15 (temperature
// set point), 27 (humidity set point), 133 (unit state); fault coils 23-25, 30, 31, 37-41,
// 49-55, 57, 62-66 (faults[k] is the k-th of them in that order).
struct LineGi {
    uint16_t sfwd = 180, hfwd = 245, hfsd = 505, wdset = 240, sdset = 500, state = 1;
    bool faults[23] = {};
};
void SetLineGi(ModbusSlave& slave, const LineGi& m);
extern const uint16_t kLineGiCoils[23];
// A unit in trouble, 38.0 C return air. State 1: the filter, supply fan, smoke, return probe,
// run time, discharge, inverter, pressure difference, compressor current and overload,
// supply over-voltage, motor and inverter temperature, inverter current, start, high
// evaporating and condensing faults; state 2: low pressure, supply under-voltage, low
// superheat, low evaporating and suction temperatures.
void AlarmLineGi(LineGi& m, int state);

// GT: holding registers 1-7 (return air, return humidity, supply air, two temperature and two
// humidity set points) and 129 (unit state); fault coils 2-5, 8-14 and 37 (faults[k] in that
// order).
struct LineGt {
    uint16_t hfwd = 240, hfsd = 480, sfwd = 180, wdset = 230, wdset2 = 250, sdset = 500,
             sdset2 = 550, state = 1;
    bool faults[12] = {};
};
void SetLineGt(ModbusSlave& slave, const LineGt& m);
extern const uint16_t kLineGtCoils[12];
// A unit in trouble (state 1): every fault coil set, 38.0 C return air.
void AlarmLineGt(LineGt& m, int state);

// PeX over Modbus. Variant 1: holding registers 3 (return temperature), 4 (return humidity),
// 60-63 (temperature set point, supply temperature, humidity set point, dehumidifier). Any
// other variant: discrete inputs 10 (unit), 24 (fan), 25 (compressor), 28 (heater),
// 29 (humidifier), 30 (dehumidifier), read one byte per input as this unit answers them;
// input registers 15 (ds), 109-111 (return temperature, temperature set point, supply
// temperature), 129-130 (return humidity, humidity set point).
struct Pex {
    bool unit = true, fj = true, zl = true, jrq = false, jsq = false, csj = false;
    uint16_t ds = 3;
    int16_t rTem = 235, sTem = 180, temset = 240, rHum = 450, humset = 500;
};
void SetPex(ModbusSlave& slave, const Pex& m, int variant);
// A unit whose compressor stopped (state 1): supply air 39.0 C, return air 39.5 C.
void AlarmPex(Pex& m, int state);

// Hiross: holding registers 16-34 (r[0] the status word whose bits 0-6 are the flags), 48-53
// and 112-121.
struct Hiross {
    uint16_t r[19] = {0x0001, 1, 0};
    uint16_t st[6] = {};
    uint16_t v[10] = {};
    Hiross() { r[17] = 235; r[18] = 480; }
};
void SetHiross(ModbusSlave& slave, const Hiross& m);
// A unit stopped on its faults (state 1): the buzzer, fault, total-stop, CRC, parameter and
// second fault flags set, the running flag clear, the room at 40.0 C and 80.0 %.
void AlarmHiross(Hiross& m, int state);
// Serves the Hiross on a device. A unit without the second and third blocks (firstBlockOnly)
// answers only the read of 16-34 and stays silent to every other request.
void ServeHiross(Device& device, ModbusSlave& slave, bool firstBlockOnly);

// Matrix: holding registers 1 (humidity), 4 (temperature), 10 and 13 (set points); coils
// 14-19, 25, 31-34, 61, 63, 64 (coils[k] is the k-th of them, in field order fj .. lfj2gz).
struct Matrix {
    uint16_t tem = 235, hum = 480, settem = 240, sethum = 500;
    bool coils[14] = {true, true};
};
void SetMatrix(ModbusSlave& slave, const Matrix& m);
extern const uint16_t kMatrixCoils[14];
// A unit stopped on its overloads (state 1): fan, compressors, heaters and condenser fans
// overloaded, nothing running, the room at 40.0 C and 80.0 %.
void AlarmMatrix(Matrix& m, int state);

// Station. Any variant but 1: alarm coils 8-11, 18, 26 (alarms[k] in field order gsbj ..
// fj2gz), state coils 127-135 (states[k]: fj, ys1, ys2, jr1, jr2, cs, js, lfj1, lfj2), holding
// registers 652-653 (set points), 704 (temperature), 705 (humidity). Variant 1: alarm coils
// 9-12 (alarms[0..3]; the fan overloads lie beyond the coils its poll reads), coil 128 fan,
// 129 heaters (states[3]), 130 compressors (states[1]), 131 humidifier (states[6]); holding
// registers 2-3 (set points), 703 (humidity), 704 (temperature).
struct Station {
    uint16_t temset = 240, humset = 500, tem = 235, hum = 480;
    bool states[9] = {true, true, true};
    bool alarms[6] = {};
};
void SetStation(ModbusSlave& slave, const Station& m, int variant);
// A unit in trouble. State 1: high humidity and temperature (38.0 C, 80.0 %), both fans
// overloaded; state 2: low humidity and temperature (15.0 C, 25.0 %).
void AlarmStation(Station& m, int state);

}  // namespace qxsim
