#include "CardDevices.h"

#include <stdio.h>
#include <string.h>

#include <cmath>

namespace qxsim {

namespace {

uint8_t Bcd(int v) { return (uint8_t)((v / 10) << 4 | (v % 10)); }

const char kHex[] = "0123456789ABCDEF";

void PutHex(std::string& s, uint8_t b) {
    s += kHex[b >> 4];
    s += kHex[b & 15];
}

std::string XorText(const uint8_t* p, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; i++) x ^= p[i];
    std::string s;
    PutHex(s, x);
    return s;
}

// A responder over a model's Answer; the model spoils its own check value for BadCheck.
template <class M>
void ServeModel(Device& device, M* model, bool ownCheck) {
    device.SetResponder([model, ownCheck](const Bytes& request, Fault fault, Reply& reply) {
        reply.data = model->Answer(request, fault);
        reply.faultDone = ownCheck && fault == Fault::BadCheck;
        return !reply.data.empty();
    });
}

}  // namespace

// ---------------------------------------------------------------- controller A

void CardA::SetEvent(const CardEvent& e) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_event = e;
}

void CardA::SetStatus(uint8_t status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = status;
}

void CardA::SetRepeating(bool repeating) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_repeat = repeating;
}

void AlarmCardA(CardA& m, int state) {
    if (!state) return;
    CardEvent e;
    e.st = 0x05;
    m.SetEvent(e);
    m.SetRepeating(true);
}

std::vector<uint16_t> CardA::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

Bytes CardA::Frame(uint16_t addr, uint16_t cmd, const Bytes& data) {
    Bytes f(34, 0);
    f[0] = 0x7E;
    f[1] = (uint8_t)addr;
    f[2] = (uint8_t)(addr >> 8);
    f[3] = (uint8_t)cmd;
    f[4] = (uint8_t)(cmd >> 8);
    for (size_t i = 0; i < data.size() && i < 26; i++) f[5 + i] = data[i];
    unsigned sum = 0;
    for (int i = 1; i <= 30; i++) sum += f[i];
    f[31] = (uint8_t)sum;
    f[32] = (uint8_t)(sum >> 8);
    f[33] = 0x0D;
    return f;
}

Bytes CardA::Answer(const Bytes& q, Fault fault) {
    if (q.size() != 34 || q[0] != 0x7E) return Bytes();
    unsigned sum = 0;
    for (int i = 1; i <= 30; i++) sum += q[i];
    if ((uint16_t)sum != (uint16_t)(q[31] | q[32] << 8)) return Bytes();
    uint16_t addr = (uint16_t)(q[1] | q[2] << 8), cmd = (uint16_t)(q[3] | q[4] << 8);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (addr != m_addr) return Bytes();
    m_commands.push_back(cmd);
    // Data area: reply offsets 5 onward.
    Bytes d(26, 0);
    d[0] = m_status;
    if (cmd == 0x1081) {
        // Record numbers are 24 bits; 0 is none.
        if (m_repeat) m_event.rec = m_event.rec >= 0xFFFFFF ? 1 : m_event.rec + 1;
        const CardEvent& e = m_event;
        d[12 - 5] = (uint8_t)e.rec;
        d[13 - 5] = (uint8_t)(e.rec >> 8);
        d[14 - 5] = (uint8_t)(e.rec >> 16);
        uint16_t low = (uint16_t)(e.card % 100000);
        d[17 - 5] = (uint8_t)low;
        d[18 - 5] = (uint8_t)(low >> 8);
        d[19 - 5] = (uint8_t)(e.card / 100000);
        d[20 - 5] = e.st;
        uint16_t date = (uint16_t)((e.year - 2000) << 9 | e.month << 5 | e.day);
        uint16_t time = (uint16_t)(e.hour << 11 | e.minute << 5 | e.second / 2);
        d[21 - 5] = (uint8_t)date;
        d[22 - 5] = (uint8_t)(date >> 8);
        d[23 - 5] = (uint8_t)time;
        d[24 - 5] = (uint8_t)(time >> 8);
        d[25 - 5] = 0x01;
        d[26 - 5] = e.door;
    }
    Bytes f = Frame(addr, cmd, d);
    if (fault == Fault::BadCheck) f[31] ^= 0x5A;
    return f;
}

