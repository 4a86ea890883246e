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
}  // namespace

void ServeModbusRtu(Device& device, ModbusSlave& slave, ModbusFilter answered) {
    device.SetFramer([](const uint8_t* d, size_t n) {
        size_t want = ModbusSlave::RtuRequestLength(d, n);
        return want && want <= n ? want : 0;
    });
    device.SetResponder(MakeResponder(slave, false, answered));
}

void ServeModbusTcp(Device& device, ModbusSlave& slave) {
    device.SetFramer(TcpFrameLength);
    device.SetResponder(MakeResponder(slave, true));
}

}  // namespace qxsim
