#include "PrecisionAirc.h"

#include <stdio.h>

namespace qxsim {

namespace {

const uint8_t kStx = 0x02, kEtx = 0x03, kEnq = 0x05, kAck = 0x06;

void AppendHex(Bytes& b, unsigned v, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int d = digits - 1; d >= 0; d--) b.push_back((uint8_t)kDigits[(v >> (4 * d)) & 0xF]);
}

Responder ResponderOf(std::function<Bytes(const Bytes&, Fault)> answer, bool exceptionDone) {
    return [answer, exceptionDone](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = answer(request, fault);
        reply.faultDone = exceptionDone && fault == Fault::Exception;
        return !reply.data.empty();
    };
}

}  // namespace

// ---------------------------------------------------------------- JADC0110

JadcUnit::JadcUnit(int address) : m_addrChar((uint8_t)(0x30 + address)) {}

void JadcUnit::AppendCheck(Bytes& frame) {
    unsigned s = 0;
    for (uint8_t b : frame) s += b;
    s &= 0xFF;
    frame.push_back((uint8_t)(0x30 + (s >> 4)));
    frame.push_back((uint8_t)(0x30 + (s & 0xF)));
}

Bytes JadcUnit::Words(char type, int start, const std::vector<uint16_t>& items, int address) {
    Bytes b = {kStx, (uint8_t)(0x30 + address), (uint8_t)type, (uint8_t)(0x30 + start),
               (uint8_t)(0x30 + items.size())};
    for (uint16_t v : items) AppendHex(b, v, 4);
    b.push_back(kEtx);
    AppendCheck(b);
    return b;
}

Bytes JadcUnit::Bits(int start, const std::vector<uint8_t>& bytes, int address) {
    Bytes b = {kStx, (uint8_t)(0x30 + address), 'B', (uint8_t)(0x30 + start),
               (uint8_t)(0x30 + 8 * bytes.size())};
    for (uint8_t v : bytes) AppendHex(b, v, 2);
    b.push_back(kEtx);
    AppendCheck(b);
    return b;
}

void JadcUnit::AddBlock(const Bytes& block) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.push_back(block);
}

void JadcUnit::ClearBlocks() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.clear();
    m_next = 0;
}

void JadcUnit::SetEndByte(bool end) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_endByte = end;
}

void JadcUnit::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

int JadcUnit::Enquiries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_enq;
}

Bytes JadcUnit::Answer(const Bytes& request, Fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_silent || request.empty()) return {};
    if (request[0] == kEnq) {
        if (request.size() != 2 || request[1] != m_addrChar) return {};
        m_enq++;
        if (m_blocks.empty()) return {};
        if (m_next < m_blocks.size()) return m_blocks[m_next++];
        if (m_endByte) {
            m_next = 0;
            return {0x00};
        }
        return m_blocks.back();
    }
    if (request[0] == kStx && request.size() >= 6 && request[1] == m_addrChar) {
        Bytes body(request.begin(), request.end() - 2);
        AppendCheck(body);
        if (body != request) return {};  // a frame that does not check goes unanswered
        if (request[2] == '?') {
            Bytes b = {kStx, m_addrChar, '?'};
            for (const char* t = "JADC0110"; *t; t++) b.push_back((uint8_t)*t);
            b.push_back(kEtx);
            AppendCheck(b);
            return b;
        }
        if (request[2] == 'F') {
            m_next = 0;
            return {kAck};
        }
    }
    return {};  // acknowledgements and anything else
}

size_t JadcUnit::RequestLength(const uint8_t* d, size_t n) {
    if (n == 0) return 0;
    if (d[0] == kEnq) return n >= 2 ? 2 : 0;
    if (d[0] == kStx) {
        for (size_t i = 1; i < n; i++)
            if (d[i] == kEtx) return i + 3 <= n ? i + 3 : 0;
        return 0;
    }
    return 1;  // ACK, or a byte of no frame
}

void JadcUnit::Serve(Device& device) {
    device.SetFramer([](const uint8_t* d, size_t n) { return RequestLength(d, n); });
    device.SetResponder(ResponderOf([this](const Bytes& r, Fault f) { return Answer(r, f); }, false));
}

// ---------------------------------------------------------------- GOS

GosUnit::GosUnit(int address) : m_address(address) {}

void GosUnit::Alarm(Status& s, int state) {
    if (state == 1) {
        s.tem = 390, s.hum = 80, s.state = 0x02;
        s.alarmA = 1u << 7 | 1u << 9;
        s.alarmC = 1u << 7 | 1u << 0;
    } else if (state == 2) {
        s.tem = 150, s.hum = 30, s.state = 0x02;
        s.alarmA = 1u << 6 | 1u << 8;
    }
}

void GosUnit::Set(const Status& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = s;
}

void GosUnit::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void GosUnit::SetReplyChars(size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replyChars = n;
}

Bytes GosUnit::Answer(const Bytes& request, Fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_silent || request.size() < 5 || request[0] != kStx || request.back() != kEtx) return {};
    Bytes head = {kStx, request[1]};
    AppendHex(head, (unsigned)m_address, 2);
    if (request[2] != head[2] || request[3] != head[3]) return {};  // another unit
    Bytes b = head;
    const Status& s = m_status;
    if (request[1] == 'L' && request.size() == 5) {
        AppendHex(b, s.tem, 4);
        AppendHex(b, s.hum, 4);
        AppendHex(b, s.state, 2);
        AppendHex(b, s.alarmA, 4);
        AppendHex(b, s.alarmC, 4);
    } else if (request[1] == 'R' && request.size() == 7 && request[4] == '0' &&
               (request[5] == '3' || request[5] == '4')) {
        b.push_back('0');
        b.push_back(request[5]);
        AppendHex(b, request[5] == '3' ? s.temSet : s.humSet, 4);
    } else {
        return {};
    }
    b.push_back(kEtx);
    if (m_replyChars && m_replyChars < b.size()) b.resize(m_replyChars);
    return b;
}

void GosUnit::Serve(Device& device) {
    device.SetFramer(FrameByTerminator(kEtx));
    device.SetResponder(ResponderOf([this](const Bytes& r, Fault f) { return Answer(r, f); }, false));
}

// ---------------------------------------------------------------- C5000

C5000Unit::C5000Unit(int address) : m_address(address), m_record(512, 0) {}

void C5000Unit::SetByte(size_t at, uint8_t v) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (at < m_record.size()) m_record[at] = v;
}

void C5000Unit::SetWord(size_t at, uint16_t v) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (at + 1 < m_record.size()) {
        m_record[at] = (uint8_t)v;
        m_record[at + 1] = (uint8_t)(v >> 8);
    }
}

void C5000Unit::SetRecordBytes(size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes = n < 1 ? 1 : n > 512 ? 512 : n;
}

void C5000Unit::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

Bytes C5000Unit::Request(int address) {
    Bytes b = {(uint8_t)address, 0x01, 0x02};
    const unsigned s = (0x10000u - (b[0] + b[1] + b[2])) & 0xFFFF;
    b.push_back((uint8_t)s);
    b.push_back((uint8_t)(s >> 8));
    return b;
}

Bytes C5000Unit::Answer(const Bytes& request, Fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_silent || request != Request(m_address)) return {};
    Bytes b = m_record;
    b[0] = (uint8_t)m_address;
    b.resize(m_bytes);
    return b;
}

void C5000Unit::Serve(Device& device) {
    device.SetFramer(FrameByLength(5));
    device.SetResponder(ResponderOf([this](const Bytes& r, Fault f) { return Answer(r, f); }, false));
}

}  // namespace qxsim