void CardA::Serve(Device& device) {
    device.SetFramer(FrameByLength(34));
    ServeModel(device, this, true);
}

// ---------------------------------------------------------------- reader K

void CardK::SetEvent(const CardEvent& e) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_event = e;
}
void CardK::SetLowerCase(bool lower) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lower = lower;
}
void CardK::SetBadChecksum(bool bad) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_badSum = bad;
}
void CardK::SetBadLengthCheck(bool bad) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_badLen = bad;
}
void CardK::SetInfoLength(int n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_infoLen = n;
}
void CardK::SetAccept(uint8_t b) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_accept = b;
}

Bytes CardK::Frame(uint8_t adr, uint8_t cid1, uint8_t cid2, const Bytes& info) {
    std::string s;
    PutHex(s, 0x10);
    PutHex(s, adr);
    PutHex(s, cid1);
    PutHex(s, cid2);
    unsigned lenid = (unsigned)(2 * info.size()) & 0xFFF;
    unsigned lsum = (16 - ((lenid & 15) + ((lenid >> 4) & 15) + ((lenid >> 8) & 15)) % 16) % 16;
    unsigned length = lsum << 12 | lenid;
    PutHex(s, (uint8_t)(length >> 8));
    PutHex(s, (uint8_t)length);
    for (uint8_t b : info) PutHex(s, b);
    unsigned sum = 0;
    for (char c : s) sum += (uint8_t)c;
    uint16_t chk = (uint16_t)(0x10000 - (sum & 0xFFFF));
    PutHex(s, (uint8_t)(chk >> 8));
    PutHex(s, (uint8_t)chk);
    Bytes f;
    f.push_back(0x7F);
    f.insert(f.end(), s.begin(), s.end());
    f.push_back(0x0D);
    return f;
}

Bytes CardK::Answer(const Bytes& q, Fault fault) {
    if (q.size() < 18 || q[0] != 0x7F) return Bytes();
    std::lock_guard<std::mutex> lock(m_mutex);
    const CardEvent& e = m_event;
    Bytes info = {e.door,
                  (uint8_t)(e.card >> 24),
                  (uint8_t)(e.card >> 16),
                  (uint8_t)(e.card >> 8),
                  (uint8_t)e.card,
                  Bcd(e.year / 100),
                  Bcd(e.year % 100),
                  Bcd(e.month),
                  Bcd(e.day),
                  Bcd(e.hour),
                  Bcd(e.minute),
                  Bcd(e.second),
                  0,
                  m_accept};
    info.resize((size_t)(m_infoLen < 0 ? 0 : m_infoLen), 0);
    Bytes f = Frame(0x01, 0x80, 0x00, info);
    if (m_badLen) f[9] = f[9] == '0' ? '1' : '0';  // the LCHKSUM digit
    if (m_badSum || fault == Fault::BadCheck) f[f.size() - 2] = f[f.size() - 2] == '0' ? '1' : '0';
    if (m_lower)
        for (size_t i = 1; i + 1 < f.size(); i++)
            if (f[i] >= 'A' && f[i] <= 'F') f[i] = (uint8_t)(f[i] - 'A' + 'a');
    return f;
}

void CardK::Serve(Device& device) {
    device.SetFramer(FrameByTerminator(0x0D));
    ServeModel(device, this, true);
}

// ---------------------------------------------------------------- controller T

void CardT::SetEvent(const CardEvent& e, uint32_t stamp, uint8_t doorFlag) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hasEvent = true;
    m_event = e;
    m_stamp = stamp;
    m_doorFlag = doorFlag;
}
void CardT::SetNoEvent() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hasEvent = false;
}
void CardT::SetResult(uint8_t result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_result = result;
}

Bytes CardT::Frame(uint8_t addr, uint8_t kind, uint8_t cmd, const Bytes& data) {
    Bytes f = {0xA6, addr, kind, cmd, (uint8_t)data.size()};
    for (uint8_t b : data) f.push_back(b);
    unsigned sum = 0;
    for (uint8_t b : f) sum += b;
    f.push_back((uint8_t)sum);
    return f;
}

