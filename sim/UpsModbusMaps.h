#pragma once
// Register maps of the Modbus RTU UPS units that the dedicated UPS handlers poll, laid on a
// ModbusSlave from one set of readings, so a test or the simulator program sets "230.0 V" once
// and each model holds it where its registers are.
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::UpsReadings r;
//   r.vin1 = 2300;                      // tenths of a volt, as the registers hold it
//   qxsim::SetUpsGx(slave, r);
//   qxsim::PtySim pty;
//   qxsim::ServeModbusRtu(pty, slave);
//   pty.Start();
//
// Values are the register words the handlers store unchanged; where a model keeps a value in
// other units the function says so.
#include <stdint.h>

#include "ModbusSlave.h"

namespace qxsim {

// A single-phase UPS (three input phases; the output phases of a three-phase output in vout,
// v2, v3 and aout, aed, v4).
struct UpsReadings {
    uint16_t vin1 = 0, vin2 = 0, vin3 = 0, fin = 0;
    uint16_t vout = 0, aout = 0, fout = 0, pout = 0, tem = 0;
    uint16_t vbatt = 0, pbatt = 0, mbatt = 0;
    uint16_t ved = 0, aed = 0, vaed = 0, vdc = 0, fed = 0;
    uint16_t v2 = 0, v3 = 0, v4 = 0;
};

// The readings of a UPS in trouble, in the units of `r` (tenths): state 1 on battery with its
// battery low (no input and no input frequency, the battery down to 10.5 V a block from 13.6,
// 15 % and a tenth of its time left, the unit warm); state 2 on its bypass (its inverter
// failed) with the mains out of tolerance, 250 V at 48.5 Hz, which the output follows.
void AlarmUpsReadings(UpsReadings& r, int state);

// GX: holding registers 13..56 (input register 81 answers the check read).
void SetUpsGx(ModbusSlave& slave, const UpsReadings& r);

// HR7000: input registers 1..53; `fault` goes to fault word 58 (words 59..66 stay 0).
void SetUpsHr7000(ModbusSlave& slave, const UpsReadings& r, uint16_t fault = 0);
// The HR7000's fault word in trouble: a fault code in state 1, none otherwise.
uint16_t AlarmUpsHr7000Fault(int state);

// IPGuard: input registers 25..75, and the 21 inputs 17..37 (inputs[k] is input 17 + k). The
// slave answers function 2 with one byte per input, as this UPS does (a standing fault of the
// slave: ClearFault ends it, one-shot faults go before it).
void SetUpsIpGuard(ModbusSlave& slave, const UpsReadings& r, const bool inputs[21]);
// The IPGuard's inputs in trouble: state 1 on battery (input fault) overloaded and hot, its
// bypass failed, a composite state input of each group set (inputs 17, 18, 20, 21, 23, 31);
// state 2 its output failed and off (inputs 19, 22) after the mains went out of tolerance.
void AlarmUpsIpGuardInputs(bool inputs[21], int state);

class Device;
// Serves the IPGuard on a device: Modbus RTU, and the beeper command "Q\r", which the UPS takes
// without answer (the device's request log shows it). A request starting with 'Q' is that
// command, so this simulator has no Modbus unit 81.
void ServeUpsIpGuard(Device& device, ModbusSlave& slave);

// 9E over Modbus: input registers 257..338 and the status inputs; bits holds b7..b0 as bits
// 7..0: b7, b6, b5, b4, b3 are inputs 1128, 1130..1133, b2 input 1169 (which the handler also
// reads for b0), b1 input 1218. fin and fout in tenths (the registers' units).
void SetUps9E(ModbusSlave& slave, const UpsReadings& r, uint8_t bits);
// The 9E's status bits (b7..b0 as bits 7..0) in trouble: state 1 on battery (the bypass
// abnormal in every respect, the rectifier without input: b7, b6, b5, b4, b1), state 2 its
// inverter failed and the load on the bypass, the charger faulty (b3, b2, b0).
uint8_t AlarmUps9EBits(int state);

// A three-phase UPS: per phase input and output voltage, current and frequency (hundredths of
// a hertz, as the HTxx registers hold it), the battery, and sixteen status words b15..b0.
struct UpsExReadings {
    uint16_t vin[3] = {0, 0, 0}, iin[3] = {0, 0, 0}, fin[3] = {0, 0, 0};
    uint16_t vout[3] = {0, 0, 0}, iout[3] = {0, 0, 0}, fout[3] = {0, 0, 0};
    uint16_t vbatt = 0, tem = 0, mbatt = 0, pbatt = 0;
    uint16_t states[16] = {0};  // states[0] is b15, states[15] b0
};

// HTxx: holding registers 13..56 and input registers 83..113.
void SetUpsHtxx(ModbusSlave& slave, const UpsExReadings& r);
// The HTxx in trouble: state 1 on battery (no input) to its end of discharge, overloaded
// and hot, with the faults that come with a lost mains (AC input, bypass, neutral, the
// redundancy; words b12, b10, b9, b7, b5, b3, b1); state 2 its output shorted, the load on the
// bypass with the mains high (250 V, 52 Hz) and overloaded, the emergency stop pressed, the
// battery reversed, a bypass fan failed and the end-of-discharge system inhibited (b13, b8,
// b4, b2, b0).
void AlarmUpsHtxx(UpsExReadings& r, int state);

}  // namespace qxsim
