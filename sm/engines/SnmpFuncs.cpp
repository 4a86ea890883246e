#include "engines/SnmpFuncs.h"

#include <limits.h>
#include <stdio.h>

using namespace Snmp_pp;

namespace qx {

int64_t SnmpLeadingNumber(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    // Accumulate as a negative number so that INT64_MIN itself fits.
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        int d = *p - '0';
        if (v < (INT64_MIN + d) / 10) {
            v = INT64_MIN;
            while (p[1] >= '0' && p[1] <= '9') ++p;
            break;
        }
        v = v * 10 - d;
    }
    if (negative) return v;
    return v == INT64_MIN ? INT64_MAX : -v;
}

int SnmpGetText(Snmp& snmp, Pdu& pdu, const CTarget& target, const char* oid, std::string& text) {
    text.clear();
    // One object per GET: bindings left from an earlier response are not sent along (a
    // version-1 agent fails the whole request when one of them no longer exists).
    Vb vb(Oid(oid ? oid : "", true));
    pdu.set_vblist(&vb, 1);

    int status = oid && vb.valid() ? snmp.get(pdu, target) : SNMP_CLASS_INVALID_OID;
    Vb answer;
    if (status == SNMP_CLASS_SUCCESS && !pdu.get_vb(answer, 0)) status = SNMP_CLASS_INVALID_PDU;
    if (status != SNMP_CLASS_SUCCESS) {
        printf("SNMP.get err %s\n", Snmp::error_msg(status));
        return status;
    }
    text = answer.get_printable_value();
    printf("SNMP.get val=%s\n", text.c_str());
    return status;
}

}  // namespace qx

int _oidGet(Snmp& snmp, Pdu& pdu, const CTarget& target, const char* oid) {
    std::string text;
    if (qx::SnmpGetText(snmp, pdu, target, oid, text) != SNMP_CLASS_SUCCESS) return 0;
    int64_t v = qx::SnmpLeadingNumber(text.c_str());
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return (int)v;
}

std::string _oidGetStr(Snmp& snmp, Pdu& pdu, const CTarget& target, const char* oid) {
    std::string text;
    qx::SnmpGetText(snmp, pdu, target, oid, text);
    return text;
}

int _oidBulk(Snmp& snmp, Pdu& pdu, const CTarget& target, int maxRepetitions) {
    int count = 0;
    int status = snmp.get_bulk(pdu, target, 0, maxRepetitions);
    if (status != SNMP_CLASS_SUCCESS)
        printf("SNMP.bulk err %s\n", Snmp::error_msg(status));
    else
        count = pdu.get_vb_count();
    printf("SNMP.bulk %d\n", count);
    return count;
}

void _strFix(std::string& text) {
    for (size_t pos = text.find('\\'); pos != std::string::npos; pos = text.find('\\', pos + 1))
        text[pos] = ' ';
}
