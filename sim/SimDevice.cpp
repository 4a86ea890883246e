#include "SimDevice.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>

namespace qxsim {

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

Bytes Hex(const char* text) {
    Bytes out;
    if (!text) return out;
    int high = -1;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' || *p == '\t' || *p == '\n') continue;
        int d = HexDigit(*p);
        if (d < 0) break;
        if (high < 0) {
            high = d;
        } else {
            out.push_back((uint8_t)(high << 4 | d));
            high = -1;
        }
    }
    return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string ToHex(const Bytes& bytes) {
    std::string out;
    char two[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(two, sizeof(two), "%02X", bytes[i]);
        if (i) out += ' ';
        out += two;
    }
    return out;
}

Framer FrameByTerminator(uint8_t last) {
    return [last](const uint8_t* data, size_t size) -> size_t {
        const void* p = memchr(data, last, size);
        return p ? (size_t)((const uint8_t*)p - data) + 1 : 0;
    };
}

Framer FrameByLength(size_t length) {
    return [length](const uint8_t*, size_t size) -> size_t { return size >= length ? length : 0; };
}

// ---------------------------------------------------------------- Table

Table& Table::Add(const Bytes& request, const Bytes& answer, int delayMs) {
    m_rows.push_back(Row{request, answer, delayMs});
    return *this;
}

Table& Table::Add(const std::string& request, const std::string& answer, int delayMs) {
    return Add(Text(request), Text(answer), delayMs);
}

Table& Table::Otherwise(const Bytes& answer) {
    m_hasOtherwise = true;
    m_otherwise = answer;
    return *this;
}

Responder Table::AsResponder() const {
    Table copy = *this;
    return [copy](const Bytes& request, Fault, Reply& reply) {
        for (const Row& row : copy.m_rows) {
            if (row.request == request) {
                reply.data = row.answer;
                reply.delayMs = row.delayMs;
                return true;
            }
        }
        if (!copy.m_hasOtherwise) return false;
        reply.data = copy.m_otherwise;
        return true;
    };
}

// ---------------------------------------------------------------- Device

Device::Device() {}
Device::~Device() {}

void Device::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_responder = std::move(responder);
}

void Device::SetFramer(Framer framer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_framer = std::move(framer);
}

void Device::SetIdleGap(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idleGapMs = ms > 0 ? ms : 1;
}

void Device::SetDelay(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = ms > 0 ? ms : 0;
}

void Device::SetSplitGap(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_splitGapMs = ms > 0 ? ms : 0;
}

void Device::SetShortLength(size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shortLength = n;
}

void Device::InjectFault(Fault fault, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fault = count == 0 ? Fault::None : fault;
    m_faultCount = count;
}

void Device::ClearFaults() { InjectFault(Fault::None, 0); }

size_t Device::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.Total();
}

std::vector<Bytes> Device::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.Items();
}

Bytes Device::LastRequest() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.Empty() ? Bytes() : m_requests.Last();
}

size_t Device::AnswerCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answers;
}

void Device::ClearLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.Clear();
    m_answers = 0;
}

bool Device::WaitRequests(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_requests.Total() >= count; });
}

bool Device::WaitAnswers(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_answers >= count; });
}

int Device::IdleGap() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_idleGapMs;
}

bool Device::HasFramer() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return (bool)m_framer;
}

void Device::Feed(Bytes& pending, std::vector<std::vector<Chunk>>& answers) {
    for (;;) {
        Framer framer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            framer = m_framer;
        }
        if (!framer || pending.empty()) return;
        size_t n = framer(pending.data(), pending.size());
        if (n == 0) return;
        n = std::min(n, pending.size());
        Bytes request(pending.begin(), pending.begin() + (ptrdiff_t)n);
        pending.erase(pending.begin(), pending.begin() + (ptrdiff_t)n);
        answers.push_back(Answer(request));
    }
}

void Device::Quiet(Bytes& pending, std::vector<std::vector<Chunk>>& answers) {
    if (pending.empty()) return;
    if (HasFramer()) {
        pending.clear();  // a request the framer could not complete
        return;
    }
    Bytes request;
    request.swap(pending);
    answers.push_back(Answer(request));
}

std::vector<Chunk> Device::Answer(const Bytes& request) {
    Responder responder;
    Fault fault;
    int delay, splitGap;
    size_t shortLength;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        responder = m_responder;
        fault = m_fault;
        if (m_faultCount > 0 && --m_faultCount == 0) m_fault = Fault::None;
        delay = m_delayMs;
        splitGap = m_splitGapMs;
        shortLength = m_shortLength;
    }
    Reply reply;
    bool answered = responder && responder(request, fault, reply);
    // Logged once the model has taken it in, so that a test woken by WaitRequests sees what
    // the request did to the model (a command it records, a setting it changed).
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.Add(request);
    }
    m_changed.notify_all();

    std::vector<Chunk> out;
    if (!answered) return out;
    if (reply.delayMs >= 0) delay = reply.delayMs;
    Bytes& data = reply.data;
    if (!reply.faultDone) {
        switch (fault) {
        case Fault::Silence:
            return out;
        case Fault::Short:
            if (!data.empty()) {
                size_t n = shortLength ? shortLength : data.size() / 2;
                data.resize(std::min(n, data.size() - 1));
            }
            break;
        case Fault::Garbage: {
            size_t n = data.empty() ? 8 : data.size();
            std::lock_guard<std::mutex> lock(m_mutex);
            data.resize(n);
            for (size_t i = 0; i < n; ++i) {
                m_noise ^= m_noise << 13;
                m_noise ^= m_noise >> 17;
                m_noise ^= m_noise << 5;
                data[i] = (uint8_t)(m_noise >> 24);
            }
            break;
        }
        case Fault::Split:
            if (data.size() >= 2) {
                size_t half = data.size() / 2;
                out.push_back(Chunk{delay, Bytes(data.begin(), data.begin() + (ptrdiff_t)half)});
                out.push_back(Chunk{splitGap, Bytes(data.begin() + (ptrdiff_t)half, data.end())});
                return out;
            }
            break;
        case Fault::BadCheck:
            if (!data.empty()) data.back() ^= 0xFF;
            break;
        default:
            break;
        }
    }
    if (data.empty()) return out;
    out.push_back(Chunk{delay, data});
    return out;
}

void Device::NoteAnswered() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_answers;
    }
    m_changed.notify_all();
}

}  // namespace qxsim
