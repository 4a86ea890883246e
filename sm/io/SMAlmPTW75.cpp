#include "io/SMAlmPTW75.h"

#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "io/AlmMsg.h"
#include "io/AtModem.h"
#include "io/SmsPdu.h"

namespace {

const size_t kMaxNumber = 63;
const size_t kMaxText = 255;

std::string Bits(unsigned value, int n) {
    std::string b;
    for (int i = n - 1; i >= 0; i--) b.push_back((value >> i) & 1 ? '1' : '0');
    return b;
}

int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The GBK text as UTF-16 units, big-endian, after the mark FE FF; false when a byte sequence
// is not GBK (the message would go out cut).
bool Utf16(const std::string& gbk, std::vector<uint8_t>* out) {
    iconv_t cd = iconv_open("UTF-16BE", "GBK");
    if (cd == (iconv_t)-1) return false;
    std::vector<char> buf(gbk.size() * 4 + 4);
    char* src = const_cast<char*>(gbk.data());
    size_t srcLeft = gbk.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == (size_t)-1 || srcLeft != 0) return false;
    out->assign({0xFE, 0xFF});
    out->insert(out->end(), buf.data(), dst);
    return true;
}

// A length octet as two lower-case hex digits (the callers keep n within 255).
std::string Octet(size_t n) {
    char t[12];
    snprintf(t, sizeof t, "%02x", (unsigned)(n & 0xFF));
    return t;
}

}  // namespace

CSMAlmPTW75::CSMAlmPTW75() : CSMBase(0xA09), m_iSignal(0), m_bGsmInited(0)
{
    m_iDataCnt = 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALM-PTW75");
}

void CSMAlmPTW75::RegDb(IDbBase* db, int force)
{
    qx::sql::RegDb(*this, db, force, qx::alm::kModemType, &qx::alm::kSignalDef, 1);
}

int CSMAlmPTW75::ChkDb(tagSMItem* item)
{
    return qx::alm::ChkDb(*this, item);
}

int CSMAlmPTW75::DataGet(ISerBase* ser, int addr, int wait)
{
    return qx::alm::QuietPoll(*this, ser, addr, "SMAlmGsm", m_iSignal);
}

int CSMAlmPTW75::DataVal(int fld)
{
    return fld == 1 ? m_iSignal : -1;
}

int CSMAlmPTW75::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return qx::alm::UpdAlmGsm(*this, m_iSignal, flags, alarmBits, snapId, sid, hist);
}

std::string CSMAlmPTW75::AddressBits(const std::string& number)
{
    std::string digits;
    for (char c : number)
        if (Nibble(c) >= 0)
            digits += Bits((unsigned)Nibble(c), 4);
    std::string b = "00" + Bits((unsigned)(digits.size() / 4), 8) + digits;
    b.append((8 - b.size() % 8) % 8, '0');
    return b;
}

std::string CSMAlmPTW75::UserDataBits(const std::string& unitsHex)
{
    std::string units;
    for (char c : unitsHex)
        if (Nibble(c) >= 0)
            units += Bits((unsigned)Nibble(c), 4);
    return "00100" + Bits((unsigned)(units.size() / 16), 8) + units + "000";
}

std::string CSMAlmPTW75::BitsToHex(const std::string& bits)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    if (bits.size() % 4)
        return hex;
    for (size_t i = 0; i < bits.size(); i += 4) {
        unsigned v = 0;
        bool ok = true;
        for (size_t j = i; j < i + 4; j++) {
            ok = ok && (bits[j] == '0' || bits[j] == '1');
            v = v << 1 | (bits[j] == '1');
        }
        if (!ok) {
            printf("\r\n no this char \r");
            continue;
        }
        hex.push_back(kDigits[v]);
    }
    return hex;
}

std::string CSMAlmPTW75::CmgsLine(const std::string& number, const std::string& gbkText)
{
    if (number.size() > kMaxNumber || gbkText.size() > kMaxText)
        return "";
    std::vector<uint8_t> utf16;
    if (!Utf16(gbkText, &utf16))
        return "";
    size_t k = utf16.size() / 2;
    // The user data and bearer lengths are single octets: (k + 1) * 2 + 7 must stay within 255.
    if (k > (size_t)kMaxUnits)
        return "";
    std::vector<char> unitsHex(utf16.size() * 2 + 1);
    gsmBytes2String(utf16.data(), unitsHex.data(), (int)utf16.size());

    std::string addrBits = AddressBits(number);
    if (addrBits.compare(2, 8, Bits(0, 8)) == 0)
        return "";  // no digit to call
    std::string addr = BitsToHex(addrBits);
    std::string ud = BitsToHex(UserDataBits(unitsHex.data()));
    size_t udl = (k + 1) * 2;
    std::string line = "AT+CMGS=,\"";
    line += "000002100204" + Octet(addr.size() / 2) + addr;
    line += "08" + Octet(5 + 2 + udl) + "0003200000";
    line += "01" + Octet(udl) + ud;
    line += "\"\r\n";
    return line;
}

int CSMAlmPTW75::CdmaInit(ISerBase* ser)
{
    if (!ser || !ser->IsOpened())
        return 0;
    static const char* const kSteps[] = {"AT\r\n", "ATZ\r\n", "ATE0\r\n", "AT+CSQ?\r\n"};
    qx::at::Reply r;
    // Each step needs OK in its own reply.
    for (const char* step : kSteps)
        if (qx::at::Exchange(ser, step, 100, r, qx::at::kReplyDefault, qx::at::kText) <= 0 ||
            !r.Has("OK"))
            return 0;
    int signal = 0;
    if (!qx::at::CsqValue(r, &signal) || signal < 6)
        return 0;
    m_iSignal = signal;
    m_bGsmInited = 1;
    return 1;
}

