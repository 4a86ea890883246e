#pragma once
// The electricity meters of the meter handler's models 1 to 34, laid on a ModbusSlave from one
// reading: each model keeps the reading in its own registers (integers in its own units,
// IEEE singles high or low word first, 64-bit counters), so that a test or the simulator
// program sets "220.0 V" once and every model's meter holds it the way that model does.
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::MeterReading r = qxsim::MeterReading::Typical();
//   uint32_t laid = qxsim::SetMeterModel(slave, 16, r);   // bit f - 1: field f readable
//   qxsim::PtySim pty;
//   qxsim::ServeModbusRtu(pty, slave);                     // model 13: ServeModbusTcp
//
// A field is "readable" when the meter holds it in a register the handler reads and in a
// scale that the handler turns back into exactly the reading's value. Fields the model does
// not have, values that its registers cannot hold (a 16-bit register of 1/10000 Hz cannot
// hold 50 Hz) and values the handler takes unscaled (apparent powers of models 29 and 31,
// which the meter keeps in kVA) are laid as the meter would or left out, and their bit is
// clear.
#include <stdint.h>

#include "ModbusMaps.h"
#include "ModbusSlave.h"

namespace qxsim {

// The 24 values in the handler's field order and stored units: energy in Wh; powers in W,
// var and VA (total, then phases A, B, C); power factors in thousandths; frequency in
// hundredths of a hertz; voltages in tenths of a volt; currents in hundredths of an ampere.
struct MeterReading {
    enum Field {
        kYgzdn = 1,
        kZyggl, kAyggl, kByggl, kCyggl,
        kZwggl, kAwggl, kBwggl, kCwggl,
        kZszgl, kAszgl, kBszgl, kCszgl,
        kZglys, kAglys, kBglys, kCglys,
        kPl,
        kAdy, kBdy, kCdy,
        kAdl, kBdl, kCdl,
        kFields = kCdl
    };
    int32_t v[kFields] = {};
    int32_t& operator[](int field) { return v[field - 1]; }
    int32_t operator[](int field) const { return v[field - 1]; }

    // A balanced three-phase load of about 10 kW on 220 V mains, every value chosen so that
    // each model's registers hold it exactly where they can: 1234.000 kWh, P 3.3/3.4/3.5 kW,
    // Q 0.5/0.6/0.7 kvar, S 3.4/3.5/3.6 kVA, PF 0.950 everywhere, 50.00 Hz, 220.0/221.0/222.0
    // V, 15.00/15.10/15.20 A.
    static MeterReading Typical();
};

// The reading of a sound meter of the model (1 to 34): Typical() where the model's registers
// hold its currents. Model 7 keeps whole amperes: 15 A on every phase. The current registers
// of models 19 and 33 hold at most 6.5535 A (a meter on the secondary of 5 A current
// transformers, its multiplier not set): 5.00/5.10/5.20 A at the same voltages, P
// 1045/1071/1097 W, Q 343/352/360 var, S 1100/1127/1154 VA, the same power factor,
// frequency and energy.
MeterReading SoundMeterReading(int model);

// The reading of the model's meter in trouble (0 to 34; the device state "alarm"): its sound
// reading with a phase lost. That phase's voltage, current and powers read 0 and so does its
// power factor; the totals are those of the phases left; the frequency and the energy stay.
// The three-phase models lose phase C, the single-phase ones (12, 26, 30) their one phase A:
// the meters keep answering on their auxiliary supply.
MeterReading AlarmMeterReading(int model);

// The registers of the default model's meter (model 0, ratios PT = CT = 100: voltages and
// currents in hundredths, powers in watts) holding a reading: its totals are three times
// their registers, the energy is counted in 1/12000 of PT x CT. Phase reactive and apparent
// powers and power factors it has none of.
HcMeter HcMeterOf(const MeterReading& r);

// Lays the reading on the registers of the model (0 to 34) and answers the readable fields
// (bit f - 1 for field f); from then on the slave serves only the registers that model's
// meter has. Registers the model reads that carry no value of the reading are
// set as the model's meter keeps them (ratios of 1, range registers, current codes). Models
// with Ext1/Ext2 scales are laid for Ext1 0; model 1's energy for Ext2 10 and model 4's for
// Ext2 1, the settings that take the count as it stands. Model 0: SetHcMeter. Other numbers
// lay nothing and answer 0.
uint32_t SetMeterModel(ModbusSlave& slave, int model, const MeterReading& reading);

// Models whose meter speaks Modbus TCP (MBAP framing): 13.
bool MeterModelTcp(int model);

// An IEEE single in two registers: high word first at reg (f32), or low word first (wf32).
void SetMeterFloat(ModbusSlave& slave, int kind, uint16_t reg, float value, bool lowWordFirst);

}  // namespace qxsim
