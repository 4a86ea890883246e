#include "AlarmUnits.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include <chrono>
#include <thread>

namespace qxsim {

namespace {

uint8_t Xor(const uint8_t* p, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; i++) x ^= p[i];
    return x;
}

std::string Strip(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

const char* Prefixed(const std::map<std::string, std::string>& replies, const std::string& line) {
    for (const auto& r : replies)
        if (line.compare(0, r.first.size(), r.first) == 0) return r.second.c_str();
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- the remote alarm module

AlarmModule::AlarmModule()
    : m_id{0x30, 0x00, 0x00, 0x01}, m_status{0x00, 0x05, 0x00, 0x00}, m_request(20, 0),
      m_io{0x01, 0x00, 0x00, 0x00} {}

size_t AlarmModule::FrameLength(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] != 0xAA) return 1;
    if (size < 3) return 0;
    size_t total = ((size_t)data[1] << 8 | data[2]) + 6;
    return size >= total ? total : 0;
}

Bytes AlarmModule::Frame(uint8_t cmd, const Bytes& data) {
    Bytes f{0xAA, (uint8_t)(data.size() >> 8), (uint8_t)data.size(), cmd};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back((uint8_t)(cmd ^ Xor(data.data(), data.size())));
    f.push_back(0x55);
    return f;
}

void AlarmModule::Serve(Device& dev) {
    dev.SetFramer(FrameLength);
    dev.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

Bytes AlarmModule::Respond(const Bytes& bytes) {
    Bytes out;
    std::vector<Bytes> frames;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
        size_t n;
        while ((n = FrameLength(m_pending.data(), m_pending.size())) > 0) {
            frames.emplace_back(m_pending.begin(), m_pending.begin() + (long)n);
            m_pending.erase(m_pending.begin(), m_pending.begin() + (long)n);
        }
    }
    for (const Bytes& f : frames) {
        Bytes a = Answer(f);
        out.insert(out.end(), a.begin(), a.end());
    }
    return out;
}

Bytes AlarmModule::Answer(const Bytes& req, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (req.size() < 6 || req[0] != 0xAA) return {};
    size_t l = (size_t)req[1] << 8 | req[2];
    if (req.size() != l + 6 || req[l + 5] != 0x55 || req[l + 4] != Xor(req.data() + 3, l + 1))
        return {};
    uint8_t cmd = req[3];
    Bytes data(req.begin() + 4, req.begin() + 4 + (long)l);
    m_requests.push_back({cmd, data});
    auto text = [&](size_t from) {
        size_t end = from;
        while (end < data.size() && data[end]) end++;
        return std::string(data.begin() + (long)from, data.begin() + (long)end);
    };

    Bytes out;
    switch (cmd) {
    case 0x01: out = m_id; break;
    case 0x02: out = m_status; break;
    case 0x04: m_tts = text(0); break;
    case 0x06: out = {m_signal}; break;
    case 0x07: out = m_request; break;
    case 0x11: {
        std::string phone = text(0);
        m_sms.emplace_back(phone, text(phone.size() + 1 < data.size() ? phone.size() + 1 : data.size()));
        out = {m_smsStatus};
        break;
    }
    case 0x12:
    case 0x14:
    case 0x15: out = {m_smsStatus}; break;
    case 0x13: m_pieces.push_back(data.size()); break;
    case 0x21: m_dialled.push_back(text(0)); break;
    case 0x32:
        if (data.size() == 2) m_relays[data[0]] = data[1];
        break;
    case 0x33: out = m_io; break;
    default: break;  // 03, 05, 10, 20, 31: acknowledged without data
    }

    Bytes frame = Frame(cmd, out);
    auto spoil = m_spoils.find(cmd);
    Spoil how = spoil == m_spoils.end() ? Spoil::None : spoil->second.first;
    if (fault == Fault::BadCheck) how = Spoil::WrongCheck;
    switch (how) {
    case Spoil::WrongCheck: frame[frame.size() - 2] ^= 0x01; break;
    case Spoil::End54: frame.back() = 0x54; break;
    case Spoil::Length:
        out.resize((size_t)spoil->second.second, 0x00);
        frame = Frame(cmd, out);
        break;
    default: break;
    }
    return frame;
}

void AlarmModule::SetId(const Bytes& b) { std::lock_guard<std::mutex> l(m_mutex); m_id = b; }
void AlarmModule::SetStatus(const Bytes& b) { std::lock_guard<std::mutex> l(m_mutex); m_status = b; }
void AlarmModule::SetSignal(uint8_t s) { std::lock_guard<std::mutex> l(m_mutex); m_signal = s; }
void AlarmModule::SetRequest(const Bytes& b) { std::lock_guard<std::mutex> l(m_mutex); m_request = b; }
void AlarmModule::SetIo(const Bytes& b) { std::lock_guard<std::mutex> l(m_mutex); m_io = b; }
void AlarmModule::SetSmsStatus(uint8_t s) { std::lock_guard<std::mutex> l(m_mutex); m_smsStatus = s; }
void AlarmModule::SetSpoil(uint8_t cmd, Spoil spoil, int length) {
    std::lock_guard<std::mutex> l(m_mutex);
    m_spoils[cmd] = {spoil, length};
}
void AlarmModule::ClearSpoils() { std::lock_guard<std::mutex> l(m_mutex); m_spoils.clear(); }

std::vector<AlarmModule::Request> AlarmModule::Requests() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_requests;
}
std::vector<std::pair<std::string, std::string>> AlarmModule::Sms() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_sms;
}
std::vector<std::string> AlarmModule::Dialled() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_dialled;
}
std::string AlarmModule::TtsText() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_tts;
}
std::map<int, int> AlarmModule::Relays() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_relays;
}
std::vector<size_t> AlarmModule::Pieces() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_pieces;
}

