#include "ModbusSlave.h"

#include <algorithm>

namespace qxsim {

namespace {
constexpr uint8_t kIllegalFunction = 1;
constexpr uint8_t kIllegalAddress = 2;
constexpr uint8_t kIllegalValue = 3;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
void PutBe16(std::vector<uint8_t>& v, uint16_t w) {
    v.push_back(static_cast<uint8_t>(w >> 8));
    v.push_back(static_cast<uint8_t>(w & 0xFF));
}
std::vector<uint8_t> ExceptionPdu(uint8_t function, uint8_t code) {
    return {static_cast<uint8_t>(function | 0x80), code};
}
}  // namespace

ModbusSlave::ModbusSlave(uint8_t unit)
    : m_unit(unit), m_holding(65536), m_input(65536), m_coil(65536), m_discrete(65536) {}

void ModbusSlave::SetUnit(uint8_t unit) { std::lock_guard<std::mutex> g(m_mutex); m_unit = unit; }
void ModbusSlave::SetHolding(uint16_t a, uint16_t v) { std::lock_guard<std::mutex> g(m_mutex); m_holding[a] = v; }
void ModbusSlave::SetInput(uint16_t a, uint16_t v) { std::lock_guard<std::mutex> g(m_mutex); m_input[a] = v; }
void ModbusSlave::SetCoil(uint16_t a, bool on) { std::lock_guard<std::mutex> g(m_mutex); m_coil[a] = on; }
void ModbusSlave::SetDiscrete(uint16_t a, bool on) { std::lock_guard<std::mutex> g(m_mutex); m_discrete[a] = on; }
uint16_t ModbusSlave::Holding(uint16_t a) const { std::lock_guard<std::mutex> g(m_mutex); return m_holding[a]; }
uint16_t ModbusSlave::Input(uint16_t a) const { std::lock_guard<std::mutex> g(m_mutex); return m_input[a]; }
void ModbusSlave::ClearMap() {
    std::lock_guard<std::mutex> g(m_mutex);
    std::fill(m_holding.begin(), m_holding.end(), 0);
    std::fill(m_input.begin(), m_input.end(), 0);
    std::fill(m_coil.begin(), m_coil.end(), 0);
    std::fill(m_discrete.begin(), m_discrete.end(), 0);
    m_limited = false;
    for (auto& t : m_served) t.clear();
}

void ModbusSlave::Serve(Table table, uint16_t first, uint16_t count) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_limited = true;
    const std::pair<uint32_t, uint32_t> range(first, (uint32_t)first + count);
    auto& ranges = m_served[table];
    // A model that lays its map again (every second) names the same ranges again.
    if (count && std::find(ranges.begin(), ranges.end(), range) == ranges.end()) ranges.push_back(range);
}
void ModbusSlave::ServeHolding(uint16_t first, uint16_t count) { Serve(kHolding, first, count); }
void ModbusSlave::ServeInput(uint16_t first, uint16_t count) { Serve(kInput, first, count); }
void ModbusSlave::ServeCoils(uint16_t first, uint16_t count) { Serve(kCoil, first, count); }
void ModbusSlave::ServeDiscrete(uint16_t first, uint16_t count) { Serve(kDiscrete, first, count); }

bool ModbusSlave::Has(Table table, uint32_t first, uint32_t count) const {
    const uint32_t end = first + count;
    if (end > 65536) return false;
    if (!m_limited) return true;
    // Walk from the first address through the ranges that hold it, in any order.
    for (uint32_t at = first; at < end;) {
        uint32_t next = at;
        for (const auto& r : m_served[table])
            if (r.first <= at && at < r.second && r.second > next) next = r.second;
        if (next == at) return false;
        at = next;
    }
    return true;
}
bool ModbusSlave::Coil(uint16_t a) const { std::lock_guard<std::mutex> g(m_mutex); return m_coil[a] != 0; }

void ModbusSlave::SetCoilValueOne(bool accept) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_coilValueOne = accept;
}

void ModbusSlave::SetFault(ModbusFault f, int param) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_faults.Set(f, param);
}
void ModbusSlave::FaultOnce(ModbusFault f, int param) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_faults.Once(f, param);
}
void ModbusSlave::ClearFault() {
    std::lock_guard<std::mutex> g(m_mutex);
    m_faults.Clear();
}

std::vector<std::vector<uint8_t>> ModbusSlave::Requests() const {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_requests.Items();
}
size_t ModbusSlave::RequestCount() const {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_requests.Total();
}
void ModbusSlave::ClearRequests() {
    std::lock_guard<std::mutex> g(m_mutex);
    m_requests.Clear();
}

// Modbus CRC-16: start 0xFFFF, reflected polynomial 0xA001; sent low byte first.
uint16_t ModbusSlave::Crc16(const uint8_t* data, size_t length) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

