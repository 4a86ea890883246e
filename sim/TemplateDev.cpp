#include "TemplateDev.h"

#include <string.h>

namespace qxsim {

namespace {

std::vector<std::string> Tokens(const std::string& tmpl) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= tmpl.size()) {
        size_t end = tmpl.find(' ', start);
        if (end == std::string::npos) end = tmpl.size();
        if (end > start) out.push_back(tmpl.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool IsLiteral(const std::string& t) { return (t[0] >= '0' && t[0] <= '9') || (t[0] >= 'A' && t[0] <= 'F'); }

uint16_t Crc16(const uint8_t* p, int n) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < n; i++) {
        crc ^= p[i];
        for (int b = 0; b < 8; b++) crc = (crc & 1) ? (uint16_t)((crc >> 1) ^ 0xA001) : (uint16_t)(crc >> 1);
    }
    return crc;
}

// Width of a token in a frame; -1 for the data, whose width varies.
int Width(const std::string& t, int codeBytes) {
    if (IsLiteral(t)) return (int)t.size() / 2;
    if (t.compare(0, 4, "dlen") == 0) return 1;
    std::string k = t.substr(0, 3);
    if (k == "adr" || k == "len" || k == "sum" || k == "xor") return 1;
    if (k == "crc") return 2;
    if (k == "cmd") return codeBytes;
    if (k == "dat") return -1;
    return 0;
}

}  // namespace

TemplateDev::TemplateDev(uint8_t address) : m_address(address) {}

void TemplateDev::SetAddress(uint8_t address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_address = address;
}

void TemplateDev::SetRequest(const std::string& tmpl, int chk0) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_request = tmpl;
    m_requestChk0 = chk0;
}

void TemplateDev::SetReply(const std::string& tmpl, int chk0) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reply = tmpl;
    m_replyChk0 = chk0;
}

void TemplateDev::SetCodeBytes(int n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_codeBytes = n < 0 ? 0 : n;
}

void TemplateDev::SetData(uint8_t code, const Bytes& data) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_data[code] = data;
}

void TemplateDev::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

std::vector<TemplateDev::Command> TemplateDev::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

Bytes TemplateDev::Build(const std::string& tmpl, int chk0, uint8_t adr, const Bytes& code,
                         const Bytes& data, int* checkAt) {
    Bytes f;
    std::vector<size_t> lens;
    std::vector<std::pair<size_t, char>> checks;
    for (const std::string& t : Tokens(tmpl)) {
        if (IsLiteral(t)) {
            Bytes lit = Hex(t.c_str());
            if (lit.size() * 2 != t.size()) return Bytes();
            f.insert(f.end(), lit.begin(), lit.end());
        } else if (t.compare(0, 4, "dlen") == 0) {
            f.push_back((uint8_t)data.size());
        } else {
            std::string k = t.substr(0, 3);
            if (k == "adr") f.push_back(adr);
            else if (k == "cmd") f.insert(f.end(), code.begin(), code.end());
            else if (k == "dat") f.insert(f.end(), data.begin(), data.end());
            else if (k == "len") lens.push_back(f.size()), f.push_back(0);
            else if (k == "crc") checks.push_back({f.size(), 'c'}), f.push_back(0), f.push_back(0);
            else if (k == "sum" || k == "xor") checks.push_back({f.size(), k[0]}), f.push_back(0);
        }
    }
    for (size_t at : lens) f[at] = (uint8_t)f.size();
    for (const auto& c : checks) {
        int from = chk0 < 0 ? 0 : chk0;
        int n = (int)c.first - from;
        if (n < 0) n = 0;
        const uint8_t* p = f.data() + from;
        if (c.second == 'c') {
            uint16_t crc = Crc16(p, n);
            f[c.first] = (uint8_t)crc;
            f[c.first + 1] = (uint8_t)(crc >> 8);
        } else if (c.second == 's') {
            unsigned s = 0;
            for (int i = 0; i < n; i++) s += p[i];
            f[c.first] = (uint8_t)s;
        } else {
            uint8_t x = 0;
            for (int i = 0; i < n; i++) x ^= p[i];
            f[c.first] = x;
        }
    }
    if (checkAt) *checkAt = checks.empty() ? -1 : (int)checks.back().first;
    return f;
}

bool TemplateDev::Parse(const Bytes& request, Command& out) const {
    std::vector<std::string> tokens = Tokens(m_request);
    int fixed = 0, variable = 0;
    for (const std::string& t : tokens) {
        int w = Width(t, m_codeBytes);
        if (w < 0) variable++;
        else fixed += w;
    }
    int dataLen = (int)request.size() - fixed;
    if (dataLen < 0 || (variable == 0 && dataLen != 0) || variable > 1) return false;
    size_t at = 0;
    out = Command();
    out.adr = 0;
    for (const std::string& t : tokens) {
        int w = Width(t, m_codeBytes);
        if (w < 0) w = dataLen;
        if (t.compare(0, 3, "adr") == 0) out.adr = request[at];
        else if (t.compare(0, 3, "cmd") == 0) out.code.assign(request.begin() + (long)at, request.begin() + (long)at + w);
        else if (t.compare(0, 3, "dat") == 0) out.data.assign(request.begin() + (long)at, request.begin() + (long)at + w);
        at += (size_t)w;
    }
    // Everything else (literals, lengths, checks) must be exactly what the template makes.
    return Build(m_request, m_requestChk0, out.adr, out.code, out.data) == request;
}

Bytes TemplateDev::Answer(const Bytes& request, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Command c;
    if (m_silent || !Parse(request, c)) return Bytes();
    if (m_request.find("adr") != std::string::npos && c.adr != m_address) return Bytes();
    m_commands.push_back(c);
    uint8_t code = c.code.empty() ? 0 : c.code[0];
    auto it = m_data.find(code);
    if (it == m_data.end()) return Bytes();
    int checkAt = -1;
    Bytes reply = Build(m_reply, m_replyChk0, m_address, c.code, it->second, &checkAt);
    // A wrong check byte; a frame without a check gets a wrong last byte.
    if (fault == Fault::BadCheck && !reply.empty())
        reply[checkAt >= 0 ? (size_t)checkAt : reply.size() - 1] ^= 0x5A;
    return reply;
}

void TemplateDev::Serve(Device& device) {
    device.SetFramer(nullptr);
    device.SetResponder([this](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = Answer(request, fault);
        reply.faultDone = fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

}  // namespace qxsim
