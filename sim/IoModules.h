#pragma once
// The leak detectors and the Modbus I/O modules of the DIO family, on a ModbusSlave, with the
// frames of their own that the plain slave does not know:
//
//   qxsim::LeakDetector leak(1);                 // unit 1
//   leak.Set(1, qxsim::Leak{true, false, 96, 385});   // model 1: water at 96, cable 385
//   leak.Serve(pty);                             // also takes model 1's 10-byte length write
//
//   qxsim::IoModule io(1);
//   io.SetInputs(0x00FF);                        // discrete inputs 0-15
//   io.SetVendorReply(qxsim::Hex("01 C6 04"));   // the answer to function 0x46 (CRC added)
//   io.Serve(pty);
#include <stdint.h>

#include <mutex>
#include <vector>

#include "ModbusSlave.h"
#include "SimDevice.h"

namespace qxsim {

// What a leak detector reports, in its own register units.
struct Leak {
    bool water = false;     // a leak on the cable
    bool wire = false;      // a sensing wire broken
    uint16_t position = 0;  // where the water is
    uint16_t cable = 500;   // the cable length
    uint16_t lmd = 0;       // the further register of each model
    uint16_t extra = 0;     // model 1's register 11
    uint8_t state = 0;      // model 2's state byte (0 dry, 1 water, 2 wire fault)
};

// A leak detector of model 0 to 3 (the point's Variant):
//   0: input registers 1-4 position, A, B, length (A 2000 with B 3 says dry), 5 the second
//      wire (above 4095 broken; register 4 the first, so that a broken first wire leaves no
//      length: both read 5000 with `wire`), holding 1 the further register;
//   1: holding 0 bit 0 water, bit 1 wire; 1 position; 8 length; 10, 11 further registers;
//      a 10-byte function 6 frame (no byte count) writes one register, answered by the
//      8-byte echo of its first six bytes;
//   2: input register 0 the state byte, holding 0x1000 the further register;
//   3: input register 2 high byte bit 1 water, bit 0 wire; 4 position; 38 length.
// Set serves the registers of the model (any other address is answered with exception 02).
class LeakDetector {
public:
    explicit LeakDetector(uint8_t unit = 1) : m_slave(unit) {}
    ModbusSlave& Slave() { return m_slave; }
    void Set(int model, const Leak& leak);
    void Serve(Device& device);
    // The values of the 10-byte writes taken, in order.
    std::vector<uint16_t> LengthWrites() const;

private:
    ModbusSlave m_slave;
    mutable std::mutex m_mutex;
    std::vector<uint16_t> m_writes;
};

// A leak detector's trouble in the registers of its model (the point's Variant), laid on a
// dry detector: "alarm" (state 1) water on the cable at 12.5 m of its 50 m (models 1 and 3,
// whose lengths are in units of 1/1.3 of a tenth of a metre: 12.4 m), with, where the state
// register carries it beside the water (models 1 and 3), the sensing wire broken too: the
// water has cut the cable beyond it. "alarm2" (state 2) where one reply cannot carry both:
// model 0's broken wires (the first wire's register is also the length, so that no position
// can be told beside it) and model 2's wire fault (one state code for water or wires).
void AlarmLeak(Leak& l, int model, int state);
// Whether AlarmLeak has a state 2 for the model.
bool LeakHasAlarm2(int model);

// A Modbus I/O module: discrete inputs 0-15, coils 0-3, holding registers 0-7 (no other
// address: exception 02), and the
// vendor function 0x46 (9-byte request: address, 0x46, 0x04, value, three zeros, CRC),
// answered by a settable reply or, unset, by the request echoed.
class IoModule {
public:
    explicit IoModule(uint8_t unit = 1);
    ModbusSlave& Slave() { return m_slave; }
    void SetInputs(uint16_t bits);
    void SetCoils(uint8_t bits);
    void SetRegisters(const uint16_t regs[8]);
    // The answer to function 0x46 without its CRC; empty: the request echoed.
    void SetVendorReply(const Bytes& frame);
    // The value bytes of the 0x46 requests taken, in order.
    Bytes VendorValues() const;
    void Serve(Device& device);

private:
    ModbusSlave m_slave;
    mutable std::mutex m_mutex;
    Bytes m_vendorReply, m_vendorValues;
};

// The W70XX module's points: every input at rest (0, normal), the first and third relays
// on. In alarm every alarm input is closed (a module reads as many of the 16 as it has); the
// relays stay as they were switched.
struct W70xxPoints {
    uint16_t inputs = 0;
    uint8_t coils = 0x05;
};
void AlarmW70xx(W70xxPoints& m, int state);

// The W7017 analog module's holding registers: about 25 degrees on its thermistor (registers
// 0 and 1 the two voltages of its divider, equal), registers 2-4 and 7 at 0, register 5 below
// its threshold (40) and register 6 above its own (11000). In alarm the thermistor reads
// about 45 degrees (register 1 at 488), registers 2-4 and 7 report 1, register 5 has reached
// 55 and register 6 fallen to 10200.
struct W7017Regs {
    uint16_t r[8] = {1000, 1000, 0, 0, 0, 10, 12000, 0};
};
void AlarmW7017(W7017Regs& m, int state);

// A frame with its Modbus CRC appended, low byte first.
Bytes WithCrc(const Bytes& frame);

}  // namespace qxsim
