#include "io/SmsPdu.h"

#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "BufHelper.h"
#include "ISerBase.h"
#include "QxPlatform.h"
#include "io/AtModem.h"

using namespace qx::sms;

// ---------------------------------------------------------------- hex text and numbers

int gsmBytes2String(const uint8_t* src, char* dst, int n) {
    static const char kDigits[] = "0123456789ABCDEF";
    if (!dst) return 0;
    if (!src || n < 0) n = 0;
    for (int i = 0; i < n; i++) {
        dst[2 * i] = kDigits[src[i] >> 4];
        dst[2 * i + 1] = kDigits[src[i] & 0x0F];
    }
    dst[2 * n] = '\0';
    return 2 * n;
}

static uint8_t HexDigit(char c) {
    return (uint8_t)((c >= '0' && c <= '9') ? c - '0' : c - 0x37);
}

int gsmString2Bytes(const char* src, uint8_t* dst, int n) {
    if (!src || !dst || n < 0) return 0;
    for (int i = 0; i + 1 < n; i += 2)
        dst[i / 2] = (uint8_t)((HexDigit(src[i]) << 4) | (HexDigit(src[i + 1]) & 0x0F));
    return n / 2;
}

int gsmInvertNumbers(const char* src, char* dst, int n) {
    if (!src || !dst || n < 0) return 0;
    int k = 0;
    for (int i = 0; i < n; i += 2) {
        char a = src[i];
        char b = i + 1 < n ? src[i + 1] : 'F';
        dst[k++] = b;
        dst[k++] = a;
    }
    dst[k] = '\0';
    return k;
}

int gsmSerializeNumbers(const char* src, char* dst, int n) {
    if (!src || !dst || n < 0) return 0;
    int k = 0;
    for (int i = 0; i + 1 < n; i += 2) {
        dst[k++] = src[i + 1];
        dst[k++] = src[i];
    }
    if (k > 0 && dst[k - 1] == 'F') k--;
    dst[k] = '\0';
    return k;
}

// ---------------------------------------------------------------- user data

int gsmEncode7bit(const char* src, uint8_t* dst, int n) {
    if (!src || !dst || n <= 0) return 0;
    int out = 0;
    uint8_t carry = 0;
    for (int i = 0; i < n; i++) {
        uint8_t c = (uint8_t)src[i] & 0x7F;
        int s = i % 8;
        if (s == 0) {
            carry = c;
            continue;
        }
        dst[out++] = (uint8_t)((c << (8 - s)) | carry);
        carry = (uint8_t)(c >> s);
    }
    return out;
}

int gsmDecode7bit(const uint8_t* src, char* dst, int n) {
    if (!dst) return 0;
    if (!src || n < 0) n = 0;
    int out = 0;
    int k = 0;           // bits held in the remainder
    uint8_t rest = 0;    // the remainder
    for (int i = 0; i < n; i++) {
        dst[out++] = (char)(((src[i] << k) | rest) & 0x7F);
        rest = (uint8_t)(src[i] >> (7 - k));
        k++;
        if (k == 7) {  // every 7 octets hold one more character
            dst[out++] = (char)(rest & 0x7F);
            k = 0;
            rest = 0;
        }
    }
    dst[out] = '\0';
    return out;
}

int gsmEncode8bit(const char* src, uint8_t* dst, int n) {
    if (!src || !dst || n <= 0) return 0;
    memcpy(dst, src, (size_t)n);
    return n;
}

int gsmDecode8bit(const uint8_t* src, char* dst, int n) {
    if (!dst) return 0;
    if (!src || n < 0) n = 0;
    if (n) memcpy(dst, src, (size_t)n);
    dst[n] = '\0';
    return n;
}

int gsmEncodeUcs2(const char* src, uint8_t* dst, size_t dstSize) {
    if (!src || !dst) return -1;
    // The converter writes at most four bytes per input byte: give it that room, then keep
    // the result only when it fits the caller's buffer.
    std::vector<char> room(4 * strlen(src) + 4);
    int n = CBufHelper::conv_code("UCS-2", "GBK", room.data(), src);
    if (n < 0 || (size_t)n > dstSize) return -1;
    if (n) memcpy(dst, room.data(), (size_t)n);
    return n;
}

