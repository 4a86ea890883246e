// Values of SNMP bindings and their printable forms.
#include "snmp/snmp_pp.h"

#include <stdio.h>
#include <string.h>

namespace Snmp_pp {

namespace {

// Printable ASCII as the C locale has it; bytes of 0x80 and above (GBK text among them)
// are not printable.
bool IsPrintable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// The most sub-identifiers an identifier may have (the encoder's limit).
constexpr size_t kMaxOidLen = 128;

}  // namespace

const char* SnmpInt32::get_printable() const {
    char buf[16];
    snprintf(buf, sizeof buf, "%ld", static_cast<long>(m_value));
    m_text = buf;
    return m_text.c_str();
}

const char* SnmpUInt32::get_printable() const {
    char buf[16];
    snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(m_value));
    m_text = buf;
    return m_text.c_str();
}

const char* TimeTicks::get_printable() const {
    unsigned long t = m_value;
    unsigned long days = t / 8640000;
    t %= 8640000;
    unsigned long hours = t / 360000;
    t %= 360000;
    unsigned long minutes = t / 6000;
    t %= 6000;
    unsigned long seconds = t / 100;
    unsigned long hundredths = t % 100;
    char buf[64];
    if (days == 0)
        snprintf(buf, sizeof buf, "%lu:%02lu:%02lu.%02lu", hours, minutes, seconds, hundredths);
    else if (days == 1)
        snprintf(buf, sizeof buf, "1 day %lu:%02lu:%02lu.%02lu", hours, minutes, seconds,
                 hundredths);
    else
        snprintf(buf, sizeof buf, "%lu days, %lu:%02lu:%02lu.%02lu", days, hours, minutes,
                 seconds, hundredths);
    m_text = buf;
    return m_text.c_str();
}

const char* Counter64::get_printable() const {
    char buf[24];
    snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(m_value));
    m_text = buf;
    return m_text.c_str();
}

// ------------------------------------------------------------------ OctetStr
OctetStr::OctetStr(const char* text) {
    if (text) m_data.assign(text, text + strlen(text));
}

OctetStr::OctetStr(const unsigned char* data, size_t len) {
    if (data && len) m_data.assign(data, data + len);
}

const char* OctetStr::get_printable() const {
    size_t n = m_data.size();
    // Agents that send C strings add a NUL; it is not part of the text.
    if (n > 0 && m_data[n - 1] == 0) --n;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = m_data[i];
        if (c != '\r' && c != '\n' && !IsPrintable(c)) return get_printable_hex();
    }
    m_text.assign(reinterpret_cast<const char*>(m_data.data()), n);
    return m_text.c_str();
}

const char* OctetStr::get_printable_hex() const {
    m_text.clear();
    const size_t n = m_data.size();
    for (size_t line = 0; line < n; line += 16) {
        std::string clear;
        char hex[4];
        for (size_t i = line; i < line + 16; ++i) {
            if (i < n) {
                snprintf(hex, sizeof hex, "%02X ", m_data[i]);
                m_text += hex;
                clear += IsPrintable(m_data[i]) ? static_cast<char>(m_data[i]) : '.';
            } else {
                m_text += "   ";
            }
        }
        m_text += "   ";
        m_text += clear;
        m_text += "\n";
    }
    return m_text.c_str();
}

// ------------------------------------------------------------------ Oid
Oid::Oid(const char* text, bool is_dotted_oid_string) {
    if (!text) return;
    if (!is_dotted_oid_string) {
        for (const char* p = text; *p; ++p) m_ids.push_back(static_cast<unsigned char>(*p));
        m_valid = !m_ids.empty() && m_ids.size() <= kMaxOidLen;
        if (!m_valid) m_ids.clear();
        return;
    }
    *this = text;
}

Oid::Oid(const SmiUINT32* raw, size_t len) {
    if (raw && len > 0 && len <= kMaxOidLen) {
        m_ids.assign(raw, raw + len);
        m_valid = true;
    }
}

Oid& Oid::operator=(const char* text) {
    m_ids.clear();
    m_valid = false;
    if (!text) return *this;
    const char* p = text;
    if (*p == '.') ++p;
    std::vector<SmiUINT32> ids;
    while (*p) {
        if (*p < '0' || *p > '9') return *this;
        uint64_t v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<uint64_t>(*p - '0');
            if (v > 0xFFFFFFFFull) return *this;
            ++p;
        }
        ids.push_back(static_cast<SmiUINT32>(v));
        if (*p == '.') {
            ++p;
            if (!*p) return *this;  // a trailing '.'
        } else if (*p) {
            return *this;
        }
    }
    if (ids.empty() || ids.size() > kMaxOidLen) return *this;
    m_ids.swap(ids);
    m_valid = true;
    return *this;
}

const char* Oid::get_printable() const {
    m_text.clear();
    char buf[12];
    for (size_t i = 0; i < m_ids.size(); ++i) {
        snprintf(buf, sizeof buf, i ? ".%lu" : "%lu", static_cast<unsigned long>(m_ids[i]));
        m_text += buf;
    }
    return m_text.c_str();
}

int Oid::nCompare(unsigned long n, const Oid& o) const {
    unsigned long length = n;
    bool reduced = false;
    if (length > m_ids.size()) {
        length = m_ids.size();
        reduced = true;
    }
    if (length > o.m_ids.size()) {
        length = o.m_ids.size();
        reduced = true;
    }
    for (unsigned long i = 0; i < length; ++i) {
        if (m_ids[i] < o.m_ids[i]) return -1;
        if (m_ids[i] > o.m_ids[i]) return 1;
    }
    if (reduced) {
        // Both at least n long compare equal above; otherwise the shorter one is smaller,
        // unless both end before n at the same length.
        size_t a = m_ids.size() < n ? m_ids.size() : n;
        size_t b = o.m_ids.size() < n ? o.m_ids.size() : n;
        if (a < b) return -1;
        if (a > b) return 1;
    }
    return 0;
}

SmiUINT32& Oid::operator[](int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_ids.size()) {
        m_scratch = 0;
        return m_scratch;
    }
    return m_ids[index];
}

const SmiUINT32& Oid::operator[](int index) const {
    static const SmiUINT32 zero = 0;
    if (index < 0 || static_cast<size_t>(index) >= m_ids.size()) return zero;
    return m_ids[index];
}

}  // namespace Snmp_pp
