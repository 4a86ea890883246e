#include "Ups9EBlock.h"

namespace qxsim {

namespace {
const uint8_t kSync = 0x16, kAck = 0x06;
const size_t kFrameLen = 11;
// An endless answer still stops somewhere: a handler that never gives up is caught by its test.
const size_t kEndlessBlocks = 1000;

void PutWord(Bytes& d, size_t at, uint16_t v) {
    if (d.size() < at + 2) d.resize(at + 2, 0);
    d[at] = (uint8_t)(v & 0xFF);
    d[at + 1] = (uint8_t)(v >> 8);
}
void PutFlag(Bytes& d, size_t at, bool on) {
    if (d.size() < at + 1) d.resize(at + 1, 0);
    d[at] = on ? 1 : 0;
}
}  // namespace

Ups9EBlock::Ups9EBlock() = default;

void Ups9EBlock::SetData(uint8_t id, const Bytes& data) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_data[id] = data;
}

void Ups9EBlock::SetReadings(const UpsReadings& r, uint8_t bits) {
    std::map<uint8_t, Bytes> d;
    PutWord(d[0x31], 3, r.vin1);
    PutWord(d[0x31], 9, r.vin2);
    PutWord(d[0x31], 15, r.vin3);
    PutWord(d[0x78], 1, r.aout);
    PutWord(d[0x78], 5, r.vout);
    PutWord(d[0x78], 9, r.aed);
    PutWord(d[0x78], 13, r.v2);
    PutWord(d[0x78], 17, r.v4);
    PutWord(d[0x78], 21, r.v3);
    PutWord(d[0x0D], 1, r.vbatt);
    PutWord(d[0x42], 11, r.fout);
    PutWord(d[0x30], 11, r.fin);
    PutFlag(d[0x01], 1, bits & 0x80);
    PutFlag(d[0x2D], 1, bits & 0x08);
    PutFlag(d[0x27], 6, bits & 0x04);
    PutFlag(d[0x27], 5, bits & 0x01);
    PutFlag(d[0x02], 1, bits & 0x02);
    std::lock_guard<std::mutex> g(m_mutex);
    for (auto& e : d) m_data[e.first] = e.second;
}

void Ups9EBlock::SetBlockSize(int bytes) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_blockSize = bytes < 1 ? 1 : bytes > 15 ? 15 : bytes;
}

void Ups9EBlock::SetFault(Fault fault) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_fault = fault;
}

std::vector<uint8_t> Ups9EBlock::Identifiers() const {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_ids.Items();
}

int Ups9EBlock::Acks() const {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_acks;
}

std::vector<Bytes> Ups9EBlock::Received() const {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_received.Items();
}

Bytes Ups9EBlock::Block(size_t index) const {
    const size_t size = (size_t)m_blockSize;
    const size_t total = m_current.size();
    const size_t blocks = total == 0 ? 1 : (total + size - 1) / size;
    const size_t from = index * size < total ? index * size : total;
    const size_t count = total - from < size ? total - from : size;
    const bool last = m_fault != Fault::Endless && index + 1 >= blocks;
    Bytes b;
    if (index == 0) b.push_back(kAck);
    b.push_back(last ? 0x84 : 0x04);
    b.push_back((uint8_t)((index & 0x0F) << 4 | count));
    b.insert(b.end(), m_current.begin() + (long)from, m_current.begin() + (long)(from + count));
    if (m_fault == Fault::LongBlock) b.insert(b.end(), {0xEE, 0xEE});
    if (m_fault == Fault::ShortBlock && count > 0) b.pop_back();
    return b;
}

Bytes Ups9EBlock::Answer(const Bytes& request) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_received.Add(request);
    if (request.size() == 1 && request[0] == kSync) {
        m_next = -1;
        return m_fault == Fault::SilentSync ? Bytes() : Bytes{kAck};
    }
    if (request.size() == 1 && request[0] == kAck) {
        m_acks++;
        if (m_next < 0) return {};
        if (m_next == 1 && m_fault == Fault::SilentAck) return {};
        const size_t size = (size_t)m_blockSize;
        const size_t blocks = m_current.empty() ? 1 : (m_current.size() + size - 1) / size;
        const size_t limit = m_fault == Fault::Endless ? kEndlessBlocks : blocks;
        if ((size_t)m_next >= limit) {
            m_next = -1;  // the last block's acknowledgement
            return {};
        }
        return Block((size_t)m_next++);
    }
    if (request.size() == kFrameLen && request[0] == 0x81 && request[1] == 0x88) {
        uint8_t x = 0;
        for (size_t i = 2; i < 10; i++) x ^= request[i];
        if (x != request[10]) return {};
        const uint8_t id = request[4];
        m_ids.Add(id);
        auto it = m_data.find(id);
        if (it == m_data.end() || m_fault == Fault::SilentFrame) return {};
        m_current = it->second;
        m_next = 1;
        return Block(0);
    }
    return {};
}

Responder Ups9EBlock::AsResponder() {
    return [this](const Bytes& request, qxsim::Fault, Reply& reply) {
        reply.data = Answer(request);
        return !reply.data.empty();
    };
}

Framer Ups9EBlock::RequestFramer() {
    return [](const uint8_t* data, size_t size) -> size_t {
        if (size == 0) return 0;
        if (data[0] != 0x81) return 1;
        return size >= kFrameLen ? kFrameLen : 0;
    };
}

}  // namespace qxsim
