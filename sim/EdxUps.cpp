#include "EdxUps.h"

namespace qxsim {

namespace {

uint8_t Xor(const uint8_t* p, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; i++) x ^= p[i];
    return x;
}

}  // namespace

EdxUps::EdxUps() {
    // Bytes counted from the flag; data begin at byte 3.
    m_data[0x01] = {1, 0, 1, 0, 1};                         // 3 mains, 4 low, 5 charging, 7 output
    m_data[0x06] = {100};                                   // 3 capacity %
    m_data[0x07] = {35, 220, 0};                            // 3 load %, 4-5 battery V
    m_data[0x31] = {50, 0xE6, 0x00};                        // 3 Hz, 4-5 input V
    m_data[0x38] = {0, 0, 0, 0, 0};                         // 3..7 bypass flags
    m_data[0x3A] = {0, 0xE6, 0x00};                         // 3 bypass A, 4-5 bypass V
    m_data[0x41] = {1, 0, 0, 0};                            // 3..6 status bits 0..3
    m_data[0x42] = {0, 0, 0xE8, 0x03, 4, 50, 80, 0xE6, 0};  // 5-6 VA, 7 A, 8 Hz, 9 pf, 10-11 V
}

void EdxUps::SetData(uint8_t id, const Bytes& data) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_data[id] = Bytes(data.begin(), data.begin() + (data.size() > 14 ? 14 : data.size()));
}

void EdxUps::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void EdxUps::SetFault(EdxFault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Set(fault, -1);
}

void EdxUps::FaultOnce(EdxFault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Once(fault, -1);
}

void EdxUps::ClearFault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Clear();
}

std::vector<uint8_t> EdxUps::Asked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_asked.Items();
}

Bytes EdxUps::Request(uint8_t id) {
    Bytes r = {0x81, 0x88, 0xA1, 0x01, id, 0x03, 0x00, 0x00, 0x12, 0x00};
    r.push_back(Xor(r.data() + 2, 8));
    return r;
}

Bytes EdxUps::Block(uint8_t id, const Bytes& data) {
    Bytes b(data.size() + 4);
    b[0] = 0x84;
    b[1] = (uint8_t)((1 + data.size()) & 0x0F);
    b[2] = id;
    for (size_t i = 0; i < data.size(); i++) b[3 + i] = data[i];
    b.back() = Xor(b.data() + 2, b.size() - 3);
    return b;
}

Bytes EdxUps::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (req.size() != 11 || req[0] != 0x81 || req[1] != 0x88 || Xor(req.data() + 2, 8) != req[10])
        return {};
    const uint8_t id = req[4];
    m_asked.Add(id);
    EdxFault f = m_faults.Next().kind;
    if (fault == Fault::BadCheck) f = EdxFault::BadXor;
    auto it = m_data.find(id);
    if (m_silent || f == EdxFault::Silence || it == m_data.end()) return {};

    Bytes data = it->second;
    if (f == EdxFault::TooShort && !data.empty()) data.pop_back();
    Bytes b = Block(f == EdxFault::WrongId ? (uint8_t)(id + 1) : id, data);
    const size_t n = b[1] & 0x0F;
    switch (f) {
    case EdxFault::BadXor: b.back() ^= 0x5A; break;
    case EdxFault::Longer: b[1] = (uint8_t)((b[1] & 0xF0) | ((n - 1) & 0x0F)); break;
    case EdxFault::Shorter: b[1] = (uint8_t)((b[1] & 0xF0) | ((n + 1) & 0x0F)); break;
    default: break;
    }
    if (f == EdxFault::Ack) b.insert(b.begin(), 0x06);
    if (f == EdxFault::Trailing) b.push_back(0x00);
    return b;
}

void EdxUps::Serve(Device& device) {
    device.SetFramer(FrameByLength(11));
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

void AlarmEdxUps(EdxUps& ups, int state) {
    if (state == 1) {
        ups.SetData(0x01, {0, 1, 0, 0, 1});                        // mains lost, battery low, output on
        ups.SetData(0x06, {12});                                   // 12 % left
        ups.SetData(0x07, {48, 186, 0});                           // 48 % load, 186 V
        ups.SetData(0x31, {0, 0, 0});                              // no input
        ups.SetData(0x38, {1, 1, 0, 0, 0});                        // bypass frequency, bypass abnormal
        ups.SetData(0x3A, {0, 0, 0});                              // no bypass
    } else if (state == 2) {
        ups.SetData(0x01, {1, 0, 1, 0, 0});                        // mains, charging, no output
        ups.SetData(0x07, {0, 220, 0});
        ups.SetData(0x38, {0, 0, 1, 0, 0});                        // bypass overloaded
        ups.SetData(0x42, {0, 0, 0, 0, 0, 0, 0, 0, 0});            // no output
    }
}

}  // namespace qxsim
