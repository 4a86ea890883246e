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

// Six-input switch module: input registers 0-2 hold the inputs one byte each (high byte of
// register 0 is the first); 0 closed, anything else open.
void SetOnOff(ModbusSlave& slave, const uint8_t inputs[6]);

// PD220-6 DIO module: input registers 0..11 are its twelve points (1 active, 0 not), which it
// answers one byte each: the slave is set to answer so (ModbusFault::BytePerRegister, standing).
// Its outputs 11 and 12 are written by function 8 to holding registers 0x40 and 0x41.
void SetPd2206(ModbusSlave& slave, const uint8_t points[12]);

// FD220 module: coil 0 is its discharge switch as read (the command writes coil 500, or 0
// with Variant 1).
void SetFd220(ModbusSlave& slave, bool on);

// RD230 module: discrete inputs 0..7 from the bits of `inputs` (a closed contact is a 0 bit).
void SetRd230(ModbusSlave& slave, uint8_t inputs);

// AD5DA5 analog module (also with curves): input registers 0..4 the inputs, holding
// registers 0..4 the outputs, counts 0..4095 for 0..10 V. Output writes (6, 16) land in the
// holding registers.
void SetAd5Da5(ModbusSlave& slave, const uint16_t inputs[5], const uint16_t outputs[5]);

// Distribution board: holding registers 1964..2035, breaker b of module m at 1964 + 3(m-1) +
// b - 1 (0 not connected, 1 open, 2 closed).
void SetMlanBoard(ModbusSlave& slave, const uint8_t breakers[72]);

// The sensors and I/O modules as a site has them. Each model's default is the sound device;
// its Alarm function lays what the device reports in trouble (state 1 "alarm", 2 "alarm2").
//
// A room's temperature/humidity sensor, in tenths: 25.3 C and 45.1 %. In alarm the room's
// cooling has failed: 41.5 C, and the relative humidity of its air down to 18.0 % (the same
// water in warmer air).
struct ThRoom {
    uint16_t tem = 253, hum = 451;
};
void AlarmThRoom(ThRoom& m, int state);

// The six-input switch module: every input closed (0). In alarm every contact is open.
struct OnOffModule {
    uint8_t in[6] = {0, 0, 0, 0, 0, 0};
};
void SetOnOff(ModbusSlave& slave, const OnOffModule& m);
void AlarmOnOff(OnOffModule& m, int state);

// The PD220-6 module: its six 220 V inputs powered, its dry contacts open, its outputs off.
// In alarm the mains feeding the six inputs is lost.
struct Pd2206Module {
    uint8_t points[12] = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};
};
void SetPd2206(ModbusSlave& slave, const Pd2206Module& m);
void AlarmPd2206(Pd2206Module& m, int state);

// The RD230 module: every contact open (each bit 1). In alarm every contact is closed.
struct Rd230Module {
    uint8_t inputs = 0xFF;
};
void SetRd230(ModbusSlave& slave, const Rd230Module& m);
void AlarmRd230(Rd230Module& m, int state);

// The AD5DA5 module with the room sensors of an animal house on its inputs (counts of 10 V /
// 4095): about 8 ppm of ammonia (26, 0.06 V), 25 degrees (410, 1.00 V), 50 % humidity (830,
// 2.03 V), 5 air changes (1507, 3.68 V) and a pressure difference of 25 (267, 0.65 V); its
// outputs at a quarter, half and full scale. In alarm the ventilation has stopped: ammonia
// at 45 ppm (156, 0.38 V), 33 degrees (580, 1.42 V), 85 % humidity (1266, 3.09 V), no air
// change (205, 0.50 V) and no pressure difference (102, 0.25 V).
struct Ad5Da5Module {
    uint16_t in[5] = {26, 410, 830, 1507, 267};
    uint16_t out[5] = {1024, 2048, 4095, 0, 0};
};
void SetAd5Da5(ModbusSlave& slave, const Ad5Da5Module& m);
void AlarmAd5Da5(Ad5Da5Module& m, int state);

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

