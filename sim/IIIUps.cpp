#include "IIIUps.h"

namespace qxsim {

namespace {

const uint8_t kMeasure = 0x81;
const uint8_t kBattery = 0x86;

void Put(Bytes& b, int at, uint8_t v) {
    if (at >= 0 && (size_t)at < b.size()) b[at] = v;
}

}  // namespace

IIIUps::IIIUps(uint8_t address) : m_address(address) {
    m_frames[kMeasure] = Bytes(47 + 6, 0);
    m_frames[kBattery] = Bytes(19 + 6, 0);
    const struct {
        int at;
        uint16_t v;
    } words[] = {
        {6, 2200},  {8, 2200},  {10, 2200},  // input voltages
        {12, 2200}, {14, 2210}, {16, 2190},  // output voltages
        {24, 52},   {26, 48},   {28, 50},    // output currents
        {36, 2200}, {38, 3800}, {44, 500},   // battery, DC, output frequency
    };
    for (const auto& w : words) SetWord(kMeasure, w.at, w.v);
    SetByte(kBattery, 22, 100);
}

void IIIUps::SetAddress(uint8_t address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_address = address;
}

void IIIUps::SetWord(uint8_t command, int at, uint16_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Bytes& f = m_frames[command];
    Put(f, at, (uint8_t)value);
    Put(f, at + 1, (uint8_t)(value >> 8));
}

void IIIUps::SetByte(uint8_t command, int at, uint8_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Put(m_frames[command], at, value);
}

void IIIUps::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void IIIUps::SetFault(IIIFault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Set(fault, -1);
}

void IIIUps::FaultOnce(IIIFault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Once(fault, -1);
}

void IIIUps::ClearFault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Clear();
}

std::vector<uint8_t> IIIUps::Asked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_asked;
}

Bytes IIIUps::Request(uint8_t address, uint8_t command) {
    return {0xEA, 0x02, 0x02, 0xEA, address, command, (uint8_t)(address + command), 0x16};
}

Bytes IIIUps::Frame(uint8_t command, IIIFault fault) const {
    Bytes f = m_frames.at(command);
    if (fault == IIIFault::TooSmall) f.resize((command == kMeasure ? 40 : 15) + 6);
    const uint8_t len = (uint8_t)(f.size() - 6);
    f[0] = 0xEA;
    f[1] = f[2] = len;
    f[3] = m_address;
    f[4] = command;
    uint8_t sum = 0;
    for (size_t i = 3; i + 2 < f.size(); i++) sum = (uint8_t)(sum + f[i]);
    f[len + 4] = sum;
    f[len + 5] = 0x16;
    switch (fault) {
    case IIIFault::LengthsDiffer: f[2] = (uint8_t)(len + 1); break;
    case IIIFault::NoHead: f[0] = 0xEB; break;
    case IIIFault::NoEnd: f[len + 5] = 0x61; break;
    default: break;
    }
    return f;
}

Bytes IIIUps::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (req.size() != 8 || req[0] != 0xEA || req[1] != 0x02 || req[2] != 0x02 || req[3] != 0xEA ||
        req[7] != 0x16 || req[6] != (uint8_t)(req[4] + req[5]) || req[4] != m_address)
        return {};
    const uint8_t cmd = req[5];
    m_asked.push_back(cmd);
    IIIFault f = m_faults.Next().kind;
    if (fault == Fault::BadCheck) f = IIIFault::NoEnd;
    if (m_silent || f == IIIFault::Silence || !m_frames.count(cmd)) return {};
    return Frame(cmd, f);
}

void IIIUps::Serve(Device& device) {
    device.SetFramer(FrameByLength(8));
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

void AlarmIIIUps(IIIUps& ups, int state) {
    if (state != 1) return;
    for (int at : {6, 8, 10}) ups.SetWord(kMeasure, at, 0);
    ups.SetWord(kMeasure, 36, 1910);
    ups.SetByte(kMeasure, 50, 0x01);
    ups.SetByte(kBattery, 22, 15);
}

}  // namespace qxsim