Bytes CardT::Answer(const Bytes& q, Fault) {
    if (q.size() < 6 || q[0] != 0xA6) return Bytes();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (q[1] != m_addr) return Bytes();
    uint8_t cmd = q[3];
    if (cmd != 0x01) return Frame(m_addr, 0x01, cmd, Bytes{cmd, m_result});
    if (!m_hasEvent) return Frame(m_addr, 0x01, 0x01, Bytes());
    const CardEvent& e = m_event;
    Bytes d = {m_doorFlag, e.door, e.st,
               (uint8_t)(e.card >> 24), (uint8_t)(e.card >> 16), (uint8_t)(e.card >> 8), (uint8_t)e.card,
               0, 0, 0x12, 0x34,
               (uint8_t)(m_stamp >> 24), (uint8_t)(m_stamp >> 16), (uint8_t)(m_stamp >> 8), (uint8_t)m_stamp,
               0x09};
    return Frame(m_addr, 0x01, 0x42, d);
}

void CardT::Serve(Device& device) {
    device.SetFramer([](const uint8_t* p, size_t n) -> size_t {
        if (n < 5) return 0;
        size_t len = (size_t)p[4] + 6;
        return n >= len ? len : 0;
    });
    ServeModel(device, this, false);  // the sum is the last byte
}

// ---------------------------------------------------------------- controller W

void CardW::SetEvent(const CardEvent& e) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_event = e;
}
void CardW::SetReplyLength(size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_len = n;
}

Bytes CardW::Request(uint32_t serial, uint8_t func) {
    Bytes f(64, 0);
    f[0] = 0x17;
    f[1] = func;
    for (int i = 0; i < 4; i++) f[4 + i] = (uint8_t)(serial >> (8 * i));
    for (int i = 8; i < 12; i++) f[i] = 0xFF;
    return f;
}

Bytes CardW::Answer(const Bytes& q, Fault) {
    if (q.size() != 64 || q[0] != 0x17) return Bytes();
    uint32_t serial = (uint32_t)(q[4] | q[5] << 8 | q[6] << 16 | (uint32_t)q[7] << 24);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (serial != m_serial) return Bytes();
    Bytes f(64, 0);
    f[0] = 0x17;
    f[1] = q[1];
    memcpy(&f[4], &q[4], 4);
    const CardEvent& e = m_event;
    for (int i = 0; i < 4; i++) f[8 + i] = (uint8_t)(e.rec >> (8 * i));
    f[12] = 1;
    f[13] = e.st;
    f[14] = e.door;
    f[15] = 1;
    for (int i = 0; i < 4; i++) f[16 + i] = (uint8_t)(e.card >> (8 * i));
    const int t[7] = {e.year / 100, e.year % 100, e.month, e.day, e.hour, e.minute, e.second};
    for (int i = 0; i < 7; i++) f[20 + i] = Bcd(t[i]);
    f[27] = 0x02;
    f.resize(m_len < 64 ? m_len : 64);
    return f;
}

void CardW::Serve(Device& device) {
    device.SetFramer(FrameByLength(64));
    ServeModel(device, this, false);
}

// ---------------------------------------------------------------- people counter

void PeopleCounter::SetCounts(int in, int out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_in = in;
    m_out = out;
}
void PeopleCounterDay(PeopleCounter& m, double t, int state) {
    const int k = (int)(std::fmod(t, 86400.0) / 10);
    if (state) {
        m.SetCounts(630 + k, 200 + k);
        return;
    }
    const int inside = 55 + (int)(20.0 * std::sin(k / 60.0));
    m.SetCounts(200 + k, 200 + k - inside);
}

void PeopleCounter::SetState(const uint8_t st[8]) {
    std::lock_guard<std::mutex> lock(m_mutex);
    memcpy(m_state, st, 8);
}
void PeopleCounter::SetBadXor(bool bad) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_badXor = bad;
}
std::vector<Bytes> PeopleCounter::ClockFrames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_clock;
}

Bytes PeopleCounter::Frame(uint8_t letter, uint16_t addr, const uint8_t data[8]) {
    Bytes f = {0xFA, letter, (uint8_t)(0xFF - letter), (uint8_t)(addr >> 8), (uint8_t)addr};
    for (int i = 0; i < 8; i++) f.push_back(data[i]);
    uint8_t x = 0;
    for (uint8_t b : f) x ^= b;
    f.push_back(x);
    f.push_back(0x0D);
    f.push_back(0x0A);
    return f;
}