// The AHP UPS: holding registers 100..140, read in one request of 41. Voltages, currents,
// frequencies and the temperature in whole units (the handler stores tenths); registers
// 137..139 carry the flag bits. The defaults are a unit on mains with its battery floating
// (20 blocks at 272 V): battery, mains and bypass input present (register 137 bits 0..2),
// no alarm.
struct AhpUpsRegs {
    uint16_t vin[3] = {220, 221, 222};      // 100..102
    uint16_t vout[3] = {230, 231, 232};     // 110..112
    uint16_t iout[3] = {10, 11, 12};        // 113..115
    uint16_t vbatt = 272, tem = 25, fin = 50, fout = 50;  // 119, 124, 125, 126
    uint16_t r137 = 0x0007, r138 = 0, r139 = 0;
};
void SetAhpUps(ModbusSlave& slave, const AhpUpsRegs& m);
// The AHP in trouble: state 1 on battery (mains and bypass gone, only the battery input
// present), its output overloaded, rectifier, inverter and room overheated, the bypass
// frequency out; state 2 its inverter output shorted, the load on the bypass with the mains
// high (250 V, 52 Hz).
void AlarmAhpUps(AhpUpsRegs& m, int state);

// A Link UPS: holding registers 170 input voltage, 171 input frequency, 172 output voltage,
// 173 output frequency, 174 output current, 175 load, 178 battery voltage, 180 temperature
// (as the handler stores them), and register 0 the alarm word.
struct LinkUps {
    uint16_t vin = 2200, fin = 500, vout = 2201, fout = 499, aout = 35, pout = 41;
    uint16_t vbatt = 2720, tem = 28;
    uint16_t alarms = 0;  // high byte bits 7, 6, 5, 3, 2: b4, b3, b2, b1, b0; low bits 2, 1, 0: b7, b6, b5
};
void SetLinkUps(ModbusSlave& slave, const LinkUps& u);
// The Link in trouble: state 1 on battery with its battery low, overloaded and hot, its fan
// locked and the bypass frequency unstable (no mains); state 2 on mains with its charger
// failed and the battery overcharged, the emergency stop pressed (no output).
void AlarmLinkUps(LinkUps& u, int state);

}  // namespace qxsim

