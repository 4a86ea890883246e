#pragma once
// Register maps of the power-plant controllers and the single-phase meter that the dedicated
// handlers poll, laid on a ModbusSlave from readings in the units the handlers store, so a
// test or the simulator program sets "phase A 200 C" and the device holds the raw registers
// its model holds (temperatures offset by 40, 32-bit values offset by 2,000,000,000, power
// factors in the top two bits of a register, coils and inputs as status bits).
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::Transformer t;
//   t.tem[0] = 85;
//   qxsim::SetTransformer(slave, t);
#include <stdint.h>

#include "ModbusSlave.h"

namespace qxsim {

// Transformer temperature controller: coils 0-3 the state bits (sensor, fan, alarm, trip),
// input registers 0-3 the temperatures of phases A, B, C and the core as degrees + 40. A
// faulty sensor reads rawFault (above 240) instead.
struct Transformer {
    int tem[4] = {65, 66, 67, 50};         // degrees C, -40 to 200
    bool fault[4] = {false, false, false, false};
    uint16_t rawFault = 0xFFFF;
    bool sensor = false, fan = true, alarm = false, trip = false;
};
void SetTransformer(ModbusSlave& slave, const Transformer& t);
// The controller in trouble. State 1 ("alarm"): the windings overheated, phases A and C past
// the trip point (172, 168, 171 C, the core 155 C), the alarm and trip outputs set, the fan
// running. State 2 ("alarm2"): the sensor cable off, every sensor reading its fault and the
// controller's sensor-fault bit set, the fan running as a precaution.
void AlarmTransformer(Transformer& t, int state);

// Generator SCADA interface: holding registers 101-116, 128-141, 199-201 and 300. Powers as
// 32-bit values plus 2,000,000,000 (high register first), power factors as their code
// (-1000, 0, 1000, 2000) in the top two bits, voltages in volts (stored x10), currents in
// amperes (stored x100), the frequency x128 / 10 of its tenths of a hertz, the coolant
// temperature in 1/32 K, the oil pressure in 1/8 units, the battery voltage in 1/20 V.
struct PowScada {
    int32_t p = 15000;                      // total power (105-106)
    int32_t q = -2000, qPhase[3] = {-600, -700, -700};  // reactive (140-141; 128-133)
    int pf = 1000, pfPhase[3] = {1000, 0, 1000};        // 102; 134-136
    uint16_t volts[3] = {230, 231, 229};    // 113-115
    uint16_t amps[3] = {21, 22, 20};        // 110-112
    uint16_t plTenths = 500;                // 101: 50.0 Hz
    uint16_t oilTemRaw = 11296;             // 200: 80 C
    uint16_t oilPreRaw = 400;               // 199
    uint16_t vbattRaw = 540;                // 201: 27 V
    uint16_t autoOnOff = 1;                 // 300
};
void SetPowScada(ModbusSlave& slave, const PowScada& s);
// The generator set in trouble ("alarm"): phase C lost (no voltage, no current, the power
// that of phases A and B), the oil pressure down to 20 units (raw 160), the coolant at 12 C
// (its heater failed on a cold start).
void AlarmPowScada(PowScada& s, int state);

// DC power system monitor: input registers 256-274 (voltages and currents in tenths, as the
// handler stores them), discrete inputs 256-260 (AC, DC, battery, module, branch faults) and
// 304-305 (over- and under-voltage), input registers 408/409, 438/439, 468/469, 498/499 the
// four battery groups. The defaults: two 380 V three-phase inputs (line voltages), a 53.5 V
// bus carrying 18.6 A of load, about 1.1 kW drawn from the mains.
struct Fbjk {
    uint16_t ac1[3] = {3800, 3810, 3790}, ac2[3] = {3805, 3795, 3800};  // 256-261
    uint16_t amps[3] = {17, 18, 16};        // 262-264
    uint16_t tem = 25, dymp = 535, dlfc = 186;  // 272-274
    uint8_t faults = 0;                     // bits 0-4: inputs 256-260
    uint8_t dcLimits = 0;                   // bits 0-1: inputs 304-305
    uint16_t batt[4][2] = {{535, 25}, {536, 26}, {534, 24}, {535, 25}};
};
void SetFbjk(ModbusSlave& slave, const Fbjk& f);
// The DC system in trouble. State 1 ("alarm"): both mains inputs lost, the rectifiers down,
// the load on the battery groups whose bus sinks to 47.0 V: the AC, DC, battery, module and
// branch faults and the under-voltage set. State 2 ("alarm2"): the mains back, a rectifier
// module faulty and the bus pushed to 58.5 V (over-voltage) while the batteries recharge
// hard: 26.2 to 26.5 A per phase from the mains, 26.8 A of load.
void AlarmFbjk(Fbjk& f, int state);

// Generator-set controller: coils 0-87 (bit k of coils[k / 8]), holding registers 0-34. The
// defaults: no alarm coil set (0-3 the common alarm, shutdown, warning and trip); coils 63,
// 80, 81, 84 and 86 on.
struct Hgm {
    uint8_t coils[11] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0x53};
    uint16_t regs[35] = {};
    Hgm() {
        regs[6] = 400;  // line voltages AB, BC, CA
        regs[7] = 401;
        regs[8] = 399;
        for (int r = 0; r < 35; r++)
            if (r < 6 || r > 8) regs[r] = (uint16_t)(1000 + r);
    }
};
void SetHgm(ModbusSlave& slave, const Hgm& h);
// The set stopped on a fault ("alarm"): the common alarm, shutdown, warning and electrical
// trip coils (0-3) on, the line voltages 0.
void AlarmHgm(Hgm& h, int state);

// Single-phase meter HC-311A: holding registers 2, 3, 16, 17 the factors, input registers
// 0-7 the instantaneous values, holding registers 64-79 eight 32-bit counters (high register
// first), coil 0 the relay (a function 15 write switches it). The defaults: factors 1 and 100
// (KU = KI = 100, K = 10000: voltage and current in hundredths, powers in W), 220.0 V and
// 5.0 A, 1.1 kW, 31.5 C, 1000 kWh forward active energy.
struct Hc311a {
    uint16_t ku1 = 1, ki1 = 1, ku2 = 100, ki2 = 100;
    uint16_t u = 22000, i = 500;           // /1000 x KU1 x KU2, /1000 x KI1 x KI2
    int16_t p = 1100, q = -200;            // /10000 x K
    uint16_t s = 1120;
    int16_t pf = 9800;                     // /10
    uint16_t f = 5000;
    int16_t tem = 315;                     // tenths of a degree
    uint32_t counters[8] = {1200000, 0, 24000, 12000, 1200000, 0xFFFFFFFFu, 36000, 12000};  // /12000 x K
    bool relay = true;
};
void SetHc311a(ModbusSlave& slave, const Hc311a& m);
// The meter on an overloaded circuit ("alarm"): 12.5 A at 220.0 V, 2.75 kW.
void AlarmHc311a(Hc311a& m, int state);

}  // namespace qxsim
