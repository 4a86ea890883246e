#include "io/AtModem.h"

#include <string.h>

#include "ISerBase.h"
#include "QxPlatform.h"

namespace qx {
namespace at {

void Reply::Clear() {
    memset(m_buf, 0, sizeof(m_buf));
    m_len = 0;
}

int Reply::Read(ISerBase* ser, int max, int timeout) {
    Clear();
    if (!ser) return -1;
    if (max > kReplyMax) max = kReplyMax;
    if (max <= 0) return 0;
    int n = ser->Read(reinterpret_cast<unsigned char*>(m_buf), max, timeout);
    // A channel never reports more than it was asked for; should one do so, keep what fits.
    m_len = n > 0 ? (n > max ? max : n) : 0;
    m_buf[m_len] = '\0';
    return n;
}

int Reply::Find(const char* marker, int from) const {
    if (!marker || from < 0 || from >= m_len) return -1;
    size_t k = strlen(marker);
    if (k == 0) return from;
    const void* p = memmem(m_buf + from, (size_t)(m_len - from), marker, k);
    return p ? (int)(static_cast<const char*>(p) - m_buf) : -1;
}

bool Reply::Is(const char* bytes, int n) const {
    return bytes && n == m_len && memcmp(m_buf, bytes, (size_t)n) == 0;
}

bool Send(ISerBase* ser, const char* cmd, int len, Form form) {
    if (!ser || !cmd) return false;
    if (len < 0) len = (int)strlen(cmd);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(cmd);
    int n = form == kText ? ser->Write(p) : ser->Write(p, len);
    return n > 0 && n >= len;
}

int Exchange(ISerBase* ser, const char* cmd, int waitMs, Reply& r, int max, Form form,
             int timeout, int len) {
    r.Clear();
    if (!ser || !ser->IsOpened()) return -1;
    if (!Send(ser, cmd, len, form)) return -1;
    qx::SleepMs(waitMs);
    int n = r.Read(ser, max, timeout);
    return n > 0 ? r.Len() : 0;
}

bool Expect(ISerBase* ser, const char* cmd, int waitMs, const char* marker, int max, Form form) {
    Reply r;
    if (Exchange(ser, cmd, waitMs, r, max, form) <= 0) return false;
    return !marker || r.Has(marker);
}

namespace {
// Skips blanks from i; then reads a decimal number (at most 9 digits) ending before end.
bool Decimal(const char* s, int i, int end, int* value) {
    while (i < end && s[i] == ' ') i++;
    int v = 0, digits = 0;
    while (i < end && s[i] >= '0' && s[i] <= '9' && digits < 9) {
        v = v * 10 + (s[i] - '0');
        i++;
        digits++;
    }
    if (digits == 0) return false;
    *value = v;
    return true;
}
}  // namespace

bool CsqValue(const Reply& r, int* value) {
    int colon = r.Find(":");
    if (colon < 0) return false;
    int comma = r.Find(",", colon + 1);
    if (comma < 0) return false;
    int v;
    if (!Decimal(r.Text(), colon + 1, comma, &v)) return false;
    // Nothing but blanks may follow the number before the comma.
    int i = colon + 1;
    while (i < comma && r.Text()[i] == ' ') i++;
    while (i < comma && r.Text()[i] >= '0' && r.Text()[i] <= '9') i++;
    if (i != comma) return false;
    if (value) *value = v;
    return true;
}

bool NumberAfter(const Reply& r, const char* marker, int* value) {
    int at = r.Find(marker);
    if (at < 0) return false;
    int v;
    if (!Decimal(r.Text(), at + (int)strlen(marker), r.Len(), &v)) return false;
    if (value) *value = v;
    return true;
}

bool Quoted(const Reply& r, int from, std::string* out) {
    int open = r.Find("\"", from);
    if (open < 0) return false;
    int close = r.Find("\"", open + 1);
    if (close < 0) return false;
    if (out) out->assign(r.Text() + open + 1, (size_t)(close - open - 1));
    return true;
}

std::string With86(const char* number) {
    if (!number) return std::string();
    if (strncmp(number, "86", 2) == 0) return number;
    return std::string("86") + number;
}

bool International(const char* number, std::string* out) {
    if (out) out->clear();
    if (!number) return false;
    const bool plus = number[0] == '+';
    const char* digits = plus ? number + 1 : number;
    if (digits[0] == '\0') return false;
    for (const char* c = digits; *c; c++)
        if (*c < '0' || *c > '9') return false;
    if (out) *out = plus ? std::string(digits) : With86(digits);
    return true;
}

}  // namespace at
}  // namespace qx
