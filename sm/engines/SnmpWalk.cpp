#include "engines/SnmpWalk.h"

#include <stdio.h>

using namespace Snmp_pp;

namespace qx {

namespace {

// a lies after b in the order of object identifiers.
bool After(const Oid& a, const Oid& b) {
    unsigned long n = a.len() > b.len() ? a.len() : b.len();
    return a.nCompare(n, b) > 0;
}

}  // namespace

SnmpWalkEnd SnmpWalk(Snmp& snmp, Pdu& pdu, const CTarget& target, const Oid& base,
                     int maxRepetitions, int maxRequests,
                     const std::function<void(const Vb&)>& visit) {
    SnmpWalkEnd end;
    const unsigned long L = base.len();
    Vb from(base);
    pdu.set_vblist(&from, 1);
    Oid last = base;  // the identifier the next request continues from
    for (;;) {
        if (end.requests == maxRequests) {
            printf("SNMP walk %s: stopped after %d requests\r\n", base.get_printable(), end.requests);
            break;
        }
        end.requests++;
        end.status = snmp.get_bulk(pdu, target, 0, maxRepetitions);
        if (end.status >= 0) end.answered = true;
        // Past the agent's last object a version-1 agent answers noSuchName.
        if (end.status == SNMP_ERROR_NO_SUCH_NAME && target.get_version() == version1) {
            end.complete = true;
            break;
        }
        if (end.status != SNMP_CLASS_SUCCESS) break;
        const int n = pdu.get_vb_count();
        if (n == 0) {
            printf("SNMP walk %s: empty response\r\n", base.get_printable());
            break;
        }
        bool stop = false;
        for (int i = 0; i < n && !stop; i++) {
            Vb vb;
            pdu.get_vb(vb, i);
            const Oid& id = vb.get_oid();
            // The base itself is inside by its prefix but never after where the walk began: an
            // agent answering it makes no progress.
            if (id.len() < L || id.nCompare(L, base) != 0 ||
                vb.get_syntax() == sNMP_SYNTAX_ENDOFMIBVIEW) {
                end.complete = stop = true;
                break;
            }
            if (!After(id, last)) {
                printf("SNMP walk %s: %s does not increase\r\n", base.get_printable(),
                       id.get_printable());
                stop = true;
                break;
            }
            last = id;
            end.rows++;
            visit(vb);
        }
        if (stop) break;
        Vb next(last);
        pdu.set_vblist(&next, 1);
    }
    return end;
}

}  // namespace qx
