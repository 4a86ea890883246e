#pragma once
// The precision air-conditioners that answer YD/T 1363 (VER 21 or 20, CID1 60), laid on a
// YdtDevice: each setter writes the INFO of every command the unit answers, its values at the
// characters its model sends them at ('0' elsewhere). The DME3000's Modbus RTU map is laid on
// a ModbusSlave.
//
//   qxsim::YdtDevice dev(1, 0x60, 0x21);
//   qxsim::EmersonUnit u;                 // a running unit, 23.5 C, 45.0 %
//   u.alarms[3] = '1';                    // one alarm character
//   qxsim::SetEmerson(dev, u);
//
// A reply whose INFO ends early is made by cutting what a setter gave:
//   dev.SetInfo(0x42, qxsim::EmersonInfo(u, 0x42).substr(0, 20));
#include <stdint.h>

#include <string>

#include "ModbusSlave.h"
#include "YdtDevice.h"

namespace qxsim {

// Emerson (VER 21): CID2 42 seven 4-character values, 47 twelve, 82 the unit's state at 13
// and 18 switch states from 15 (two characters each), 85 the 22 alarm characters at 15-36.
struct EmersonUnit {
    uint16_t analogue[7] = {235, 450, 2200, 2210, 2220, 35, 500};
    uint16_t params[12] = {300, 240, 10, 50, 5, 10, 350, 150, 800, 200, 300, 180};
    uint8_t status = 1;
    uint8_t sw[18] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    char alarms[23] = "0000000000000000000000";
};
std::string EmersonInfo(const EmersonUnit& u, int cid2);
void SetEmerson(YdtDevice& dev, const EmersonUnit& u);
// A unit in trouble (state 1): high pressure, compressor 1 stopped, filter and humidifier
// alarms, the common alarm output on, the room at 40.0 C and 80.0 %.
void AlarmEmerson(EmersonUnit& u, int state);

// EVO CyberMate DX (VER 21): CID2 42 analogue values by field (1..18; 0x7FFF: not measured),
// 43 the eight state bytes (fields 61..68), 44 the alarm codes of fields 19..60 (01 alarm).
struct EvoDxUnit {
    uint16_t analogue[18] = {231, 232, 233, 234, 235, 0x7FFF, 150, 451, 452, 453, 454, 455,
                             0x8000, 20, 233, 453, 12, 34};
    uint8_t states[8] = {1, 1, 0, 0, 0, 0, 2, 3};
    uint8_t alarms[42] = {};
};
std::string EvoDxInfo(const EvoDxUnit& u, int cid2);
void SetEvoDx(YdtDevice& dev, const EvoDxUnit& u);
// A unit in trouble. State 1, overheating: the rooms at 36 C and 78 % with the high-temperature
// and -humidity, humidifier, fan, air-flow, filter, leak, smoke, over-voltage, sensor and pump
// alarms; state 2, too cold: the rooms at 18 C and 18 % with the low-temperature and
// -humidity, low humidifier current and water, valve, under-voltage, phase-loss and
// phase-order alarms.
void AlarmEvoDx(EvoDxUnit& u, int state);

// DME3000 (VER 21): CID2 82 four state bytes (at 15, 19, 21, 23), 42 temperature, humidity
// and outdoor temperature, 47 the set points (at 21 and 29), 83 the unit's state and lock
// bytes; it takes CID2 45 (on/off) and 49 (a parameter). Raise(n) sets the bit that reports
// the handler's field n (1-13, 19-34 and 37-39: a running, alarm or lock state); false for a
// field that is no bit of the unit.
struct Dme3000Unit {
    uint8_t run = 0x03, alarm = 0x00, user = 0x00, power = 0x00;
    uint16_t tem = 235, hum = 450, temout = 310, temset = 240, humset = 500;
    uint8_t mode = 0x09, locks = 0x00;
    bool Raise(int field);
};
std::string Dme3000Info(const Dme3000Unit& u, int cid2);
void SetDme3000(YdtDevice& dev, const Dme3000Unit& u);
// A unit in trouble. State 1: high pressure, high temperature and humidity (40.0 C, 80.0 %),
// the user, maintenance, filter, humidifier, sensor-board, discharge, leak and energy-card
// alarms, the high-pressure and discharge locks; state 2: low pressure, low temperature and
// humidity (15.0 C, 30.0 %), power failure, coil frozen, power lost, over/under voltage, phase
// lost, frequency, the low-pressure lock.
void AlarmDme3000(Dme3000Unit& u, int state);

// DME3000 over Modbus RTU: input registers 0 (temperature set point), 2 (humidity set
// point), 30 and 31 (temperature, humidity), 123 (fan); discrete inputs 14-33 (fan, heater,
// humidifier, dehumidifier and the alarms), 41-46 (power), 81-86 (cooling).
struct Dme3000Regs {
    int16_t temset = 240, humset = 500, tem = 235, hum = 450, fan = 1;
    bool inputs[20] = {true};  // inputs 14..33
    bool power[6] = {};        // inputs 41..46
    bool cooling = true;       // input 81
};
void SetDme3000Modbus(ModbusSlave& slave, const Dme3000Regs& r);
// State 1: high pressure, high temperature and humidity inputs, the room at 40.0 C and 80.0 %;
// state 2: low pressure, low temperature and humidity, a power input, 15.0 C and 30.0 %.
void AlarmDme3000Modbus(Dme3000Regs& r, int state);

// T-MASTER/E-MASTER (VER 20): CID2 E0 with every value (0x8001: no humidity sensor).
struct TeMasterUnit {
    uint16_t tem = 235, hum = 450, temh = 300, teml = 150, humh = 700, huml = 300;
    uint16_t temset = 240, humset = 500, worktime = 1234;
    uint8_t onoff = 1, states = 0x05, workmode = 2;
    uint8_t alarms[4] = {0xFF, 0xFF, 0xFF, 0xFF};
};
std::string TeMasterInfo(const TeMasterUnit& u);
void SetTeMaster(YdtDevice& dev, const TeMasterUnit& u);
// A unit in trouble (state 1): an alarm code in each alarm byte, the room at 40.0 C and 80.0 %.
void AlarmTeMaster(TeMasterUnit& u, int state);

}  // namespace qxsim
