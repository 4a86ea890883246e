#include "AircCtrl.h"

#include <string.h>

namespace qxsim {

namespace {

uint16_t Crc16(const uint8_t* p, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int b = 0; b < 8; b++) crc = (crc & 1) ? (uint16_t)((crc >> 1) ^ 0xA001) : (uint16_t)(crc >> 1);
    }
    return crc;
}

// Appends the CRC, low byte first.
Bytes WithCrc(Bytes b) {
    uint16_t crc = Crc16(b.data(), b.size());
    b.push_back((uint8_t)crc);
    b.push_back((uint8_t)(crc >> 8));
    return b;
}

void PutLH(Bytes& b, size_t at, uint16_t v) {
    if (at + 1 >= b.size()) return;
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

void Put(Bytes& b, size_t at, uint8_t v) {
    if (at < b.size()) b[at] = v;
}

}  // namespace

AircCtrl::AircCtrl(uint8_t address) : m_address(address) {
    memset(m_unit, 0, sizeof m_unit);
}

void AircCtrl::SetAddress(uint8_t address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_address = address;
}

void AircCtrl::SetUnit(int unit, const Unit& u) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (unit == 0 || unit == 1) m_unit[unit] = u;
}

void AircCtrl::SetDigital(uint8_t di1, uint8_t di2, uint8_t do1, uint8_t do2) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_di[0] = di1, m_di[1] = di2, m_do[0] = do1, m_do[1] = do2;
}

void AircCtrl::SetByte9(uint8_t v) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_byte9 = v;
}

void AircCtrl::SetRecordBytes(int n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recordBytes = n < 3 ? 3 : n > 250 ? 250 : n;
}

void AircCtrl::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

std::vector<Bytes> AircCtrl::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

Bytes AircCtrl::Record() const {
    Bytes b(3 + (size_t)m_recordBytes, 0);
    b[0] = m_address;
    b[1] = 4;
    b[2] = (uint8_t)m_recordBytes;
    for (int u = 0; u < 2; u++) {
        const Unit& x = m_unit[u];
        const size_t o = u == 0 ? 0 : 24;  // unit 2 sits 24 bytes after unit 1
        PutLH(b, 3 + o, x.supply);
        PutLH(b, 5 + o, x.ret);
        Put(b, 7 + o, x.set);
        Put(b, 8 + o, x.high);
        Put(b, 9 + o, x.low);
        Put(b, 11 + o, x.current);
        Put(b, 14 + o, x.currentHigh);
        PutLH(b, 15 + o, x.currentLow);
        Put(b, 17 + o, x.status);
        Put(b, 18 + o, x.except);
    }
    Put(b, 51, m_di[0]);
    Put(b, 52, m_di[1]);
    Put(b, 53, m_do[0]);
    Put(b, 54, m_do[1]);
    return WithCrc(b);
}

size_t AircCtrl::RequestLength(const uint8_t* d, size_t n) {
    if (n < 6) return 0;
    // Commands carry n data bytes after the count field; reads are 8 bytes.
    size_t len = (d[1] == 8 || d[1] == 11) ? 8 + (size_t)(d[4] << 8 | d[5]) : 8;
    return len <= n ? len : 0;
}

Bytes AircCtrl::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_silent || req.size() < 8 || req[0] != m_address) return {};
    if (Crc16(req.data(), req.size() - 2) != (uint16_t)(req[req.size() - 2] | req[req.size() - 1] << 8))
        return {};
    const uint8_t fn = req[1];
    if (fault == Fault::Exception) return WithCrc({m_address, (uint8_t)(fn | 0x80), 4});
    switch (fn) {
    case 4: return Record();
    case 9: return WithCrc({m_address, 9, 1, m_byte9});
    case 8:
    case 11: m_commands.push_back(req); return req;
    default: return WithCrc({m_address, (uint8_t)(fn | 0x80), 1});
    }
}

void AircCtrl::Serve(Device& device) {
    device.SetFramer([](const uint8_t* d, size_t n) { return RequestLength(d, n); });
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::Exception;
        return !reply.data.empty();
    });
}

}  // namespace qxsim
