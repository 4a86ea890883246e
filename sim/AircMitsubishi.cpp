#include "AircMitsubishi.h"

namespace qxsim {

AircMitsubishi::AircMitsubishi(uint8_t address) : m_address(address) {}

void AircMitsubishi::SetAddress(uint8_t address) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_address = address;
}

void AircMitsubishi::SetData(uint8_t d0, uint8_t d1, uint8_t d2, uint8_t d3) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_data[0] = d0;
    m_data[1] = d1;
    m_data[2] = d2;
    m_data[3] = d3;
}

void AircMitsubishi::SetLead(bool lead) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_lead = lead;
}

void AircMitsubishi::SetSilent(bool silent) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_silent = silent;
}

void AircMitsubishi::SetShort(size_t n) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_short = n;
}

Bytes AircMitsubishi::Answer(const Bytes& q) const {
    std::lock_guard<std::mutex> g(m_mutex);
    if (m_silent || q.size() != 8 || q[0] != 0x55 || q[1] != 0 || q[2] != m_address ||
        q[3] || q[4] || q[5] || q[6] || q[7] != 0xAA)
        return {};
    Bytes a;
    if (m_lead) a = {0x55, 0x00, m_address};
    else a = {m_address, 0x00};
    a.insert(a.end(), m_data, m_data + 4);
    a.push_back(0xAA);
    if (m_short && m_short < a.size()) a.resize(m_short);
    return a;
}

void AircMitsubishi::Serve(Device& device) {
    device.SetFramer(FrameByLength(8));
    device.SetResponder([this](const Bytes& request, Fault, Reply& reply) {
        reply.data = Answer(request);
        return !reply.data.empty();
    });
}

void AlarmAircMitsubishi(AircMitsubishi& ac, int state) {
    if (state == 1) ac.SetData(0x72, 0x28, 0x03, 0x15);
}

}  // namespace qxsim
