#pragma once
// A Modbus slave for tests and the simulator program: a register and coil map answering
// RTU or TCP requests, with the faults of a Modbus device. It knows no transport: served on
// a pseudo-terminal (or any qxsim transport) through ModbusRtuResponder/ModbusTcpResponder
// below, it answers what the channel sends; the transport's generic faults (silence, a
// short answer, noise, a split answer, a bad check) come on top, from Device::InjectFault.
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::PtySim pty;
//   qxsim::ServeModbusRtu(pty, slave);           // framer and responder
//   pty.Start();                                 // channel->Open(pty.Definition().c_str())
//
//   qxsim::ModbusSlave slave(1);                 // unit address 1
//   slave.SetHolding(0, 250);                    // 40001
//   slave.SetCoil(10, true);                     // 00011
//   slave.ServeHolding(0, 8);                    // it has 40001-40008 and coils 00001-00016,
//   slave.ServeCoils(0, 16);                     //   nothing else (unnamed: every address)
//   slave.SetFault(qxsim::ModbusFault::BadCrc);  // every later reply until ClearFault()
//   slave.FaultOnce(qxsim::ModbusFault::Silence);// only the next request
//
// Supported functions: 1, 2, 3, 4 (reads), 5, 6, 15, 16 (writes) and 8 as small I/O modules
// use it (a register write without byte count, echoed whole). Others get exception 01,
// counts outside the Modbus limits exception 03, and a request that touches an address the
// device does not have exception 02 (illegal data address): a slave has every address of
// every table until the addresses it serves are named (ServeHolding... below), and from then
// on only those.
// A request for another unit (RTU address or TCP unit id) gets no reply, like a bus slave;
// unit 0 (broadcast) is carried out for writes without a reply.
#include <stdint.h>
#include <stddef.h>

#include <functional>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "FaultPlan.h"
#include "SimDevice.h"

namespace qxsim {

enum class ModbusFault {
    None,
    Silence,         // no reply at all
    Exception,       // exception reply with code param (default 4, device failure)
    Short,           // the reply cut to param bytes (default: one data byte less), CRC kept valid
    BadCrc,          // RTU: the CRC's low byte inverted; TCP: ignored
    WrongFunction,   // the function code of the reply is param (default: request's + 1)
    WrongAddress,    // RTU: address + 1; TCP: unit id + 1
    WrongTransaction,// TCP: transaction id + 1
    WrongProtocol,   // TCP: protocol id 1
    WrongCount,      // the byte count field one more than the data carried
    Late,            // the reply is sent param milliseconds late (default 1500)
    BytePerInput,    // functions 1, 2: one byte (0 or 1) per element, byte count = count,
                     // the non-standard answer of some I/O modules and UPS cards
    BytePerRegister, // function 4: one byte per register (its low byte), byte count = count,
                     // as small I/O modules answer their points
};

// A reply as the transport must send it.
struct ModbusReply {
    std::vector<uint8_t> bytes;   // empty: no reply
    int delayMs = -1;             // wait before sending; -1: the transport's default
};

class ModbusSlave {
public:
    explicit ModbusSlave(uint8_t unit = 1);

    uint8_t Unit() const { return m_unit; }
    void SetUnit(uint8_t unit);

    // The map: 65536 elements of each kind, all 0 at the start.
    void SetHolding(uint16_t address, uint16_t value);
    void SetInput(uint16_t address, uint16_t value);
    void SetCoil(uint16_t address, bool on);
    void SetDiscrete(uint16_t address, bool on);
    uint16_t Holding(uint16_t address) const;
    uint16_t Input(uint16_t address) const;
    // Every register, coil and input back to 0 and every address served again (one slave
    // serving one device after another).
    void ClearMap();

    bool Coil(uint16_t address) const;

    // The addresses the device has: once one range is named, a read or write that touches an
    // address outside the named ranges of its table is answered with exception 02; a table
    // with no range named then has no address at all. Ranges may overlap and be named again.
    void ServeHolding(uint16_t first, uint16_t count = 1);
    void ServeInput(uint16_t first, uint16_t count = 1);
    void ServeCoils(uint16_t first, uint16_t count = 1);
    void ServeDiscrete(uint16_t first, uint16_t count = 1);

