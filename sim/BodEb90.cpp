#include "BodEb90.h"

namespace qxsim {

BodEb90::BodEb90(uint8_t first, int cells) : m_first(first) {
    m_cells.assign(cells > 0 ? (size_t)cells : 0, Cell{13200, 3500, 251});
}

void BodEb90::SetCell(int i, int mv, int uohm, int tenths) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (i < 0 || i > 255) return;
    if ((size_t)i >= m_cells.size()) m_cells.resize((size_t)i + 1, Cell{13200, 3500, 251});
    m_cells[(size_t)i] = Cell{mv, uohm, tenths};
}

int BodEb90::Cells() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return (int)m_cells.size();
}

void AlarmBodEb90(BodEb90& s, int) {
    for (int i = 0; i < s.Cells(); i++) s.SetCell(i, 7600, 12500, 410);
}

void BodEb90::SetFault(Eb90Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Set(fault, -1);
}

void BodEb90::FaultOnce(Eb90Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Once(fault, -1);
}

void BodEb90::ClearFault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Clear();
}

std::vector<std::pair<uint8_t, uint8_t>> BodEb90::Asked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_asked;
}

Bytes BodEb90::Request(uint8_t address, uint8_t command) {
    return {0xEB, 0x90, address, command, 0, 0, 0, 0, (uint8_t)(address + command), 0x16};
}

Bytes BodEb90::Frame(uint8_t address, uint8_t command, int value) {
    Bytes b = {0xEB, 0x90, address, command, (uint8_t)value, (uint8_t)(value >> 8),
               (uint8_t)(value >> 16)};
    uint8_t sum = 0;
    for (size_t i = 2; i < b.size(); i++) sum = (uint8_t)(sum + b[i]);
    b.push_back(sum);
    b.push_back(0x16);
    return b;
}

Bytes BodEb90::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (req.size() != 10 || req[0] != 0xEB || req[1] != 0x90 || req[9] != 0x16) return {};
    uint8_t sum = 0;
    for (size_t i = 2; i < 8; i++) sum = (uint8_t)(sum + req[i]);
    const uint8_t addr = req[2], cmd = req[3];
    if (req[8] != sum || addr < m_first || (size_t)(addr - m_first) >= m_cells.size()) return {};
    const Cell& c = m_cells[(size_t)(addr - m_first)];
    int value;
    switch (cmd) {
    case 0x60: value = c.mv; break;
    case 0x61: value = c.tenths; break;
    case 0x62: value = c.uohm; break;
    default: return {};
    }
    m_asked.emplace_back(addr, cmd);
    Eb90Fault f = m_faults.Next().kind;
    if (fault == Fault::BadCheck) f = Eb90Fault::BadSum;
    if (f == Eb90Fault::Silence) return {};
    Bytes b = Frame(addr, cmd, value);
    switch (f) {
    case Eb90Fault::Short: b.resize(6); break;
    case Eb90Fault::BadSum: b[7] = (uint8_t)(b[7] + 1); break;
    case Eb90Fault::BadHeader: b[0] = 0xEA; break;
    default: break;
    }
    return b;
}

void BodEb90::Serve(Device& device) {
    device.SetFramer(FrameByLength(10));
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

}  // namespace qxsim
