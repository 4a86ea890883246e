#include "GsmModem.h"

#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <thread>

namespace qxsim {

// ---------------------------------------------------------------- reading a PDU back

namespace {

int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // the modem takes upper-case digits only
}

// Swapped semi-octets back to digits; a final F fills an odd count.
bool Digits(const Bytes& b, size_t at, size_t octets, size_t count, std::string* out) {
    out->clear();
    for (size_t i = 0; i < octets; i++) {
        uint8_t o = b[at + i];
        int lo = o & 0x0F, hi = o >> 4;
        if (lo > 9) return false;
        out->push_back((char)('0' + lo));
        if (hi == 0x0F && i + 1 == octets) break;
        if (hi > 9) return false;
        out->push_back((char)('0' + hi));
    }
    return count == (size_t)-1 || out->size() == count;
}

}  // namespace

SubmitPdu ParseSubmit(const std::string& hex) {
    SubmitPdu p;
    if (hex.size() % 2) {
        p.error = "odd number of hex digits";
        return p;
    }
    Bytes b;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = Nibble(hex[i]), lo = Nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            p.error = "not upper-case hex";
            return p;
        }
        b.push_back((uint8_t)(hi << 4 | lo));
    }
    size_t i = 0;
    auto need = [&](size_t n) {
        if (i + n > b.size()) {
            p.error = "short at octet " + std::to_string(i);
            return false;
        }
        return true;
    };
    if (!need(1)) return p;
    size_t l = b[i++];
    if (l > 0) {
        if (!need(l)) return p;
        p.smscType = b[i];
        if (!Digits(b, i + 1, l - 1, (size_t)-1, &p.smsc)) {
            p.error = "bad centre digits";
            return p;
        }
        i += l;
    }
    p.smscOctets = (int)i;
    if (!need(4)) return p;
    p.first = b[i++];
    p.mr = b[i++];
    size_t digits = b[i++];
    p.phoneType = b[i++];
    size_t octets = (digits + 1) / 2;
    if (!need(octets) || !Digits(b, i, octets, digits, &p.phone)) {
        if (p.error.empty()) p.error = "bad phone digits";
        return p;
    }
    i += octets;
    if (!need(4)) return p;
    p.pid = b[i++];
    p.dcs = b[i++];
    if ((p.first & 0x18) == 0) {
        p.error = "no validity period format";  // both encoders send the relative form
        return p;
    }
    p.vp = b[i++];
    p.udl = b[i++];
    size_t udOctets = p.dcs == 0 ? ((size_t)p.udl * 7 + 7) / 8 : (size_t)p.udl;
    if (i + udOctets != b.size()) {
        p.error = "user data length " + std::to_string(p.udl) + " does not match " +
                  std::to_string(b.size() - i) + " octets";
        return p;
    }
    size_t end = b.size();
    if (p.first & 0x40) {
        if (!need(6) || b[i] != 5 || b[i + 1] != 0 || b[i + 2] != 3) {
            p.error = "not a concatenation header";
            return p;
        }
        p.header = true;
        p.ref = b[i + 3];
        p.total = b[i + 4];
        p.seq = b[i + 5];
        i += 6;
    }
    p.ud.assign(b.begin() + (ptrdiff_t)i, b.begin() + (ptrdiff_t)end);
    p.tpduOctets = (int)(b.size() - (size_t)p.smscOctets);
    p.ok = true;
    return p;
}

// ---------------------------------------------------------------- the modem

GsmModem::GsmModem() {
    m_info["AT+CSQ"] = "+CSQ: 23,99";
    m_info["AT+CPIN?"] = "+CPIN: READY";
    m_info["AT+COPS?"] = "+COPS: 0,0,\"China Mobile\"";
    m_info["CSCA"] = "+CSCA: \"+8613800100500\",145";
    m_info["AT+ESIMS?"] = "+ESIMS: 1";
    Serve(m_pty);
}

