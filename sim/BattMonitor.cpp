#include "BattMonitor.h"

#include <utility>
#include <vector>

namespace qxsim {

namespace {
// Modbus exception codes.
const uint8_t kIllegalFunction = 1, kIllegalValue = 3, kIllegalAddress = 2, kDeviceFailure = 4;

Bytes WithCrc(Bytes b) {
    uint16_t crc = ModbusSlave::Crc16(b.data(), b.size());
    b.push_back((uint8_t)crc);
    b.push_back((uint8_t)(crc >> 8));
    return b;
}
}  // namespace

void SetBatt100(ModbusSlave& slave, const Batt100& m) {
    slave.ServeInput(0x100, 0x404);  // the four cell arrays and the group block 0x500-0x503
    slave.SetInput(0x500, (uint16_t)m.curr1);
    slave.SetInput(0x501, (uint16_t)m.curr2);
    slave.SetInput(0x502, m.volt);
    slave.SetInput(0x503, m.temp);
    // All 256 cells exist: those not listed read 0, as an unfitted channel does.
    for (uint16_t i = 0; i < 256; i++) {
        Batt100::Cell c = i < m.cells.size() ? m.cells[i] : Batt100::Cell{0, 0, 0, 0};
        slave.SetInput((uint16_t)(0x100 + i), c.v);
        slave.SetInput((uint16_t)(0x400 + i), c.r);
        slave.SetInput((uint16_t)(0x200 + i), c.t);
        slave.SetInput((uint16_t)(0x300 + i), c.t2);
    }
}

void AlarmBatt100(Batt100& m, int) {
    if (m.cells.empty()) m.cells.resize(1);
    m.cells[0].v = 79;
    m.cells[0].r = 1850;
    m.cells[0].t = 365;
}

Bod800::Bod800(uint8_t unit) : m_unit(unit) {}

void Bod800::SetCell(int cell, const Cell& c) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (cell >= 0 && cell < kCells) m_cells[cell] = c;
}

void Bod800::SetHealthy(int n) {
    for (int i = 0; i < n && i < kCells; i++) {
        Cell c;
        c.volt = (uint8_t)(120 + i % 10);
        c.temp = 250;
        SetCell(i, c);
    }
}

void Bod800::SetAlarm(int) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cells[0].status = 1;
    m_cells[0].volt = 75;
}

size_t Bod800::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

Bytes Bod800::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (req.size() < 4 || req[0] != m_unit) return {};
    const size_t n = req.size() - 2;
    if (ModbusSlave::Crc16(req.data(), n) != (uint16_t)(req[n] | req[n + 1] << 8)) return {};
    m_requests++;
    if (fault == Fault::Exception) return WithCrc({m_unit, 0x84, kDeviceFailure});
    // The monitor reads with function 4 only, three registers from 128 + the cell: another
    // function is illegal, a count Modbus does not allow an illegal value, any other read
    // one of addresses it does not have.
    const bool read = req.size() == 8;
    const int cell = read ? (req[2] << 8 | req[3]) - 128 : -1;
    const int count = read ? req[4] << 8 | req[5] : 0;
    uint8_t refused = 0;
    if (req[1] != 4)
        refused = kIllegalFunction;
    else if (count < 1 || count > 125)
        refused = kIllegalValue;
    else if (cell < 0 || cell >= kCells || count != 3)
        refused = kIllegalAddress;
    if (refused) return WithCrc({m_unit, (uint8_t)(req[1] | 0x80), refused});
    const Cell& c = m_cells[cell];
    if (c.silent) return {};
    Bytes b = WithCrc({m_unit, 4, 6, c.status, c.volt, (uint8_t)(c.temp >> 8), (uint8_t)c.temp, 0, 0});
    if (fault == Fault::BadCheck) b.back() ^= 0x5A;
    return b;
}

void Bod800::Serve(Device& device) {
    device.SetFramer(ModbusRtuFramer());
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::Exception || fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

std::string Adu1000Info(const Adu1000& m) {
    std::vector<std::pair<int, std::string>> fields;
    for (int i = 0; i < 49; i++) fields.push_back({17 + 8 * i, YdtFloat(m.cells[i])});
    fields.push_back({411, YdtFloat(m.total1)});
    fields.push_back({419, YdtFloat(m.total2)});
    fields.push_back({429, YdtFloat(m.curr1)});
    fields.push_back({437, YdtFloat(m.curr2)});
    fields.push_back({447, YdtFloat(m.temp1)});
    fields.push_back({455, YdtFloat(m.temp2)});
    return YdtInfoAt(fields, 465);
}

void SetAdu1000(YdtDevice& device, const Adu1000& m) { device.SetInfo(0x41, Adu1000Info(m)); }

void AlarmAdu1000(Adu1000& m, int) {
    m.cells[6] = 9.2f;
    m.curr1 = 31.2f;
    m.temp1 = 33.5f;
    m.temp2 = 32.0f;
    double sum1 = 0, sum2 = 0;
    for (int i = 0; i < 49; i++) (i < 25 ? sum1 : sum2) += m.cells[i];
    m.total1 = (float)sum1;
    m.total2 = (float)sum2;
}

Db100 Db100String(int n) {
    Db100 m;
    n = n < 1 ? 1 : n > 24 ? 24 : n;
    m.count = (uint16_t)n;
    int sum = 0;
    for (int i = 0; i < 24; i++) {
        if (i >= n) m.cells[i] = 0;
        sum += m.cells[i];
    }
    m.volt = (int16_t)(sum / 10);
    return m;
}

void AlarmDb100(Db100& m, int) {
    m.curr = -1520;
    m.temp = 382;
    int sum = 0;
    for (int i = 0; i < 24; i++) {
        if (i < m.count) m.cells[i] = (uint16_t)(i == 1 ? 9800 : 12400 + 10 * (i % 4));
        sum += m.cells[i];
    }
    m.volt = (int16_t)(sum / 10);
}

void SetDb100(ModbusSlave& slave, const Db100& m) {
    slave.ServeHolding(0x200, 30);
    slave.SetHolding(0x200, (uint16_t)m.volt);
    slave.SetHolding(0x201, (uint16_t)m.curr);
    slave.SetHolding(0x202, (uint16_t)m.temp);
    for (uint16_t i = 0; i < 24; i++) slave.SetHolding((uint16_t)(0x203 + i), m.cells[i]);
    slave.SetHolding(0x21B, m.range);
    slave.SetHolding(0x21C, m.count);
    slave.SetHolding(0x21D, m.model);
}

}  // namespace qxsim