namespace qxsim {

// Symmetra UPS: status in holding registers 0-4 (the flags the handler reads: register 0
// bit 3 bypass, register 1 bit 7 fault, register 3 bits 7, 6, 3, 2, 1, 0), measurements in
// holding registers 7-51 as the unit keeps them (tenths where the handler's rows divide by
// 10). The defaults are a unit on mains with a full battery.
struct SymmetraUps {
    uint16_t reg0 = 0, reg1 = 0, reg3 = 0;
    uint16_t pbatt = 1000, mbatt = 450, vbatt = 2730, fin = 500;
    uint16_t vin[3] = {2300, 2310, 2320};
    uint16_t vout = 2200, aout = 120, v2 = 0, aed = 0, v3 = 0, v4 = 0;
    uint16_t tem[2] = {250, 255};  // registers 47 and 49
};
void SetSymmetraUps(ModbusSlave& slave, const SymmetraUps& u);
// The Symmetra in trouble: state 1 on battery with its battery low (register 3 bits 7, 6 and
// the beeper, bit 0; no input), state 2 failed over to its bypass (register 0 bit 3, register 1
// bit 7, the beeper).
void AlarmSymmetraUps(SymmetraUps& u, int state);

// Galaxy 5000 three-phase UPS: measurements in holding registers 256-331 as the unit keeps
// them (whole units; the handler stores tenths), status bits in holding registers 64-79. The
// defaults are a unit on mains with a full battery (20 blocks floating at 272 V, 45 minutes
// left, 100 %): the system working and the engine on (register 64 bits 3 and 11), no alarm.
struct GalaxyUps {
    uint16_t iin[3] = {12, 13, 14}, ib[3] = {0, 0, 0}, iout[3] = {10, 11, 12};
    uint16_t vin[3] = {230, 231, 232}, vb[3] = {229, 229, 230}, vout[3] = {220, 220, 221};
    uint16_t vbatt = 272, fin = 50, fb = 50, fout = 50, mbatt = 45, tem = 25, pbatt = 100;
    uint16_t status[16] = {0x0808, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // 64-79
};
void SetGalaxyUps(ModbusSlave& slave, const GalaxyUps& u);
// The Galaxy in trouble: state 1 on battery (no mains, no bypass) with its battery low and
// hot, its output overloaded (register 64 bits 0, 2, 5; 66 bit 10; 79 bit 0); state 2 on its
// bypass after an inverter fault with the mains high, overloaded, the charger faulty (64 bit
// 2, 65 bit 6, 73 bit 0, 77 bit 5).
void AlarmGalaxyUps(GalaxyUps& u, int state);

}  // namespace qxsim

namespace qxsim {

// Air-conditioner control module: holding registers 0..8, two fields to a register (the
// high byte first on the wire), the two currents low byte first within their register.
// Writes (function 6) land in the registers and stay in the slave's request log.
struct AircDas {
    uint8_t workStatus = 1, workMode = 2, windSpeed = 3, tempSet = 26, humidity = 60,
            tempGet = 25;
    uint16_t currentGet = 300, currentSet = 800;
    uint8_t lowTemp = 16, highTemp = 32, switchTime = 5, ctrlMode = 1, brandA = 7, brandB = 17,
            brandC = 9, address = 1;
};
void SetAircDas(ModbusSlave& slave, const AircDas& m);
// A unit that tripped (state 1): off, the room at 38 degrees and 85 %.
void AlarmAircDas(AircDas& m, int state);

// In-row air-conditioner: input registers 21 (outlet), 22 (inlet), 45 (set temperature),
// tenths of a degree; holding registers 2 (running state) and 3 (fault flag). Its coil write
// carries the value field 0x0001: the slave is set to take it.
struct LcpDx {
    uint16_t outlet = 180, inlet = 265, tempSet = 220;
    uint16_t runSt = 1, fault = 0;
};
void SetLcpDx(ModbusSlave& slave, const LcpDx& m);
// A unit in fault (state 1): running state 2 (alarm), the fault flag set, inlet 38.0 C.
void AlarmLcpDx(LcpDx& m, int state);

// PLC-controlled precision air-conditioner: holding registers 200 (started), 203 (fault),
// 0 and 1 (temperature and humidity, tenths), 60 and 67 (the second pair).
struct PlcQsm50 {
    uint16_t started = 1, fault = 0, tem = 253, hum = 601, tem2 = 248, hum2 = 555;
};
void SetPlcQsm50(ModbusSlave& slave, const PlcQsm50& m);
// A unit in fault (state 1): stopped, the fault flag set, the room at 38.0 C.
void AlarmPlcQsm50(PlcQsm50& m, int state);

// K200 precision air-conditioner: holding registers 0..7: 0 unit status (nonzero on), 1 set
// temperature (tenths), 2 set humidity, 3 running bits in the low byte (bit 5 dehumidifier,
// 4 humidifier, 3 cooling, 2 heating, 1 fan), 4 return-air temperature (tenths), 5 return-air
// humidity, 6 probe faults in the low byte (bit 5 return temperature, 4 supply temperature,
// 3 return humidity, 2 outdoor temperature).
struct K200 {
    uint16_t status = 0x0100, setTemp = 220, setHum = 50, running = 0x0A, retTemp = 235,
             retHum = 48, probes = 0, reg7 = 0;
};
void SetK200(ModbusSlave& slave, const K200& m);
// A unit whose cooling stopped (state 1): only the fan running, return air at 32.0 C and
// 82 %.
void AlarmK200(K200& m, int state);

// A big-endian IEEE single in two holding registers, the high half in `reg` (the C7000's
// floats).
void SetFloatBE(ModbusSlave& slave, uint16_t reg, float value);

// The Stulz C7000 controller: its readings as floats in the holding registers the handler
// reads (2340 room temperature and humidity, 2348 set points, 2356, 2382 water, return,
// supply and outdoor values, 4478 limits, 10816, 12834, 12840, 13618) and the running
// state in coils 1013..1020 (bit i of runSt is coil 1013 + i).
struct StulzC7000 {
    float tem = 23.5f, hum = 45.0f;
    float temSet = 22.0f, temSetS = 1.0f, humSet = 50.0f, humSetS = 5.0f;
    float w[7] = {12.0f, 24.0f, 16.0f, 44.0f, 60.0f, 30.0f, 70.0f};  // 2382: TemW..HumO
    float limits[10] = {30, 20, 18, 12, 25, 5, 60, 80, 30, 20};       // 4478: values 0..9
    float dcs = 1.5f, dce = 2.5f;                                     // 10816
    float pump = 9.9f, gc = 8.8f;                                     // 11618, 10416
    float humDe[3] = {3.5f, 7.7f, 4.5f};                              // 13618
    float humIn = 6.0f, humInB = 6.5f;                                // 12834, 12840
    uint8_t runSt = 1;
};
void SetStulzC7000(ModbusSlave& slave, const StulzC7000& s);
// A unit in trouble (state 1): the room at 38.0 C and 82.0 %.
void AlarmStulzC7000(StulzC7000& s, int state);

}  // namespace qxsim

namespace qxsim {

// SCA air-conditioning unit: holding registers 1..36 as the unit keeps them. status is
// register 3 (bit 0 on, 14 alarm), alarms[k] register 6 + k (6..11); readings in tenths.
struct ScaAirc {
    uint16_t temRetSet = 240, humRetSet = 500, status = 0x0001;
    uint16_t temRet = 251, humRet = 452;
    uint16_t alarms[6] = {0, 0, 0, 0, 0, 0};
    uint16_t temSupSet = 180, humSupSet = 550, temSup = 183, humSup = 561, iHum = 25, cond = 40;
    uint16_t fanSpeed = 75;  // register 35
};
void SetScaAirc(ModbusSlave& slave, const ScaAirc& a);
// A unit in trouble, its alarm state bit set. State 1, overheating: return and supply air at
// 38.0 and 37.0 C, the high-temperature and -humidity, fan, compressor high-pressure,
// short-cycle and run-time, humidifier, high frequency and over-voltage, air-flow, filter,
// leak, group and smoke alarms, conductivity 65 and the fan at 95; state 2, too cold: 15.0 C
// and 20.0 %, the low-temperature and -humidity, compressor low-pressure, heater, power-down,
// phase, low frequency, under-voltage, phase-loss and remote-shutdown alarms.
void AlarmScaAirc(ScaAirc& a, int state);

// HST12 (variant other than 1) or HST26JF (variant 1): readings as floats in holding
// registers, most significant word first, and the status words of the map. HST12: prot in
// register 0, out 1, alarm 10, err 11; HST26JF: prot 12, out 13, alarm | err 14.
struct HstAirc {
    float temExtCoil = 30.5f, temInCoil = 12.25f, temIn = 23.46f, humIn = 55.0f;
    float temSet = 24.0f, humSet = 50.0f;
    uint16_t prot = 0, out = 0, alarm = 0, err = 0;
};
void SetHstAirc(ModbusSlave& slave, const HstAirc& a, int variant);
// A unit in trouble, in the words of the HST12 or the HST26JF map. State 1: high-pressure
// protection and compressor overload, the coil sensors failed, the outer coil at 45.0 C and
// the room at 39.0 C; state 2:
// phase error and low-pressure protection, the room sensors failed, 15.0 C and 30.0 %.
void AlarmHst12Airc(HstAirc& a, int state);
void AlarmHst26JfAirc(HstAirc& a, int state);

// HaiRuiFu: input registers 1 (temperature) and 2 (humidity) in tenths, 30..42 the alarm
// codes, discrete inputs 0..6 from `states` bits and 20..22 from `modes` bits.
struct HaiRuiFuAirc {
    uint16_t tem = 235, hum = 456;
    uint16_t alarms[13] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t states = 0x06, modes = 0x04;
};
void SetHaiRuiFuAirc(ModbusSlave& slave, const HaiRuiFuAirc& a);
// A unit in trouble, the common alarm set. State 1: fan overload, compressor high pressure,
// humidifier overload, fire, an acknowledged leak, high temperature and humidity, a broken
// temperature sensor (38.0 C, 80.0 %); state 2: compressor low pressure, heater overload,
// phase, low temperature and humidity (15.0 C, 18.0 %).
void AlarmHaiRuiFuAirc(HaiRuiFuAirc& a, int state);

// RDA: holding registers 0 humidity and 3 temperature, input registers 9 and 12 the set
// points, discrete inputs 14..18 from `states` bits 0..4 and the alarms by name.
struct RdaAirc {
    uint16_t tem = 262, hum = 540, temset = 220, humset = 500;
    uint8_t states = 0x1F;
    bool gsbj = false, dsbj = false, gwbj = false, dwbj = false, yhbj = false, sjbj = false;
};
void SetRdaAirc(ModbusSlave& slave, const RdaAirc& a);
// A unit in trouble. State 1: high humidity and temperature and smoke, the compressors
// stopped, 39.0 C and 82.0 %; state 2: low humidity and temperature and water on the floor,
// 15.0 C and 30.0 %.
void AlarmRdaAirc(RdaAirc& a, int state);

// Canatal at its reference numbers: coil 1 the unit's status, discrete inputs 10001..10007
// from `s` bits 0..6 and 10021..10024 from `r` bits 0..3, input registers 30002 and 30003,
// holding registers 40015 and 40019.
struct CanatalAirc {
    bool on = true;
    uint8_t s = 0x06, r = 0x05;
    uint16_t tem = 245, hum = 513, temset = 230, humset = 500;
};
void SetCanatalAirc(ModbusSlave& slave, const CanatalAirc& a);
// A unit in trouble (state 1): its alarm inputs set, the compressor stopped, 38.0 C.
void AlarmCanatalAirc(CanatalAirc& a, int state);

}  // namespace qxsim