size_t ModbusSlave::RtuRequestLength(const uint8_t* d, size_t have) {
    if (have < 2) return 0;
    switch (d[1]) {
    case 1: case 2: case 3: case 4: case 5: case 6:
        return 8;
    case 15: case 16:
        if (have < 7) return 0;
        return 9u + d[6];
    case 8: {
        // A module's output write: 2 * count data bytes, no byte count.
        if (have < 6) return 0;
        const size_t count = static_cast<size_t>(d[4] << 8 | d[5]);
        return count <= 123 ? 8u + 2u * count : have;
    }
    default:
        return have;  // unknown function: take what is there as one frame
    }
}

std::vector<uint8_t> ModbusSlave::Execute(const uint8_t* pdu, size_t n, bool broadcast,
                                          ModbusFault shape) {
    const bool bytePerInput = shape == ModbusFault::BytePerInput;
    if (n < 1) return {};
    const uint8_t f = pdu[0];
    std::vector<uint8_t> out;
    switch (f) {
    case 1: case 2: {
        if (n < 5) return ExceptionPdu(f, kIllegalValue);
        uint16_t start = Be16(pdu + 1), count = Be16(pdu + 3);
        if (count < 1 || count > 2000) return ExceptionPdu(f, kIllegalValue);
        if (!Has(f == 1 ? kCoil : kDiscrete, start, count)) return ExceptionPdu(f, kIllegalAddress);
        const std::vector<uint8_t>& bits = f == 1 ? m_coil : m_discrete;
        out.push_back(f);
        if (bytePerInput) {
            out.push_back(static_cast<uint8_t>(count));
            for (int i = 0; i < count; ++i) out.push_back(bits[start + i] ? 1 : 0);
        } else {
            const int bytes = (count + 7) / 8;
            out.push_back(static_cast<uint8_t>(bytes));
            for (int i = 0; i < bytes; ++i) {
                uint8_t b = 0;
                for (int j = 0; j < 8 && i * 8 + j < count; ++j)
                    if (bits[start + i * 8 + j]) b |= static_cast<uint8_t>(1 << j);
                out.push_back(b);
            }
        }
        break;
    }
    case 3: case 4: {
        if (n < 5) return ExceptionPdu(f, kIllegalValue);
        uint16_t start = Be16(pdu + 1), count = Be16(pdu + 3);
        if (count < 1 || count > 125) return ExceptionPdu(f, kIllegalValue);
        if (!Has(f == 3 ? kHolding : kInput, start, count)) return ExceptionPdu(f, kIllegalAddress);
        const std::vector<uint16_t>& regs = f == 3 ? m_holding : m_input;
        out.push_back(f);
        if (shape == ModbusFault::BytePerRegister && f == 4) {
            // One byte per register: its low byte.
            out.push_back(static_cast<uint8_t>(count));
            for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(regs[start + i] & 0xFF));
            break;
        }
        out.push_back(static_cast<uint8_t>(count * 2));
        for (int i = 0; i < count; ++i) PutBe16(out, regs[start + i]);
        break;
    }
    case 8: {
        // The output write of small I/O modules: register, count, 2 * count data bytes with no
        // byte count; the registers are set and the request echoed.
        if (n < 5) return ExceptionPdu(f, kIllegalValue);
        uint16_t start = Be16(pdu + 1), count = Be16(pdu + 3);
        if (count < 1 || count > 123 || n < 5u + 2u * count) return ExceptionPdu(f, kIllegalValue);
        if (!Has(kHolding, start, count)) return ExceptionPdu(f, kIllegalAddress);
        for (int i = 0; i < count; ++i) m_holding[start + i] = Be16(pdu + 5 + 2 * i);
        out.assign(pdu, pdu + 5 + 2 * count);
        break;
    }
    case 5: {
        if (n < 5) return ExceptionPdu(f, kIllegalValue);
        uint16_t v = Be16(pdu + 3);
        const bool one = m_coilValueOne && v == 0x0001;
        if (v != 0xFF00 && v != 0x0000 && !one) return ExceptionPdu(f, kIllegalValue);
        if (!Has(kCoil, Be16(pdu + 1), 1)) return ExceptionPdu(f, kIllegalAddress);
        m_coil[Be16(pdu + 1)] = v == 0xFF00 || one;
        out.assign(pdu, pdu + 5);
        break;
    }
    case 6:
        if (n < 5) return ExceptionPdu(f, kIllegalValue);
        if (!Has(kHolding, Be16(pdu + 1), 1)) return ExceptionPdu(f, kIllegalAddress);
        m_holding[Be16(pdu + 1)] = Be16(pdu + 3);
        out.assign(pdu, pdu + 5);
        break;
    case 15: {
        if (n < 6) return ExceptionPdu(f, kIllegalValue);
        uint16_t start = Be16(pdu + 1), count = Be16(pdu + 3);
        if (count < 1 || count > 1968 || pdu[5] != (count + 7) / 8 || n < 6u + pdu[5])
            return ExceptionPdu(f, kIllegalValue);
        if (!Has(kCoil, start, count)) return ExceptionPdu(f, kIllegalAddress);
        for (int i = 0; i < count; ++i) m_coil[start + i] = (pdu[6 + i / 8] >> (i % 8)) & 1;
        out.assign(pdu, pdu + 5);
        break;
    }
    case 16: {
        if (n < 6) return ExceptionPdu(f, kIllegalValue);
        uint16_t start = Be16(pdu + 1), count = Be16(pdu + 3);
        if (count < 1 || count > 123 || pdu[5] != count * 2 || n < 6u + pdu[5])
            return ExceptionPdu(f, kIllegalValue);
        if (!Has(kHolding, start, count)) return ExceptionPdu(f, kIllegalAddress);
        for (int i = 0; i < count; ++i) m_holding[start + i] = Be16(pdu + 6 + 2 * i);
        out.assign(pdu, pdu + 5);
        break;
    }
    default:
        return ExceptionPdu(f, kIllegalFunction);
    }
    if (broadcast) return {};
    return out;
}