// ---------------------------------------------------------------- units of text lines

void LineUnit::Serve(Device& dev) {
    dev.SetFramer(FrameByTerminator('\n'));
    dev.SetResponder([this](const Bytes& request, Fault, Reply& reply) {
        std::string text = Respond(std::string(request.begin(), request.end()));
        if (text.empty()) return false;
        reply.data.assign(text.begin(), text.end());
        return true;
    });
}

std::string LineUnit::Respond(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending += bytes;
    std::string out;
    size_t end;
    while ((end = m_pending.find('\n')) != std::string::npos) {
        std::string line = Strip(m_pending.substr(0, end + 1));
        m_pending.erase(0, end + 1);
        if (line.empty()) continue;
        m_lines.push_back(line);
        const char* r = Prefixed(m_replies, line);
        out += r ? std::string(r) : Handle(line);
    }
    return out;
}

void LineUnit::SetReply(const std::string& prefix, const std::string& answer) {
    std::lock_guard<std::mutex> l(m_mutex);
    m_replies[prefix] = answer;
}
void LineUnit::ClearReplies() { std::lock_guard<std::mutex> l(m_mutex); m_replies.clear(); }
std::vector<std::string> LineUnit::Lines() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_lines;
}

// ---------------------------------------------------------------- the CDMA modem

std::string CdmaModem::Handle(const std::string& line) {
    static const std::string kOk = "\r\nOK\r\n";
    if (line.compare(0, 8, "AT+CMGS=") == 0) m_cmgs.push_back(line);
    if (line == "AT" || line == "ATZ" || line == "ATE0" || line == "AT+CMGF=0") return kOk;
    if (line == "AT+CSQ?") return "\r\n" + m_csq + "\r\n" + kOk;
    if (line.compare(0, 10, "AT+CMGS=,\"") == 0 && line.back() == '"') return kOk;
    return "\r\nERROR\r\n";
}

void CdmaModem::SetCsq(const std::string& s) { std::lock_guard<std::mutex> l(m_mutex); m_csq = s; }
std::vector<std::string> CdmaModem::CmgsLines() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_cmgs;
}

namespace {

// Bits of a byte string read most significant first.
struct BitReader {
    const Bytes& b;
    size_t at = 0;  // bit position
    bool Left(size_t n) const { return at + n <= b.size() * 8; }
    uint32_t Get(size_t n) {
        uint32_t v = 0;
        for (size_t i = 0; i < n; i++, at++) v = v << 1 | ((b[at / 8] >> (7 - at % 8)) & 1);
        return v;
    }
};

}  // namespace