int gsmDecodeUcs2(const uint8_t* src, int n, char* dst, size_t dstSize) {
    if (!dst || dstSize == 0 || n < 0 || (!src && n > 0)) return -1;
    // UCS-2 holds zero octets (the high octet of every ASCII character): convert by count.
    n &= ~1;
    std::vector<char> room(4 * (size_t)n + 4);
    iconv_t cd = iconv_open("GBK", "UCS-2BE");
    int got = CBufHelper::conv_code(cd, room.data(), reinterpret_cast<const char*>(src), n);
    if (cd != (iconv_t)-1) iconv_close(cd);
    if (got < 0 || (size_t)got + 1 > dstSize) {
        dst[0] = '\0';
        return -1;
    }
    if (got) memcpy(dst, room.data(), (size_t)got);
    dst[got] = '\0';
    return got;
}

// ---------------------------------------------------------------- PDUs

namespace {

// 1 to 15 decimal digits (0 to 15 when empty is allowed).
bool Digits(const char* s, bool allowEmpty) {
    size_t n = strnlen(s, kMaxDigits + 1);
    if (n > (size_t)kMaxDigits || (n == 0 && !allowEmpty)) return false;
    for (size_t i = 0; i < n; i++)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// A PDU under construction in octets.
class Pdu {
public:
    void Put(uint8_t b) {
        if (m_n < (int)sizeof(m_b)) m_b[m_n] = b;
        m_n++;
    }
    void Put(const uint8_t* p, int n) {
        for (int i = 0; i < n; i++) Put(p[i]);
    }
    // The swapped digits of a number as octets.
    void Number(const char* digits) {
        char swapped[2 * kMaxDigits + 2];
        int k = gsmInvertNumbers(digits, swapped, (int)strlen(digits));
        uint8_t oct[kMaxDigits];
        Put(oct, gsmString2Bytes(swapped, oct, k));
    }
    // Message centre field: L 91 digits, or 00 for none (the modem's stored centre).
    void Smsc(const char* digits) {
        int n = (int)strlen(digits);
        if (n == 0) {
            Put(0x00);
            return;
        }
        Put((uint8_t)((n + 1) / 2 + 1));
        Put(0x91);
        Number(digits);
    }
    // First octet, message reference, destination.
    void Head(uint8_t first, const char* phone) {
        Put(first);
        Put(0x00);
        Put((uint8_t)strlen(phone));
        Put(0x91);
        Number(phone);
    }
    // Hex text into out; 0 when it does not fit.
    int Hex(char* out, size_t outSize) const {
        if (m_n > (int)sizeof(m_b) || (size_t)(2 * m_n + 1) > outSize ||
            2 * m_n > kPduHexMax)
            return 0;
        return gsmBytes2String(m_b, out, m_n);
    }

private:
    uint8_t m_b[kPduHexMax / 2 + 8];
    int m_n = 0;
};

bool Valid(const SM_PARAM* p, char* out, size_t outSize) {
    if (!p || !out || outSize == 0) return false;
    out[0] = '\0';
    return Digits(p->Smsc, true) && Digits(p->Phone, false) &&
           memchr(p->Text, '\0', sizeof(p->Text)) != nullptr;
}

}  // namespace

int gsmEncodePdu(const SM_PARAM* p, char* out, size_t outSize) {
    if (!Valid(p, out, outSize)) return 0;
    Pdu pdu;
    pdu.Smsc(p->Smsc);
    pdu.Head(0x11, p->Phone);
    pdu.Put(p->Pid);
    pdu.Put(p->Dcs);
    pdu.Put(0x00);  // validity period
    uint8_t ud[kUcs2Max];
    int len = (int)strlen(p->Text);
    if (p->Dcs == 0) {
        // Seven-bit: the length counts characters, the NUL flushes the last octet.
        if (len > 160) return 0;
        for (int i = 0; i < len; i++)
            if ((uint8_t)p->Text[i] >= 0x80) return 0;
        int n = gsmEncode7bit(p->Text, ud, len + 1);
        pdu.Put((uint8_t)len);
        pdu.Put(ud, n);
    } else if (p->Dcs == 8) {
        int n = gsmEncodeUcs2(p->Text, ud, sizeof(ud));
        if (n < 0 || n > 140) return 0;
        pdu.Put((uint8_t)n);
        pdu.Put(ud, n);
    } else {
        if (len > 140) return 0;
        int n = gsmEncode8bit(p->Text, ud, len);
        pdu.Put((uint8_t)n);
        pdu.Put(ud, n);
    }
    return pdu.Hex(out, outSize);
}

int gsmEncodePdul(const SM_PARAM* p, char* out, size_t outSize, int total, int seq, int ref) {
    if (!Valid(p, out, outSize)) return 0;
    if (total < 1 || total > kMaxParts || seq < 1 || seq > total || ref < 0 || ref > 255) return 0;
    uint8_t ucs2[kUcs2Max];
    int n = gsmEncodeUcs2(p->Text, ucs2, sizeof(ucs2));
    if (n < 0) return 0;
    // The text must have exactly `total` parts: every part but the last full.
    int from = (seq - 1) * kPartOctets;
    int rest = n - (total - 1) * kPartOctets;
    if (rest < 1 || rest > kPartOctets) return 0;
    int count = seq == total ? rest : kPartOctets;

    Pdu pdu;
    pdu.Smsc(p->Smsc);
    pdu.Head(0x51, p->Phone);
    pdu.Put(p->Pid);
    pdu.Put(p->Dcs);
    pdu.Put(0x01);  // validity period
    pdu.Put((uint8_t)(count + 6));
    const uint8_t udh[] = {0x05, 0x00, 0x03, (uint8_t)ref, (uint8_t)total, (uint8_t)seq};
    pdu.Put(udh, (int)sizeof(udh));
    pdu.Put(ucs2 + from, count);
    return pdu.Hex(out, outSize);
}

int gsmSmscOctets(const char* pdu) {
    if (!pdu || strnlen(pdu, 2) < 2) return -1;
    uint8_t l = 0;
    gsmString2Bytes(pdu, &l, 2);
    return l + 1;
}

int getRandom(int n) {
    if (n < 1) return 0;
    srand((unsigned)qx::Now());
    return rand() % n;
}

// ---------------------------------------------------------------- the send dialogue

int endSendSms(ISerBase* ser) {
    qx::SleepMs(5000);
    qx::at::Reply r;
    r.Read(ser, qx::at::kReplyDefault, 10000);
    printf("[CSMAlmGsm::endSendSms] iread: %d, read=%s\n", r.Len(), r.Text());
    if (!r.Got()) return 0;
    if (r.Has("OK")) return 1;
    qx::at::Reply err;
    qx::at::Exchange(ser, "AT+CMEE?\r", 500, err);
    return 2;
}

// One PDU through AT+CMGS: the prompt, the hex text with Ctrl-Z, the completion.
static int SendPdu(ISerBase* ser, char* hex, int len) {
    int smsc = gsmSmscOctets(hex);
    if (smsc < 0 || len / 2 - smsc <= 0) return 0;
    hex[len] = 0x1A;
    hex[len + 1] = '\0';
    char cmd[32];
    snprintf(cmd, sizeof(cmd), "AT+CMGS=%d\r", len / 2 - smsc);
    printf("[gsmSendSms] cmd=%s\n", cmd);
    qx::at::Reply r;
    if (qx::at::Exchange(ser, cmd, 100, r, qx::at::kReplyDefault, qx::at::kText) < 0) return 0;
    if (!r.Is("\r\n> ", 4)) {
        qx::at::Reply ignored;
        qx::at::Exchange(ser, "AT+CMEE=?", 100, ignored, qx::at::kReplyDefault, qx::at::kText);
        return 0;
    }
    printf("[gsmSendSms] pdu=%s\n\n\n", hex);
    if (!qx::at::Send(ser, hex, len + 1, qx::at::kText)) return 0;
    return endSendSms(ser);
}

int gsmSendSms(ISerBase* ser, const SM_PARAM* param) {
    if (!ser || !param) return 0;
    uint8_t ucs2[kUcs2Max];
    int n = gsmEncodeUcs2(param->Text, ucs2, sizeof(ucs2));
    if (n < 0) {
        printf("[gsmSendSms] text too long for one message\n");
        return 0;
    }
    char hex[kPduHexMax + 2];  // the PDU, its Ctrl-Z and the NUL
    if (n < kPartOctets + 1) {
        int len = gsmEncodePdu(param, hex, kPduHexMax + 1);
        if (len <= 0) return 0;
        return SendPdu(ser, hex, len);
    }
    int total = (n + kPartOctets - 1) / kPartOctets;
    int ref = getRandom(256);
    int rc = 0;
    for (int seq = 1; seq <= total; seq++) {
        if (seq > 1) qx::SleepMs(500);
        int len = gsmEncodePdul(param, hex, kPduHexMax + 1, total, seq, ref);
        if (len <= 0) return 0;
        rc = SendPdu(ser, hex, len);
        if (rc != 1) return rc;
    }
    return rc;
}