namespace {
// Applies the PDU-level faults; returns false when the reply is to be dropped.
bool ShapePdu(std::vector<uint8_t>& pdu, ModbusFault kind, int param, uint8_t function) {
    switch (kind) {
    case ModbusFault::Silence:
        return false;
    case ModbusFault::Exception:
        pdu = {static_cast<uint8_t>(function | 0x80), static_cast<uint8_t>(param < 0 ? 4 : param)};
        break;
    case ModbusFault::WrongFunction:
        pdu[0] = static_cast<uint8_t>(param < 0 ? function + 1 : param);
        break;
    case ModbusFault::WrongCount:
        if (pdu.size() >= 2 && function >= 1 && function <= 4) pdu[1] = static_cast<uint8_t>(pdu[1] + 1);
        break;
    default:
        break;
    }
    return true;
}

void ShapeTiming(ModbusReply& r, ModbusFault kind, int param) {
    if (kind == ModbusFault::Late) r.delayMs = param < 0 ? 1500 : param;
}
}  // namespace

ModbusReply ModbusSlave::HandleRtu(const uint8_t* frame, size_t length) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_requests.Add(std::vector<uint8_t>(frame, frame + length));
    ModbusReply r;
    if (length < 4) return r;
    uint16_t crc = Crc16(frame, length - 2);
    if (frame[length - 2] != (crc & 0xFF) || frame[length - 1] != (crc >> 8)) return r;
    const uint8_t address = frame[0];
    const bool broadcast = address == 0;
    if (!broadcast && address != m_unit) return r;
    Fault fault = m_faults.Next();
    std::vector<uint8_t> pdu = Execute(frame + 1, length - 3, broadcast,
                                       fault.kind);
    if (pdu.empty() || !ShapePdu(pdu, fault.kind, fault.param, frame[1])) return r;
    r.bytes.push_back(fault.kind == ModbusFault::WrongAddress ? static_cast<uint8_t>(address + 1) : address);
    r.bytes.insert(r.bytes.end(), pdu.begin(), pdu.end());
    if (fault.kind == ModbusFault::Short) {
        // Cut the frame, then give it a valid CRC: a short reply that looks sound.
        size_t keep = fault.param >= 0 ? static_cast<size_t>(fault.param)
                                       : (r.bytes.size() > 1 ? r.bytes.size() - 1 : 0);
        if (keep < r.bytes.size()) r.bytes.resize(keep);
    }
    uint16_t c = Crc16(r.bytes.data(), r.bytes.size());
    if (fault.kind == ModbusFault::BadCrc) c ^= 0x00FF;
    r.bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    r.bytes.push_back(static_cast<uint8_t>(c >> 8));
    ShapeTiming(r, fault.kind, fault.param);
    return r;
}

ModbusReply ModbusSlave::HandleTcp(const uint8_t* frame, size_t length) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_requests.Add(std::vector<uint8_t>(frame, frame + length));
    ModbusReply r;
    if (length < 8) return r;
    const uint16_t transaction = Be16(frame), protocol = Be16(frame + 2), len = Be16(frame + 4);
    if (protocol != 0 || len < 2 || len != length - 6) return r;
    const uint8_t unit = frame[6];
    // A TCP device answers unit 0 and 0xFF as itself (no broadcast over TCP).
    if (unit != m_unit && unit != 0 && unit != 0xFF) return r;
    Fault fault = m_faults.Next();
    std::vector<uint8_t> pdu = Execute(frame + 7, length - 7, false,
                                       fault.kind);
    if (pdu.empty() || !ShapePdu(pdu, fault.kind, fault.param, frame[7])) return r;
    if (fault.kind == ModbusFault::Short) {
        size_t keep = fault.param >= 0 ? static_cast<size_t>(fault.param) : pdu.size() - 1;
        if (keep < pdu.size()) pdu.resize(keep);
    }
    PutBe16(r.bytes, fault.kind == ModbusFault::WrongTransaction ? static_cast<uint16_t>(transaction + 1) : transaction);
    PutBe16(r.bytes, fault.kind == ModbusFault::WrongProtocol ? 1 : 0);
    PutBe16(r.bytes, static_cast<uint16_t>(pdu.size() + 1));
    r.bytes.push_back(fault.kind == ModbusFault::WrongAddress ? static_cast<uint8_t>(unit + 1) : unit);
    r.bytes.insert(r.bytes.end(), pdu.begin(), pdu.end());
    ShapeTiming(r, fault.kind, fault.param);
    return r;
}

}  // namespace qxsim