    // Coil writes (function 5) with the value field 0x0001, which some units take for "on":
    // accepted and echoed when set; a strict slave (the default) answers exception 03.
    void SetCoilValueOne(bool accept);

    // Faults: SetFault holds until ClearFault; FaultOnce queues one for the next request
    // (queued faults go first, in order).
    void SetFault(ModbusFault fault, int param = -1);
    void FaultOnce(ModbusFault fault, int param = -1);
    void ClearFault();

    // One request frame (RTU: with its CRC; TCP: with the MBAP header). A request that is
    // malformed (RTU CRC wrong, TCP header inconsistent) gets no reply, as on a real bus.
    ModbusReply HandleRtu(const uint8_t* frame, size_t length);
    ModbusReply HandleTcp(const uint8_t* frame, size_t length);

    // Expected length of the RTU request that starts the buffer, 0 when more bytes are
    // needed to tell (used by transports to cut a byte stream into frames).
    static size_t RtuRequestLength(const uint8_t* data, size_t have);

    // Every request received (whole frames, in order), for tests.
    std::vector<std::vector<uint8_t>> Requests() const;
    size_t RequestCount() const;
    void ClearRequests();

    static uint16_t Crc16(const uint8_t* data, size_t length);

private:
    using Fault = FaultPlan<ModbusFault>::Planned;
    enum Table { kCoil, kDiscrete, kInput, kHolding, kTables };
    void Serve(Table table, uint16_t first, uint16_t count);
    // Whether every address of [first, first + count) is one the device has.
    bool Has(Table table, uint32_t first, uint32_t count) const;
    // The PDU answer (function, data...) of a request PDU; empty for none (broadcast).
    std::vector<uint8_t> Execute(const uint8_t* pdu, size_t length, bool broadcast,
                                 ModbusFault shape);

    mutable std::mutex m_mutex;
    uint8_t m_unit;
    bool m_coilValueOne = false;
    std::vector<uint16_t> m_holding, m_input;
    std::vector<uint8_t> m_coil, m_discrete;
    bool m_limited = false;                                    // some range was named
    std::vector<std::pair<uint32_t, uint32_t>> m_served[kTables];  // [first, end) of each table
    FaultPlan<ModbusFault> m_faults;
    RecentLog<std::vector<uint8_t>, 4096> m_requests;  // the latest, every one counted
};

class Device;

// Serves the slave on a simulated device (a PtySim, a TCP simulator): RTU or TCP framing and
// the responder. A fault planned with Device::InjectFault(Fault::Exception) becomes a Modbus
// exception reply (code 4); Fault::BadCheck on RTU a bad CRC. The slave must outlive the
// device's service.
// answered (when given) picks the RTU requests the unit answers at all; the others go
// unanswered, as with a unit that lacks those registers and stays silent.
using ModbusFilter = std::function<bool(const uint8_t* request, size_t length)>;
void ServeModbusRtu(Device& device, ModbusSlave& slave, ModbusFilter answered = nullptr);
// The framer ServeModbusRtu sets: one RTU request frame at a time, by its function.
Framer ModbusRtuFramer();
// The RTU responder ServeModbusRtu sets, for a device that answers some frames of its own
// and hands the rest to the slave.
Responder ModbusRtuResponder(ModbusSlave& slave, ModbusFilter answered = nullptr);
void ServeModbusTcp(Device& device, ModbusSlave& slave);
// Modbus ASCII: requests are lines ':' hexadecimal characters, LRC, CR LF; the slave answers
// the same way. Fault::BadCheck gives a wrong LRC, Fault::Exception an exception reply; with
// *dropColon true (read at each answer) the answers come without their leading ':'.
void ServeModbusAscii(Device& device, ModbusSlave& slave,
                      const std::atomic<bool>* dropColon = nullptr);
// The line of an RTU frame (its CRC left out) and the RTU frame (CRC appended) of a line;
// an empty frame for a line that does not convert or whose LRC is wrong.
std::vector<uint8_t> ModbusAsciiLine(const std::vector<uint8_t>& rtu);
std::vector<uint8_t> ModbusRtuOfLine(const std::vector<uint8_t>& line);

}  // namespace qxsim