CdmaSubmit ParseCdmaSubmit(const std::string& line) {
    CdmaSubmit s;
    const std::string head = "AT+CMGS=,\"";
    std::string l = Strip(line);
    if (l.compare(0, head.size(), head) != 0 || l.size() < head.size() + 1 || l.back() != '"') {
        s.error = "not an AT+CMGS=,\"...\" line";
        return s;
    }
    std::string hex = l.substr(head.size(), l.size() - head.size() - 1);
    if (hex.size() % 2 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
        s.error = "not lower-case hex octets";
        return s;
    }
    Bytes b;
    for (size_t i = 0; i < hex.size(); i += 2) b.push_back((uint8_t)strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    size_t i = 0;
    auto expect = [&](const Bytes& want, const char* what) {
        if (i + want.size() > b.size() || !std::equal(want.begin(), want.end(), b.begin() + (long)i)) {
            s.error = std::string("no ") + what + " at octet " + std::to_string(i);
            return false;
        }
        i += want.size();
        return true;
    };
    if (!expect({0x00, 0x00, 0x02, 0x10, 0x02, 0x04}, "message type and teleservice")) return s;
    if (i >= b.size()) return s.error = "short", s;
    s.addressOctets = b[i++];
    if (i + (size_t)s.addressOctets > b.size()) return s.error = "short address", s;
    Bytes addr(b.begin() + (long)i, b.begin() + (long)i + s.addressOctets);
    i += (size_t)s.addressOctets;
    BitReader ar{addr};
    if (!ar.Left(10) || ar.Get(2) != 0) return s.error = "address modes", s;
    uint32_t digits = ar.Get(8);
    if (!ar.Left(4 * digits) || (10 + 4 * digits + 7) / 8 != addr.size())
        return s.error = "address length does not match its digits", s;
    for (uint32_t d = 0; d < digits; d++) {
        uint32_t v = ar.Get(4);
        s.phone.push_back(v < 10 ? (char)('0' + v) : (char)('A' + v - 10));
    }
    if (!expect({0x08}, "bearer data id")) return s;
    if (i >= b.size()) return s.error = "short", s;
    s.bearerOctets = b[i++];
    if (i + (size_t)s.bearerOctets != b.size()) return s.error = "bearer length does not match", s;
    if (!expect({0x00, 0x03, 0x20, 0x00, 0x00, 0x01}, "message identifier and user data id")) return s;
    if (i >= b.size()) return s.error = "short", s;
    s.userDataOctets = b[i++];
    Bytes ud(b.begin() + (long)i, b.end());
    if (ud.size() != (size_t)s.userDataOctets) return s.error = "user data length does not match", s;
    BitReader ur{ud};
    if (!ur.Left(13) || ur.Get(5) != 4) return s.error = "not Unicode", s;
    uint32_t k = ur.Get(8);
    if ((size_t)(k + 1) * 2 != ud.size()) return s.error = "unit count does not match", s;
    for (uint32_t u = 0; u < k; u++) s.units.push_back((uint16_t)ur.Get(16));
    if (ur.Get(3) != 0) return s.error = "fill bits", s;
    s.ok = true;
    return s;
}

// ---------------------------------------------------------------- the text-command unit

std::string TextUnit::Handle(const std::string& line) {
    static const std::string kOk = "OK\r\r\n";
    if (line == "csq()") return std::to_string(m_csq) + "\r\r\n" + kOk;
    if (line == "get_buzzer()") return std::to_string(m_buzzer) + "\r\r\n" + kOk;
    if (line == "set_buzzer(0)" || line == "set_buzzer(1)") {
        m_buzzer = line[11] - '0';
        return kOk;
    }
    static const char* const kKnown[] = {"echo(", "send_sms(\"", "rf_call(\"", "line_call(\"",
                                         "device_reset()", "tts_play(\""};
    for (const char* k : kKnown)
        if (line.compare(0, strlen(k), k) == 0 && line.back() == ')') return kOk;
    return "ERROR\r\r\n";
}

void TextUnit::SetCsq(int v) { std::lock_guard<std::mutex> l(m_mutex); m_csq = v; }
void TextUnit::SetBuzzer(int v) { std::lock_guard<std::mutex> l(m_mutex); m_buzzer = v; }
int TextUnit::Buzzer() const { std::lock_guard<std::mutex> l(m_mutex); return m_buzzer; }

// ---------------------------------------------------------------- the touch panel

void TouchPanel::Serve(Device& dev) {
    dev.SetFramer([](const uint8_t* d, size_t n) -> size_t {
        if (n == 0) return 0;
        if (d[0] != 0xA5) return 1;
        if (n < 3) return 0;
        if (d[1] != 0x5A) return 1;
        return n >= (size_t)d[2] + 3 ? (size_t)d[2] + 3 : 0;
    });
    dev.SetResponder([this](const Bytes& request, Fault, Reply&) {
        std::lock_guard<std::mutex> l(m_mutex);
        if (request.size() >= 3 && request[0] == 0xA5) m_frames.push_back(request);
        return false;
    });
}

std::vector<Bytes> TouchPanel::Frames() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_frames;
}

bool TouchPanel::WaitFrames(size_t count, int timeoutMs) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> l(m_mutex);
            if (m_frames.size() >= count) return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace qxsim
