#include "BattRtvs.h"

namespace qxsim {

BattRtvs::BattRtvs(uint8_t address, bool stepped)
    : m_address(address), m_stepped(stepped), m_curr{0x0064, 0x1032}, m_volt{535, 535, 535, 535} {
    for (int k = 0; k < 4; k++)
        for (int j = 0; j < 4; j++)
            m_records[k].push_back({(uint8_t)(4 * k + j + 1), 100, 85, 86, 122, 0});
}

void BattRtvs::SetAddress(uint8_t address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_address = address;
}

void BattRtvs::SetStepped(bool stepped) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stepped = stepped;
}

void BattRtvs::SetCurrent(int k, uint16_t word) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (k >= 0 && k < 2) m_curr[k] = word;
}

void BattRtvs::SetVoltage(int k, uint16_t word) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (k >= 0 && k < 4) m_volt[k] = word;
}

void BattRtvs::SetRecords(int k, const std::vector<RtvsRecord>& records) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (k >= 0 && k < 4) m_records[k] = records;
}

void AlarmBattRtvs(BattRtvs& m, int) {
    m.SetCurrent(0, 0x1000 | 350);
    m.SetCurrent(1, 0x1000 | 260);
    for (int k = 0; k < 4; k++) m.SetVoltage(k, 460);
    std::vector<RtvsRecord> cells;
    for (int j = 0; j < 4; j++) cells.push_back({(uint8_t)(j + 1), 100, 85, 86, 115, 0});
    cells[0] = {1, 160, 88, 107, 98, 1};
    m.SetRecords(0, cells);
}

void BattRtvs::SetFault(RtvsFault fault, int param) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Set(fault, param);
}

void BattRtvs::FaultOnce(RtvsFault fault, int param) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Once(fault, param);
}

void BattRtvs::ClearFault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Clear();
}

std::vector<uint8_t> BattRtvs::Asked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_asked;
}

Bytes BattRtvs::Request(uint8_t address, uint8_t command) {
    return {0x7E, command, address, 0, (uint8_t)(address + command), 0x0D};
}

Bytes BattRtvs::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (req.size() != 6 || req[0] != 0x7E || req[5] != 0x0D || req[2] != m_address ||
        req[4] != (uint8_t)(req[1] + req[2] + req[3]))
        return {};
    const uint8_t cmd = req[1];
    m_asked.push_back(cmd);
    FaultPlan<RtvsFault>::Planned f = m_faults.Next();
    if (fault == Fault::BadCheck) f = {RtvsFault::NoCr, -1};
    if (f.kind == RtvsFault::Silence) return {};

    Bytes b = {0x7E, cmd};
    auto word = [&b](uint16_t w) {
        b.push_back((uint8_t)(w >> 8));
        b.push_back((uint8_t)w);
    };
    if (cmd == 0xF1 || cmd == 0xF2) {
        b.push_back(m_address);
        if (m_stepped) b.push_back(0);
        word(m_curr[cmd - 0xF1]);
    } else if (cmd >= 0x91 && cmd <= 0x94) {
        b.push_back(m_address);
        word(m_volt[cmd - 0x91]);
    } else if (cmd >= 0xE1 && cmd <= 0xE4) {
        if (m_stepped) b.push_back(m_address);
        std::vector<RtvsRecord> recs = m_records[cmd - 0xE1];
        if (f.kind == RtvsFault::FewerRecords) {
            size_t drop = f.param < 0 ? 1 : (size_t)f.param;
            recs.resize(drop < recs.size() ? recs.size() - drop : 0);
        }
        if (f.kind == RtvsFault::ZeroRecord && !recs.empty()) recs[0] = RtvsRecord{0, 0, 0, 0, 0, 0};
        for (const RtvsRecord& r : recs) {
            b.push_back(r.maddr);
            word(r.res);
            b.push_back(r.t1);
            b.push_back(r.t2);
            b.push_back(r.volt);
            b.push_back(r.status);
        }
    } else {
        return {};
    }
    uint8_t sum = 0;
    for (size_t i = 1; i < b.size(); i++) sum = (uint8_t)(sum + b[i]);
    b.push_back(sum);
    b.push_back(0x0D);
    if (f.kind == RtvsFault::NoCr) b.back() = 0x0A;
    if (f.kind == RtvsFault::Short) b.resize(f.param < 0 ? 3 : (size_t)f.param < b.size() ? (size_t)f.param : b.size());
    return b;
}

void BattRtvs::Serve(Device& device) {
    device.SetFramer(FrameByLength(6));
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

}  // namespace qxsim