void GsmModem::Serve(Device& dev) {
    // A request ends with CR (commands) or Ctrl-Z (a PDU); the LF some commands send after
    // their CR is a request of its own, which gets no answer.
    dev.SetFramer([](const uint8_t* data, size_t size) -> size_t {
        for (size_t i = 0; i < size; i++)
            if (data[i] == '\r' || data[i] == 0x1A || data[i] == '\n') return i + 1;
        return 0;
    });
    dev.SetResponder(
        [this](const Bytes& request, Fault fault, Reply& reply) { return Answer(request, fault, reply); });
}

GsmModem::~GsmModem() { Stop(); }

bool GsmModem::Start() { return m_pty.Start(); }
void GsmModem::Stop() { m_pty.Stop(); }

void GsmModem::SetCsq(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info["AT+CSQ"] = s;
}
void GsmModem::SetCpin(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info["AT+CPIN?"] = s;
}
void GsmModem::SetCops(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info["AT+COPS?"] = s;
}
void GsmModem::SetCsca(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info["CSCA"] = s;
}
void GsmModem::SetEsims(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info["AT+ESIMS?"] = s;
}
void GsmModem::SetReply(const std::string& prefix, const std::string& answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies[prefix] = answer;
}
void GsmModem::ClearReplies() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies.clear();
}

std::vector<std::string> GsmModem::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}
std::vector<std::string> GsmModem::Pdus() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pdus;
}
std::vector<int> GsmModem::CmgsLengths() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cmgs;
}

bool GsmModem::WaitPdus(size_t count, int timeoutMs) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_pdus.size() >= count) return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string GsmModem::Respond(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending += bytes;
    std::string out;
    for (;;) {
        size_t end = m_pending.find_first_of(std::string("\r\n\x1A", 3));
        if (end == std::string::npos) break;
        std::string request = m_pending.substr(0, end + 1);
        m_pending.erase(0, end + 1);
        out += Handle(request);
    }
    return out;
}

bool GsmModem::Answer(const Bytes& request, Fault fault, Reply& reply) {
    std::string line(request.begin(), request.end());
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (fault == Fault::Exception && line != "\n") {
            // Refused: the command does nothing, a PDU is not sent.
            m_pduMode = false;
            text = "\r\nERROR\r\n";
            reply.faultDone = true;
        } else {
            text = Handle(line);
        }
    }
    if (text.empty()) return false;
    reply.data.assign(text.begin(), text.end());
    return true;
}

// The answer to one request, under the lock.
std::string GsmModem::Handle(const std::string& request) {
    static const std::string kOk = "\r\nOK\r\n";
    static const std::string kError = "\r\nERROR\r\n";
    if (request == "\n") return "";
    std::string line = request;
    char end = line.back();
    line.pop_back();

    if (m_pduMode) {
        m_pduMode = false;
        if (end != 0x1A) return kError;  // ESC or CR: the PDU is abandoned
        m_pdus.push_back(line);
        auto it = m_replies.find("PDU");
        if (it != m_replies.end()) return it->second;
        return "\r\n+CMGS: " + std::to_string(m_nextRef++) + "\r\n" + kOk;
    }
    if (end != '\r') return "";
    m_commands.push_back(line);
    std::string echo = m_echo ? request : std::string();
    for (const auto& r : m_replies)
        if (line.compare(0, r.first.size(), r.first) == 0) return echo + r.second;

    if (line == "AT") return echo + kOk;
    if (line == "ATZ") {
        m_echo = true;
        return request + kOk;
    }
    if (line == "ATE0") {
        m_echo = false;
        return echo + kOk;
    }
    if (line.compare(0, 8, "AT+CMGS=") == 0) {
        int n = atoi(line.c_str() + 8);
        if (n < 1 || n > 180) return echo + kError;
        m_cmgs.push_back(n);
        m_pduMode = true;
        return echo + "\r\n> ";
    }
    if (line.find("+CSCA?") != std::string::npos) return echo + "\r\n" + m_info["CSCA"] + "\r\n" + kOk;
    auto info = m_info.find(line);
    if (info != m_info.end()) return echo + "\r\n" + info->second + "\r\n" + kOk;
    if (line.compare(0, 3, "AT+") == 0) return echo + kOk;  // settings: CMGF, CMEE, CFUN...
    return echo + kError;
}

}  // namespace qxsim
