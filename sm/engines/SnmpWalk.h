#pragma once
// One walk of an SNMP table with GETBULK, shared by the handlers that read whole tables
// (the server monitor, the demonstration handler):
//
//   qx::SnmpWalkEnd end = qx::SnmpWalk(snmp, pdu, target, Oid("1.3.6.1.2.1.25.2.3.1"), 10, 1000,
//                                      [&](const Vb& vb) { ... one binding of the table ... });
//
// Each request continues from the last binding of the previous response (GETNEXT on a
// version-1 target, ten repetitions). The walk ends at the end of the subtree (a binding
// outside it, endOfMibView, noSuchName from a version-1 agent), on a failed request, and on
// no progress: an empty response, an identifier that does not increase, or the request
// bound. The visitor sees every binding inside the subtree, in order.
#include <functional>

#include "snmp/snmp_pp.h"

namespace qx {

struct SnmpWalkEnd {
    int status = 0;         // status of the last request (0 success; see snmp_pp.h)
    bool answered = false;  // some request got an answer
    bool complete = false;  // the walk reached the end of the subtree
    int requests = 0;
    int rows = 0;           // bindings visited
};

SnmpWalkEnd SnmpWalk(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
                     const Snmp_pp::Oid& base, int maxRepetitions, int maxRequests,
                     const std::function<void(const Snmp_pp::Vb&)>& visit);

}  // namespace qx
