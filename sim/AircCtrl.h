#pragma once
// The comfort air-conditioner controller as the bus sees it: one RS-485 slave that drives two
// units by infrared. Modbus RTU framing (address, function, CRC low byte first), register
// words low byte first, and vendor functions:
//
//   4   read of the record: "addr 04 00 00 00 3C crc" is answered with the record's bytes
//       (byte count recordBytes, 60 by default, however many registers were asked)
//   9   one byte: "addr 09 00 40 00 01 crc" -> "addr 09 01 <byte> crc"
//   8   command, one data byte, no byte count: "addr 08 RH RL 00 01 <v> crc"
//   11  command, three data bytes: "addr 0B 00 2A 00 03 <b2 b1 b0> crc"
//   commands are answered by their echo
//
// Record bytes, counted from the reply's address byte (3 is the first data byte):
//   3-4 supply air 1 (0.01 C), 5-6 return air 1, 7 set temperature 1, 8 upper limit 1,
//   9 lower limit 1, 11 current 1 (0.01 A), 14 current upper limit 1, 15-16 lower limit 1,
//   17 status 1 (0 off, 1 cooling, 2 heating), 18 exception 1; 27..42 the same for unit 2;
//   51, 52 digital inputs, 53, 54 digital outputs.
//
//   qxsim::AircCtrl ctrl(1);
//   qxsim::PtySim pty;
//   ctrl.Serve(pty);                 // framer and responder
//   ctrl.SetUnit(0, {2650, 2810, 26, 30, 16, 150, 200, 10, 1, 0});
//   pty.InjectFault(qxsim::Fault::Exception);   // the next answer: "addr 84 04 crc"
//
// A request for another address or with a bad CRC gets no answer, as on a real bus. Every
// call may come from any thread.
#include <stdint.h>

#include <mutex>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

class AircCtrl {
public:
    struct Unit {
        uint16_t supply;       // 0.01 C
        uint16_t ret;          // 0.01 C
        uint8_t set, high, low;
        uint8_t current;       // 0.01 A
        uint8_t currentHigh;
        uint16_t currentLow;
        uint8_t status, except;
    };

    explicit AircCtrl(uint8_t address = 1);

    void SetAddress(uint8_t address);
    void SetUnit(int unit, const Unit& u);  // unit 0 or 1
    void SetDigital(uint8_t di1, uint8_t di2, uint8_t do1, uint8_t do2);
    void SetByte9(uint8_t v);               // the function-9 byte
    void SetRecordBytes(int n);             // byte count of the record answer (3..250)
    void SetSilent(bool silent);            // answers nothing

    // Command frames received (functions 8 and 11), whole, in order.
    std::vector<Bytes> Commands() const;

    // The answer to one request frame (empty: none). fault: Exception gives an exception
    // reply (code 4); the other faults are the transport's.
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    // Length of the request at the front of data, 0 while more bytes are needed.
    static size_t RequestLength(const uint8_t* data, size_t size);
    // Framer and responder on a simulated device; the controller must outlive its service.
    void Serve(Device& device);

private:
    Bytes Record() const;

    mutable std::mutex m_mutex;
    uint8_t m_address;
    Unit m_unit[2];
    uint8_t m_di[2] = {0, 0}, m_do[2] = {0, 0};
    uint8_t m_byte9 = 0;
    int m_recordBytes = 60;
    bool m_silent = false;
    std::vector<Bytes> m_commands;
};

}  // namespace qxsim
