// The SNMP value classes on what an agent or a definition file may hold: octet strings shown
// as text or as a hex dump, object identifiers from dotted text and from sub-identifiers,
// their comparisons, addresses from text and bytes, the number readers of the SNMP handlers,
// the agent's host taken from a point's address text and a walked table's binding stored by its
// column and row. Input: a selector byte, then the bytes.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "engines/SnmpFuncs.h"
#include "engines/SnmpPoll.h"
#include "snmp/snmp_pp.h"

using namespace Snmp_pp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const uint8_t sel = data[0];
    const uint8_t* p = data + 1;
    const size_t n = size - 1;
    const std::string text((const char*)p, n);

    // An octet string as it arrived: printable text or a dump, whatever the bytes.
    OctetStr s(p, n);
    const char* shown = s.get_printable();
    const char* dump = s.get_printable_hex();
    if (!shown || !dump)
        __builtin_trap();
    Vb vb(Oid("1.3.6.1.2.1.1.5.0"));
    vb.set_value(s);
    OctetStr back;
    if (vb.get_value(back) != SNMP_CLASS_SUCCESS || !(back == s))
        __builtin_trap();
    std::string fixed = vb.get_printable_value();
    _strFix(fixed);
    if (fixed.find('\\') != std::string::npos)
        __builtin_trap();

    // Identifiers from text (a definition file's keys) and from sub-identifiers (a response).
    Oid a(text.c_str(), true);
    a.get_printable();
    std::vector<SmiUINT32> ids(n / 4);
    for (size_t i = 0; i < ids.size(); i++)
        memcpy(&ids[i], p + 4 * i, 4);
    Oid b(ids.data(), ids.size());
    const char* dotted = b.get_printable();
    if (b.valid() && Oid(dotted, true).len() != b.len())
        __builtin_trap();
    if (a.valid() && b.valid()) {
        unsigned long k = sel % 16;
        a.nCompare(k, b);
    }

    // Addresses from text: only those without a letter, so that no name goes to the resolver.
    if (text.find_first_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") ==
        std::string::npos) {
        UdpAddress u(text.c_str());
        u.get_printable();
    }
    if (n >= 4) {
        IpAddress raw(p + n - 4);
        raw.get_printable();
    }
    // The host of an address text: 1..15 characters without ':', or refused.
    char host[qx::SnmpPoll::kMaxHost + 1];
    if (qx::SnmpPoll::HostOf((const char*)p, n, host)) {
        size_t h = strlen(host);
        if (h == 0 || h > (size_t)qx::SnmpPoll::kMaxHost || strchr(host, ':'))
            __builtin_trap();
    } else if (host[0]) {
        __builtin_trap();
    }

    // A binding of a walked table (identifier b, value s) under an entry of sel % 32
    // sub-identifiers, into a record of 32 bytes whose last fields reach and pass its end.
    if (b.valid()) {
        static const qx::SnmpColumn kColumns[] = {
            {3, {0, 4, 28}, false},
            {2, {qx::kSnmpNone, 26, 30}, true},
        };
        uint8_t rec[40];
        memset(rec, 0xA5, sizeof rec);
        Vb cell(b);
        cell.set_value(s);
        qx::SnmpPoll::StoreCell(sel % 32, cell, kColumns, 2, rec, 32);
        for (size_t i = 32; i < sizeof rec; i++)
            if (rec[i] != 0xA5)
                __builtin_trap();
    }
    qx::SnmpLeadingNumber(text.c_str());
    TimeTicks((unsigned long)qx::SnmpLeadingNumber(text.c_str())).get_printable();
    return 0;
}
