#include "engines/SMSnmpDemo.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "engines/SnmpFuncs.h"
#include "engines/SnmpWalk.h"
#include "snmp/snmp_pp.h"

using namespace Snmp_pp;

CSMSnmpDemo::CSMSnmpDemo() : CSMBase(0xF00) {
    printf("SMSnmpDemo new:++ %" PRIxPTR " \r\n", (uintptr_t)this);
    // Keeps the base model text.
}

CSMSnmpDemo::~CSMSnmpDemo() {}

bool CSMSnmpDemo::HostOf(const char* addrText, char* out) {
    out[0] = '\0';
    if (!addrText) return false;
    size_t len = strnlen(addrText, sizeof(((tagSMItem*)nullptr)->AddrText));
    if (len <= 4) return false;
    const char* host = addrText + 4;
    size_t n = 0;
    while (4 + n < len && host[n] != ':') n++;
    if (n == 0 || n > (size_t)kMaxHost) return false;
    memcpy(out, host, n);
    out[n] = '\0';
    return true;
}

int CSMSnmpDemo::DataGet(ISerBase*, int, int) {
    if (!m_pItem) return 0;
    const char* addrText = m_pItem->AddrText;
    printf("SNMP.def %.*s\n", (int)strnlen(addrText, sizeof m_pItem->AddrText), addrText);
    Snmp::socket_startup();
    char host[kMaxHost + 1];
    if (!HostOf(addrText, host)) {
        printf("[A%02d] SMSnmpDemo: no host of 1..%d characters in the address text\r\n",
               (int)m_pItem->Addr, kMaxHost);
        return 0;
    }
    printf("SNMP.dst %s\n", host);
    IpAddress ip(host);
    CTarget target(ip);

    Vb vb(Oid("1.3.6.1.2.1.1.1.0"));
    Pdu pdu;
    int status = SNMP_CLASS_SUCCESS;
    Snmp snmp(status, 0, false);
    if (status != SNMP_CLASS_SUCCESS) {
        printf("SNMP.err %s\n", Snmp::error_msg(status));
        return 0;
    }

    // One GET of sysDescr and sysName.
    pdu += vb;
    vb.set_oid(Oid("1.3.6.1.2.1.1.5.0"));
    pdu += vb;
    status = snmp.get(pdu, target);
    if (status == SNMP_CLASS_SUCCESS) {
        Vb descr, name;
        pdu.get_vb(descr, 0);
        pdu.get_vb(name, 1);
        printf("SNMP.sysDescriptor %s\n", descr.get_printable_value());
        printf("SNMP.sysName %s\n", name.get_printable_value());
    } else {
        printf("SNMP.get err %s\n", Snmp::error_msg(status));
    }
    // An agent that does not answer is not walked: that would only wait as long again.
    bool answered = status >= 0;
    if (!qx::SnmpUnreachable(status)) {
        qx::SnmpWalkEnd end = qx::SnmpWalk(
            snmp, pdu, target, Oid("1.3.6.1.2.1.25.2.3.1"), kMaxRepetitions, kMaxWalkRequests,
            [](const Vb& b) { printf("SNMP %s = %s\r\n", b.get_printable_oid(), b.get_printable_value()); });
        answered = answered || end.answered;
    }
    Snmp::socket_cleanup();
    return answered ? 1 : 0;
}
