// Serving a ModbusSlave on a simulated device (pseudo-terminal or TCP).
#include "ModbusSlave.h"
#include "SimDevice.h"

namespace qxsim {

namespace {
// Length of the MBAP frame at the start of the data, 0 while incomplete.
size_t TcpFrameLength(const uint8_t* d, size_t have) {
    if (have < 6) return 0;
    size_t n = 6u + (size_t)(d[4] << 8 | d[5]);
    return have >= n ? n : 0;
}

Responder MakeResponder(ModbusSlave& slave, bool tcp, ModbusFilter filter = nullptr) {
    return [&slave, tcp, filter](const Bytes& request, Fault fault, Reply& reply) {
        if (filter && !filter(request.data(), request.size())) return false;
        if (fault == Fault::Exception) slave.FaultOnce(ModbusFault::Exception, 4);
        if (fault == Fault::BadCheck && !tcp) slave.FaultOnce(ModbusFault::BadCrc);
        ModbusReply r = tcp ? slave.HandleTcp(request.data(), request.size())
                            : slave.HandleRtu(request.data(), request.size());
        if (r.bytes.empty()) return false;
        reply.data = r.bytes;
        reply.delayMs = r.delayMs;
        reply.faultDone = fault == Fault::Exception || (fault == Fault::BadCheck && !tcp);
        return true;
    };
}
uint8_t Lrc(const uint8_t* p, size_t n) {
    uint8_t s = 0;
    for (size_t i = 0; i < n; i++) s = (uint8_t)(s + p[i]);
    return (uint8_t)(0x100 - s);
}

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

std::vector<uint8_t> ModbusAsciiLine(const std::vector<uint8_t>& rtu) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> line;
    if (rtu.size() < 3) return line;
    const size_t n = rtu.size() - 2;
    line.push_back(':');
    auto put = [&line](uint8_t b) {
        line.push_back((uint8_t)kDigits[b >> 4]);
        line.push_back((uint8_t)kDigits[b & 0xF]);
    };
    for (size_t i = 0; i < n; i++) put(rtu[i]);
    put(Lrc(rtu.data(), n));
    line.push_back('\r');
    line.push_back('\n');
    return line;
}

std::vector<uint8_t> ModbusRtuOfLine(const std::vector<uint8_t>& line) {
    std::vector<uint8_t> bytes;
    if (line.size() < 5 || line[0] != ':' || line[line.size() - 2] != '\r' || line.back() != '\n' ||
        line.size() % 2 == 0)
        return bytes;
    for (size_t i = 1; i + 2 < line.size(); i += 2) {
        const int hi = HexDigit(line[i]), lo = HexDigit(line[i + 1]);
        if (hi < 0 || lo < 0) return {};
        bytes.push_back((uint8_t)(hi << 4 | lo));
    }
    if (bytes.size() < 2 || Lrc(bytes.data(), bytes.size() - 1) != bytes.back()) return {};
    bytes.pop_back();
    const uint16_t crc = ModbusSlave::Crc16(bytes.data(), bytes.size());
    bytes.push_back((uint8_t)crc);
    bytes.push_back((uint8_t)(crc >> 8));
    return bytes;
}

void ServeModbusAscii(Device& device, ModbusSlave& slave, const std::atomic<bool>* dropColon) {
    device.SetFramer(FrameByTerminator('\n'));
    device.SetResponder([&slave, dropColon](const Bytes& request, Fault fault, Reply& reply) {
        const Bytes rtu = ModbusRtuOfLine(request);
        if (rtu.empty()) return false;  // a line that does not check goes unanswered
        if (fault == Fault::Exception) slave.FaultOnce(ModbusFault::Exception, 4);
        ModbusReply r = slave.HandleRtu(rtu.data(), rtu.size());
        if (r.bytes.empty()) return false;
        Bytes line = ModbusAsciiLine(r.bytes);
        if (fault == Fault::BadCheck && line.size() >= 5) line[line.size() - 3] ^= 0x01;
        if (dropColon && dropColon->load()) line.erase(line.begin());
        reply.data = line;
        reply.delayMs = r.delayMs;
        reply.faultDone = fault == Fault::Exception || fault == Fault::BadCheck;
        return true;
    });
}

Framer ModbusRtuFramer() {
    return [](const uint8_t* d, size_t n) -> size_t {
        size_t want = ModbusSlave::RtuRequestLength(d, n);
        return want && want <= n ? want : 0;
    };
}

void ServeModbusRtu(Device& device, ModbusSlave& slave, ModbusFilter answered) {
    device.SetFramer(ModbusRtuFramer());
    device.SetResponder(MakeResponder(slave, false, answered));
}

Responder ModbusRtuResponder(ModbusSlave& slave, ModbusFilter answered) {
    return MakeResponder(slave, false, answered);
}

void ServeModbusTcp(Device& device, ModbusSlave& slave) {
    device.SetFramer(TcpFrameLength);
    device.SetResponder(MakeResponder(slave, true));
}

}  // namespace qxsim
