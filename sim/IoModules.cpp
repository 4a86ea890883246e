#include "IoModules.h"

namespace qxsim {

namespace {
bool CrcOk(const uint8_t* d, size_t n) {
    if (n < 3) return false;
    uint16_t crc = ModbusSlave::Crc16(d, n - 2);
    return d[n - 2] == (crc & 0xFF) && d[n - 1] == (crc >> 8);
}

// An exception answer of the device itself (the slave's for its own functions).
Bytes ExceptionOf(const Bytes& request) {
    return WithCrc({request[0], (uint8_t)(request[1] | 0x80), 4});
}
}  // namespace

Bytes WithCrc(const Bytes& frame) {
    Bytes b = frame;
    uint16_t crc = ModbusSlave::Crc16(b.data(), b.size());
    b.push_back((uint8_t)crc);
    b.push_back((uint8_t)(crc >> 8));
    return b;
}

void LeakDetector::Set(int model, const Leak& l) {
    ModbusSlave& s = m_slave;
    switch (model) {
    case 0:
        s.ServeInput(1, 5);
        s.ServeHolding(1);
        // A dry cable reports its length as the position.
        s.SetInput(1, l.water ? l.position : l.cable);
        s.SetInput(2, l.water ? 500 : 2000);
        s.SetInput(3, l.water ? 10 : 3);
        s.SetInput(4, l.wire ? 5000 : l.cable);
        s.SetInput(5, l.wire ? 5000 : 100);
        s.SetHolding(1, l.lmd);
        break;
    case 1:
        s.ServeHolding(0, 2);
        s.ServeHolding(8, 4);
        s.SetHolding(0, (uint16_t)((l.water ? 1 : 0) | (l.wire ? 2 : 0)));
        s.SetHolding(1, l.position);
        s.SetHolding(8, l.cable);
        s.SetHolding(10, l.lmd);
        s.SetHolding(11, l.extra);
        break;
    case 2:
        s.ServeInput(0);
        s.ServeHolding(0x1000);
        s.SetInput(0, l.state);
        s.SetHolding(0x1000, l.lmd);
        break;
    case 3:
        s.ServeInput(2);
        s.ServeInput(4);
        s.ServeInput(38);
        s.SetInput(2, (uint16_t)(((l.water ? 2 : 0) | (l.wire ? 1 : 0)) << 8));
        s.SetInput(4, l.position);
        s.SetInput(38, l.cable);
        break;
    default:
        break;
    }
}

void AlarmLeak(Leak& l, int model, int state) {
    if (state == 1) {
        l.water = true;
        // Models 1 and 3 count 1/1.3 of a tenth of a metre: 96 is 12.4 m, 385 is 50.0 m.
        const bool scaled = model == 1 || model == 3;
        l.position = scaled ? 96 : 125;
        l.cable = scaled ? 385 : 500;
        l.wire = scaled;
        l.state = 1;
    } else if (state == 2 && LeakHasAlarm2(model)) {
        l.wire = true;
        l.state = 2;
    }
}

bool LeakHasAlarm2(int model) { return model == 0 || model == 2; }

void LeakDetector::Serve(Device& device) {
    // A function 6 frame is 8 bytes when those check, else the 10-byte form.
    device.SetFramer([](const uint8_t* d, size_t n) -> size_t {
        if (n >= 2 && d[1] == 6) {
            if (n >= 8 && CrcOk(d, 8)) return 8;
            return n >= 10 ? 10 : 0;
        }
        size_t want = ModbusSlave::RtuRequestLength(d, n);
        return want && want <= n ? want : 0;
    });
    Responder plain = ModbusRtuResponder(m_slave);
    device.SetResponder([this, plain](const Bytes& q, Fault fault, Reply& reply) {
        if (q.size() != 10 || q[1] != 6) return plain(q, fault, reply);
        if (!CrcOk(q.data(), q.size()) || q[0] != m_slave.Unit()) return false;
        if (fault == Fault::Exception) {
            reply.data = ExceptionOf(q);
            reply.faultDone = true;
            return true;
        }
        uint16_t value = (uint16_t)(q[6] << 8 | q[7]);
        m_slave.SetHolding((uint16_t)(q[2] << 8 | q[3]), value);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_writes.push_back(value);
        }
        reply.data = WithCrc(Bytes(q.begin(), q.begin() + 6));
        return true;
    });
}

std::vector<uint16_t> LeakDetector::LengthWrites() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writes;
}

void AlarmW70xx(W70xxPoints& m, int state) {
    if (state) m.inputs = 0xFFFF;
}

void AlarmW7017(W7017Regs& m, int state) {
    if (!state) return;
    const uint16_t hot[8] = {1000, 488, 1, 1, 1, 55, 10200, 1};
    for (int i = 0; i < 8; i++) m.r[i] = hot[i];
}

IoModule::IoModule(uint8_t unit) : m_slave(unit) {
    m_slave.ServeDiscrete(0, 16);
    m_slave.ServeCoils(0, 4);
    m_slave.ServeHolding(0, 8);
}

void IoModule::SetInputs(uint16_t bits) {
    for (int i = 0; i < 16; i++) m_slave.SetDiscrete((uint16_t)i, (bits >> i) & 1);
}

void IoModule::SetCoils(uint8_t bits) {
    for (int i = 0; i < 4; i++) m_slave.SetCoil((uint16_t)i, (bits >> i) & 1);
}

void IoModule::SetRegisters(const uint16_t regs[8]) {
    for (int i = 0; i < 8; i++) m_slave.SetHolding((uint16_t)i, regs[i]);
}

void IoModule::SetVendorReply(const Bytes& frame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vendorReply = frame;
}

Bytes IoModule::VendorValues() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vendorValues;
}

void IoModule::Serve(Device& device) {
    device.SetFramer([](const uint8_t* d, size_t n) -> size_t {
        if (n >= 2 && d[1] == 0x46) return n >= 9 ? 9 : 0;
        size_t want = ModbusSlave::RtuRequestLength(d, n);
        return want && want <= n ? want : 0;
    });
    Responder plain = ModbusRtuResponder(m_slave);
    device.SetResponder([this, plain](const Bytes& q, Fault fault, Reply& reply) {
        if (q.size() != 9 || q[1] != 0x46) return plain(q, fault, reply);
        if (!CrcOk(q.data(), q.size()) || q[0] != m_slave.Unit()) return false;
        if (fault == Fault::Exception) {
            reply.data = ExceptionOf(q);
            reply.faultDone = true;
            return true;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vendorValues.push_back(q[3]);
        reply.data = m_vendorReply.empty() ? q : WithCrc(m_vendorReply);
        return true;
    });
}

}  // namespace qxsim
