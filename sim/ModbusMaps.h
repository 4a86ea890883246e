#pragma once
// Register maps of the Modbus RTU devices that the dedicated handlers poll, laid on a
// ModbusSlave from readings in the units people use, so a test or the simulator program sets
// "23.5 C" and the device holds the registers its model holds.
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::SetThSensor(slave, 1, 235, 450);   // Variant 1: input registers, temperature first
//   qxsim::PtySim pty;
//   qxsim::ServeModbusRtu(pty, slave);
//   pty.Start();
#include <stdint.h>

#include "ModbusSlave.h"

namespace qxsim {

// Temperature/humidity sensor: registers 0 and 1, both in tenths. The variant selects the
// register kind and order as the handler expects them: 0 holding, humidity first;
// 1 input, temperature first; 2 holding, temperature first; 3 input, humidity first.
void SetThSensor(ModbusSlave& slave, int variant, uint16_t temTenths, uint16_t humTenths);

// PM2.5 dust sensor: holding register 3 holds the reading in ug/m3.
void SetDustSensor(ModbusSlave& slave, uint16_t pm);

// A meter of model 0: ratios in holding registers 2 (PT) and 3 (CT), the energy count in
// 64-65, the three-phase block in holding registers 192-206 and the single-phase block in
// input registers 0-6. The handler stores PT * CT * energy / 12000 Wh, PT * U / 1000 tenths
// of a volt, CT * I / 100 hundredths of an ampere, and powers as PT * CT * register / 10000
// (times 3 for the three-phase totals).
struct HcMeter {
    uint16_t pt = 1, ct = 1;
    uint32_t energy = 0;
    uint16_t u[3] = {0, 0, 0};   // phase voltages (registers 192-194; single-phase: input 0)
    uint16_t i[3] = {0, 0, 0};   // phase currents (195-197; input 1)
    int16_t p = 0, q = 0;        // total active and reactive power (198, 199; input 2, 3)
    uint16_t s = 0;              // total apparent power (200; input 4)
    uint16_t pf = 0;             // power factor (201; input 5)
    uint16_t f = 0;              // frequency, hundredths of a hertz (202; input 6)
    int16_t pa[3] = {0, 0, 0};   // phase active power (204-206)
};
void SetHcMeter(ModbusSlave& slave, const HcMeter& m);

}  // namespace qxsim