int CSMAlmPTW75::send_message_CDMA(ISerBase* ser)
{
    if (!ser || !ser->IsOpened())
        return 0;
    if (m_bGsmInited != 1)
        CdmaInit(ser);
    if (m_bGsmInited != 1 || m_strPhone.empty() || m_strText.empty())
        return 0;
    std::string line = CmgsLine(m_strPhone, m_strText);
    if (line.empty()) {
        printf("[CSMAlmPTW75] number or text cannot be sent\n");
        return 0;
    }
    if (!qx::at::Expect(ser, "AT+CMGF=0\r\n", 100, "OK", qx::at::kReplyMax, qx::at::kText))
        return 0;
    qx::at::Reply r;
    if (qx::at::Exchange(ser, line.c_str(), 100, r, qx::at::kReplyMax, qx::at::kText) <= 0)
        return 0;
    return r.Has("ERROR") ? 0 : 1;
}

int CSMAlmPTW75::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    const char* text = static_cast<const char*>(buf);
    printf("[CSMAlmPTW75::DoFunc] addr=%d, func=%d, buf=%s\n", addr, cmd, qx::alm::Show(text));
    if (!ser || !ser->IsOpened())
        return 0;
    qx::alm::Message msg{m_strPhone, m_strText, m_strExt};
    switch (cmd) {
    case 0:
    case 2:
        return 1;
    case 1:
        return CdmaInit(ser);
    case 3:
        if (m_bGsmInited != 1 && !CdmaInit(ser))
            return 0;
        msg.SetNumberText(text, qx::alm::kAsGiven);
        return send_message_CDMA(ser);
    case 30:
        return text ? CdmaInit(ser) : 1;
    case 31:
    case 32:
    case 33:
        return msg.Store(cmd, text, qx::alm::kAsGiven);
    case 34:
        return send_message_CDMA(ser);
    case 35:
        if (!text)
            return 0;
        m_strText = text;
        return send_message_CDMA(ser);
    default:
        return 0;
    }
}

// ---------------------------------------------------------------- the GBK pairs

namespace qx {
namespace cdma {

namespace {

struct Pair {
    uint16_t gb;  // the two bytes in text order
    uint16_t u;
};

std::vector<Pair> Build() {
    std::vector<Pair> t;
    iconv_t cd = iconv_open("UTF-16BE", "GBK");
    if (cd == (iconv_t)-1) return t;
    for (unsigned lead = 0x81; lead <= 0xFD; lead++) {
        for (unsigned trail = 0x40; trail <= 0xFE; trail++) {
            if (trail == 0x7F) continue;
            char in[2] = {(char)lead, (char)trail};
            uint8_t out[4];
            char* src = in;
            size_t srcLeft = 2;
            char* dst = reinterpret_cast<char*>(out);
            size_t dstLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == (size_t)-1 || dstLeft != 2) continue;
            Pair p;
            memcpy(&p.gb, in, 2);
            p.u = (uint16_t)(out[0] << 8 | out[1]);
            t.push_back(p);
        }
    }
    iconv_close(cd);
    std::stable_sort(t.begin(), t.end(), [](const Pair& a, const Pair& b) { return a.u < b.u; });
    return t;
}

const std::vector<Pair>& Pairs() {
    static const std::vector<Pair> t = Build();
    return t;
}

uint16_t Network(uint16_t v) {
    const uint8_t b[2] = {(uint8_t)(v >> 8), (uint8_t)v};
    uint16_t n;
    memcpy(&n, b, 2);
    return n;
}

uint16_t Host(uint16_t n) {
    uint8_t b[2];
    memcpy(b, &n, 2);
    return (uint16_t)(b[0] << 8 | b[1]);
}

}  // namespace

size_t GbPairs() { return Pairs().size(); }

uint16_t getun(uint16_t gb) {
    for (const Pair& p : Pairs())
        if (p.gb == gb) return Network(p.u);
    return 0xFFFF;
}

uint16_t getgb(uint16_t u) {
    uint16_t v = Host(u);
    for (const Pair& p : Pairs())
        if (p.u == v) return p.gb;
    return 0xFFFF;
}

int gb2unicode(uint8_t* out, size_t outSize, const uint8_t* gbk, int n) {
    if (!out || !gbk || n < 0) return -1;
    size_t o = 0;
    for (int i = 0; i < n;) {
        if (o + 2 > outSize) return -1;
        if (gbk[i] > 0x80 && i + 1 < n) {
            uint16_t gb;
            memcpy(&gb, gbk + i, 2);
            uint16_t u = getun(gb);
            memcpy(out + o, &u, 2);
            i += 2;
        } else {
            out[o] = 0;
            out[o + 1] = gbk[i];
            i++;
        }
        o += 2;
    }
    return (int)o;
}

int unicode2gb(uint8_t* out, size_t outSize, const uint8_t* units, int octets) {
    if (!out || !units || octets < 0) return -1;
    size_t o = 0;
    for (int i = 0; i + 1 < octets; i += 2) {
        uint16_t u = (uint16_t)(units[i] << 8 | units[i + 1]);
        if (u > 0xFF) {
            if (o + 2 > outSize) return -1;
            uint16_t n;
            memcpy(&n, units + i, 2);
            uint16_t gb = getgb(n);
            memcpy(out + o, &gb, 2);
            o += 2;
        } else {
            if (o + 1 > outSize) return -1;
            out[o++] = (uint8_t)u;
        }
    }
    return (int)o;
}

}  // namespace cdma
}  // namespace qx