Bytes PeopleCounter::Answer(const Bytes& q, Fault fault) {
    if (q.size() != 16 || q[0] != 0xFA) return Bytes();
    uint16_t addr = (uint16_t)(q[3] << 8 | q[4]);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (addr != m_addr) return Bytes();
    const bool bad = m_badXor || fault == Fault::BadCheck;
    auto frame = [&](uint8_t letter, const uint8_t d[8]) {
        Bytes f = Frame(letter, m_addr, d);
        if (bad) f[13] ^= 0x21;
        return f;
    };
    uint8_t d[8] = {0};
    switch (q[1]) {
    case 'a':
        m_clock.push_back(Bytes(q.begin() + 5, q.begin() + 13));
        return frame('a', &q[5]);
    case 'b':
        return frame('b', m_state);
    case 'e': {
        const uint8_t cfg[8] = {1, 2, 3, 4, 8, 0, 20, 0};
        return frame('e', cfg);
    }
    case 'f':
        d[2] = (uint8_t)(m_in >> 8);
        d[3] = (uint8_t)m_in;
        d[6] = (uint8_t)(m_out >> 8);
        d[7] = (uint8_t)m_out;
        return frame('f', d);
    case 'c': {
        // Twenty records, one an hour back from 2014-03-05 19:00: data bytes from offset 4
        // (year, month, day, hour, minute) then the in and out counts.
        Bytes all;
        for (int i = 0; i < 20; i++) {
            Bytes f = frame('c', d);
            f[4] = 14;
            f[5] = 3;
            f[6] = 5;
            f[7] = (uint8_t)(19 - i);
            f[8] = 0;
            f[9] = 0;
            f[10] = (uint8_t)(10 + i);
            f[11] = 0;
            f[12] = (uint8_t)(5 + i);
            uint8_t x = 0;
            for (int k = 0; k < 13; k++) x ^= f[k];
            f[13] = bad ? (uint8_t)(x ^ 0x21) : x;
            all.insert(all.end(), f.begin(), f.end());
        }
        return all;
    }
    default:
        return Bytes();
    }
}

void PeopleCounter::Serve(Device& device) {
    device.SetFramer(FrameByLength(16));
    ServeModel(device, this, true);
}

// ---------------------------------------------------------------- RS-485 reader

void Rs485Reader::SetCard(const std::string& card) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_card = card;
}
void Rs485Reader::SetDeviceNumber(int n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devId = n;
}
int Rs485Reader::DeviceNumber() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_devId;
}

void AlarmRs485Reader(Rs485ReaderId& m, int state) {
    if (state) m.serial = "40012345";
}

Bytes Rs485Reader::Frame(const std::string& body) {
    Bytes f(body.begin(), body.end());
    std::string x = XorText(f.data(), f.size());
    f.insert(f.end(), x.begin(), x.end());
    f.push_back(0x0D);
    return f;
}

Bytes Rs485Reader::Answer(const Bytes& q, Fault fault) {
    if (q.size() < 7 || q[0] != 0x09 || q[1] != 'A') return Bytes();
    if (XorText(q.data(), q.size() - 3) != std::string(q.end() - 3, q.end() - 1)) return Bytes();
    std::lock_guard<std::mutex> lock(m_mutex);
    const char digit = (char)('0' + m_addr);
    Bytes f;
    if (q.size() == 7 && q[2] == digit && q[3] == 'B') {
        f = Frame(std::string("\x09" "A") + digit + "B" + m_serial);
    } else if (q.size() == 7 && q[2] == digit && q[3] == 'F') {
        f = m_card.empty() ? Frame(std::string("\x09") + digit + "N")
                           : Frame(std::string("\x09" "A") + digit + "F" + m_card + "1");
    } else if (q[2] == 'X' && q[3] == 'D' && q.size() >= 15 &&
               std::string(q.begin() + 4, q.begin() + 12) == m_serial) {
        if (q.size() == 16) {
            m_devId = q[12] - '0';
            f = Frame("\x09" "AXD");
        } else {
            f = Frame(std::string("\x09" "AXD") + (char)('0' + m_devId));
        }
    }
    if (!f.empty() && fault == Fault::BadCheck) f[f.size() - 2] ^= 0x01;
    return f;
}

void Rs485Reader::Serve(Device& device) {
    device.SetFramer(FrameByTerminator(0x0D));
    ServeModel(device, this, true);
}

}  // namespace qxsim
