#include "engines/SnmpPoll.h"

#include <limits.h>
#include <stdio.h>

#include <string>

#include "engines/SnmpFuncs.h"
#include "engines/SnmpWalk.h"

using namespace Snmp_pp;

namespace qx {

namespace {

int32_t HoldToInt(int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return (int32_t)v;
}

// The value of a printable text as the drivers store it: the leading number held to int, and
// the product times ten formed in 64 bits and held to int again.
int32_t ValueOf(const char* text, bool x10) {
    int64_t v = HoldToInt(SnmpLeadingNumber(text));
    return HoldToInt(x10 ? v * 10 : v);
}

}  // namespace

SnmpPoll::SnmpPoll() { m_host[0] = '\0'; }

SnmpPoll::~SnmpPoll() {
    if (m_open) Snmp::socket_cleanup();
}

bool SnmpPoll::HostOf(const char* addrText, size_t size, char* host) {
    host[0] = '\0';
    if (!addrText) return false;
    const size_t len = strnlen(addrText, size);
    if (len <= 4) return false;
    // The four characters before the host are skipped whatever they are ("udp:", "snmp").
    const char* colon = (const char*)memchr(addrText + 4, ':', len - 4);
    const size_t end = colon ? (size_t)(colon - addrText) : len;
    // The host is neither empty nor longer than the buffer.
    if (end == 4 || end - 4 > (size_t)kMaxHost) return false;
    memcpy(host, addrText + 4, end - 4);
    host[end - 4] = '\0';
    return true;
}

bool SnmpPoll::Open(const tagSMItem* item, const char* errLine, bool slot, bool countLine) {
    if (!item) return false;
    const char* text = item->AddrText;
    printf("SNMP.def %.*s\n", (int)strnlen(text, sizeof item->AddrText), text);
    if (!HostOf(text, sizeof item->AddrText, m_host)) {
        printf("SNMP.dst refused: no host of 1..%d characters after the first four\n", kMaxHost);
        return false;
    }
    printf("SNMP.dst %s\n", m_host);
    IpAddress address(m_host);
    if (!address.valid()) {
        printf("SNMP.dst %s is no address\n", m_host);
        return false;
    }
    Snmp::socket_startup();
    m_target = CTarget(address);
    int status = SNMP_CLASS_SUCCESS;
    m_snmp.reset(new Snmp(status, 0, false));
    if (status != SNMP_CLASS_SUCCESS) {
        printf(errLine, Snmp::error_msg(status));
        m_snmp.reset();
        return false;
    }
    m_open = true;
    if (slot) {
        m_pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));
        if (countLine) printf("SNMP.get_vb_cnt %d\n", m_pdu.get_vb_count());
    }
    return true;
}

void SnmpPoll::Note(int status, bool walk) {
    if (!SnmpUnreachable(status)) return;
    if (walk) {
        // An agent may answer GET and leave GETNEXT/GETBULK unanswered: the GETs go on.
        if (!m_noWalks) printf("SNMP %s: no answer to a walk, no further walk this poll\n", m_host);
        m_noWalks = true;
    } else if (!m_stopped) {
        m_stopped = true;
        printf("SNMP %s not reached: no further request this poll\n", m_host);
    }
}

bool SnmpPoll::Get(const char* oid, int32_t& value) {
    value = 0;
    if (!m_open || m_stopped) return false;
    std::string text;
    const int status = SnmpGetText(*m_snmp, m_pdu, m_target, oid, text);
    Note(status, false);
    if (status != SNMP_CLASS_SUCCESS) return false;
    m_answered = true;
    value = ValueOf(text.c_str(), false);
    return true;
}

bool SnmpPoll::Get10(const char* oid, int32_t& value) {
    if (!Get(oid, value)) return false;
    value = HoldToInt((int64_t)value * 10);
    return true;
}

void SnmpPoll::Store(void* rec, size_t size, uint16_t at, int32_t v) {
    if (!rec || at == kSnmpNone || (size_t)at + sizeof v > size) return;
    memcpy((char*)rec + at, &v, sizeof v);
}

bool SnmpPoll::StoreCell(unsigned long n, const Vb& vb, const SnmpColumn* columns, size_t count,
                         void* rec, size_t size) {
    const Oid& o = vb.get_oid();
    if (o.len() <= n + 1) return false;
    const SmiUINT32 column = o[(int)n], row = o[(int)n + 1];
    const char* text = vb.get_printable_value();
    printf("SNMP Phase %u.%u = %s\r\n", (unsigned)column, (unsigned)row, text);
    if (row < 1 || row > 3) return false;
    bool stored = false;
    for (size_t i = 0; i < count; i++) {
        if (columns[i].column != column || columns[i].at[row - 1] == kSnmpNone) continue;
        Store(rec, size, columns[i].at[row - 1], ValueOf(text, columns[i].x10));
        stored = true;
    }
    return stored;
}

void SnmpPoll::Walk(const char* entry, const SnmpColumn* columns, size_t count, void* rec,
                    size_t size) {
    if (!m_open || m_stopped || m_noWalks) return;
    const Oid base(entry);
    const unsigned long n = base.len();
    SnmpWalkEnd end = SnmpWalk(*m_snmp, m_pdu, m_target, base, kMaxRepetitions, kMaxWalkRequests,
                               [&](const Vb& vb) { StoreCell(n, vb, columns, count, rec, size); });
    if (end.rows > 0) m_answered = true;
    Note(end.status, true);
}

void SnmpPoll::Run(const SnmpStep* steps, size_t count, void* rec, size_t size, bool keep) {
    for (size_t i = 0; i < count; i++) {
        const SnmpStep& s = steps[i];
        if (s.columns) {
            Walk(s.oid, s.columns, s.columnCount, rec, size);
            continue;
        }
        int32_t v = 0;
        const bool got = s.x10 ? Get10(s.oid, v) : Get(s.oid, v);
        if (!got && keep) continue;
        for (uint16_t at : s.at) Store(rec, size, at, v);
        if (got && s.bit >= 0 && s.bit < 32 && v != 0) m_flagWord |= 1u << s.bit;
    }
}

}  // namespace qx
