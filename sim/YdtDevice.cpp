#include "YdtDevice.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

namespace qxsim {

namespace {

std::string Hex(unsigned v, int digits) {
    char b[16];
    snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Value of n hexadecimal characters at s[pos]; -1 when one is not a digit.
long HexAt(const std::string& s, size_t pos, size_t n) {
    if (pos + n > s.size()) return -1;
    long v = 0;
    for (size_t i = 0; i < n; i++) {
        char c = s[pos + i];
        if (!IsHex(c)) return -1;
        v = v * 16 + (isdigit((unsigned char)c) ? c - '0' : (toupper((unsigned char)c) - 'A' + 10));
    }
    return v;
}

}  // namespace

uint16_t YdtChecksum(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) sum += c;
    return (uint16_t)((~sum + 1) & 0xFFFF);
}

uint16_t YdtLength(int lenid) {
    lenid &= 0xFFF;
    unsigned s = (lenid & 0xF) + ((lenid >> 4) & 0xF) + ((lenid >> 8) & 0xF);
    unsigned lchk = (~s + 1) & 0xF;
    return (uint16_t)(lchk << 12 | lenid);
}

std::string YdtFrame(int ver, int adr, int cid1, int cid2, const std::string& info) {
    std::string body = Hex(ver & 0xFF, 2) + Hex(adr & 0xFF, 2) + Hex(cid1 & 0xFF, 2) +
                       Hex(cid2 & 0xFF, 2) + Hex(YdtLength((int)info.size()), 4) + info;
    return "~" + body + Hex(YdtChecksum(body), 4) + "\r";
}

std::string YdtInfoAt(const std::vector<std::pair<int, std::string>>& fields, int end) {
    std::string info(end > 13 ? (size_t)(end - 13) : 0, '0');
    for (const auto& f : fields) {
        if (f.first < 13) continue;
        const size_t at = (size_t)(f.first - 13);
        if (at + f.second.size() > info.size()) info.resize(at + f.second.size(), '0');
        info.replace(at, f.second.size(), f.second);
    }
    return info;
}

std::string YdtFloat(float v) {
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    std::string s;
    for (int i = 0; i < 4; i++) s += Hex((bits >> (8 * i)) & 0xFF, 2);
    return s;
}

std::string YdtWord(unsigned v) { return Hex(v & 0xFFFF, 4); }
std::string YdtByte(unsigned v) { return Hex(v & 0xFF, 2); }
std::string YdtDword(uint32_t v) { return Hex(v, 8); }

YdtDevice::YdtDevice(int adr, int cid1, int ver) : m_adr(adr & 0xFF), m_cid1(cid1 & 0xFF), m_ver(ver & 0xFF) {}

void YdtDevice::SetAddress(int adr) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_adr = adr & 0xFF;
}

void YdtDevice::SetVersion(int ver) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ver = ver & 0xFF;
}

int YdtDevice::Version() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ver;
}

void YdtDevice::SetInfo(int cid2, const std::string& info) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info[m_cid1 << 8 | (cid2 & 0xFF)] = info;
}

void YdtDevice::SetInfo(int cid1, int cid2, const std::string& info) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info[(cid1 & 0xFF) << 8 | (cid2 & 0xFF)] = info;
}

void YdtDevice::SetRtn(int cid2, int rtn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (rtn)
        m_rtn[cid2 & 0xFF] = rtn & 0xFF;
    else
        m_rtn.erase(cid2 & 0xFF);
}

void YdtDevice::Remove(int cid2) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info.erase(m_cid1 << 8 | (cid2 & 0xFF));
    m_rtn.erase(cid2 & 0xFF);
}

void YdtDevice::SetFault(YdtFault fault, int param) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Set(fault, param);
}

void YdtDevice::FaultOnce(YdtFault fault, int param) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Once(fault, param);
}

void YdtDevice::ClearFault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Clear();
}

std::vector<std::string> YdtDevice::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.Items();
}

std::vector<int> YdtDevice::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<int> out;
    for (const std::string& r : m_requests.Items()) out.push_back((int)HexAt(r, 7, 2));
    return out;
}

std::vector<std::string> YdtDevice::Infos(int cid2) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> out;
    for (const std::string& r : m_requests.Items())
        if (HexAt(r, 7, 2) == (cid2 & 0xFF) && r.size() >= 17) out.push_back(r.substr(13, r.size() - 17));
    return out;
}

void YdtDevice::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.Clear();
}

std::vector<uint8_t> YdtDevice::Handle(const std::vector<uint8_t>& request) {
    std::string r = Handle(std::string(request.begin(), request.end()));
    return std::vector<uint8_t>(r.begin(), r.end());
}

std::string YdtDevice::Handle(const std::string& request, YdtFault forced) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string frame = request;
    while (!frame.empty() && (frame.back() == '\r' || frame.back() == '\n')) frame.pop_back();
    m_requests.Add(frame);
    return Answer(frame, forced);
}

bool YdtDevice::Serves(int cid1) const {
    if (cid1 == m_cid1) return true;
    for (const auto& i : m_info)
        if (i.first >> 8 == cid1) return true;
    return false;
}

std::string YdtDevice::Answer(const std::string& f, YdtFault forced) {
    // Not a frame at all, another unit or another class of device: silence.
    if (f.size() < 17 || f[0] != '~') return "";
    long ver = HexAt(f, 1, 2), adr = HexAt(f, 3, 2), cid1 = HexAt(f, 5, 2), cid2 = HexAt(f, 7, 2);
    long length = HexAt(f, 9, 4);
    if (ver < 0 || adr < 0 || cid1 < 0 || cid2 < 0 || length < 0) return "";
    if (adr != m_adr || !Serves((int)cid1)) return "";
    const int key = (int)(cid1 << 8 | cid2);

    int rtn = 0;
    std::string info;
    long sum = HexAt(f, f.size() - 4, 4);
    int lenid = (int)(length & 0xFFF);
    if (sum < 0 || (uint16_t)sum != YdtChecksum(f.substr(1, f.size() - 5)))
        rtn = 0x02;
    else if (YdtLength(lenid) != (uint16_t)length || (size_t)lenid != f.size() - 17)
        rtn = 0x03;
    else if (cid2 == 0x4F)
        rtn = 0;
    else if (ver != m_ver)
        rtn = 0x01;
    else if (cid1 == m_cid1 && m_rtn.count((int)cid2))
        rtn = m_rtn[(int)cid2];
    else if (!m_info.count(key))
        rtn = 0x04;
    else
        info = m_info[key];

    Planned p = forced != YdtFault::None ? Planned{forced, -1} : m_faults.Next();
    int replyAdr = m_adr;
    switch (p.kind) {
    case YdtFault::Silence: return "";
    case YdtFault::Rtn:
        rtn = p.param >= 0 ? p.param : 0x04;
        info.clear();
        break;
    case YdtFault::OtherAddress: replyAdr = (m_adr + 1) & 0xFF; break;
    default: break;
    }
    std::string reply = YdtFrame(m_ver, replyAdr, (int)cid1, rtn, info);
    switch (p.kind) {
    case YdtFault::BadChecksum: {
        char& c = reply[reply.size() - 2];
        c = c == '0' ? '1' : '0';
        break;
    }
    case YdtFault::BadLength: {
        char& c = reply[9];
        c = c == '0' ? '1' : '0';
        break;
    }
    case YdtFault::Short:
        reply.resize(p.param >= 0 && (size_t)p.param < reply.size() ? (size_t)p.param
                                                                    : reply.size() / 2);
        break;
    case YdtFault::NoSoi: reply.erase(0, 1); break;
    case YdtFault::Lowercase: {
        // Lower-case digits with a CHKSUM that is right for them.
        std::string body = reply.substr(1, reply.size() - 6);
        for (char& c : body) c = (char)tolower((unsigned char)c);
        std::string sum = Hex(YdtChecksum(body), 4);
        for (char& c : sum) c = (char)tolower((unsigned char)c);
        reply = "~" + body + sum + "\r";
        break;
    }
    default: break;
    }
    return reply;
}

void ServeYdt(Device& transport, YdtDevice& device) {
    transport.SetFramer(FrameByTerminator('\r'));
    transport.SetResponder([&device](const Bytes& request, Fault fault, Reply& reply) {
        std::string r = device.Handle(std::string(request.begin(), request.end()),
                                      fault == Fault::BadCheck ? YdtFault::BadChecksum
                                                               : YdtFault::None);
        if (r.empty()) return false;
        reply.data.assign(r.begin(), r.end());
        reply.faultDone = fault == Fault::BadCheck;
        return true;
    });
}

}  // namespace qxsim
