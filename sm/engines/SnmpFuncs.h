#pragma once
// Single SNMP requests shared by the SNMP handlers (the generic SNMP engine, the server
// monitor, the SNMP UPS and air-conditioner drivers). They keep no state: the caller owns
// the session, the PDU and the target for one poll and passes them to every call.
//
//   Snmp snmp(status, 0, false);            // one session per poll
//   Pdu pdu;
//   pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));    // binding 0, overwritten by every GET
//   UdpAddress a("10.0.0.5"); a.set_port(161);
//   CTarget target(a); target.set_readcommunity("public");
//
//   int load = _oidGet(snmp, pdu, target, "1.3.6.1.4.1.99999.1.8.0");     // 230
//   std::string name = _oidGetStr(snmp, pdu, target, "1.3.6.1.2.1.1.5.0");
//
// A GET asks for exactly one object: the PDU is cut to its binding 0, which takes the
// requested identifier (a PDU without bindings gets one), and the response replaces the
// PDU's bindings as the session leaves them. Every request prints what happened:
// "SNMP.get err %s\n" with the session's error text, or "SNMP.get val=%s\n" with the value.
#include <stdint.h>

#include <string>

#include "snmp/snmp_pp.h"

// GET of oid (dotted decimal text); the value's printable text read as a decimal number:
// leading blanks, an optional sign and the leading digits ("230.5" gives 230, "On Line" 0),
// held to the range of int. 0 when the request fails (no answer, an error status, no binding
// in the response, a null or malformed oid).
int _oidGet(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
            const char* oid);

// GET of oid; the value's printable text (SNMP++'s form for every syntax). Empty when the
// request fails.
std::string _oidGetStr(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
                       const char* oid);

// One GETBULK (GETNEXT on a version-1 target) from the PDU's bindings, no non-repeaters.
// Returns the number of bindings of the response, 0 when the request fails. Prints
// "SNMP.bulk err %s\n" on a failure and always "SNMP.bulk %d\n" with the count.
int _oidBulk(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
             int maxRepetitions);

// Replaces every backslash of text by a blank; the length does not change.
void _strFix(std::string& text);

namespace qx {

// The GET of _oidGetStr with its outcome: the session's status (0 a value arrived; above 0 the
// agent's error status; below 0 no answer or not sent, see snmp_pp.h). text is the printable
// value on 0 and empty otherwise; an empty successful response counts as
// SNMP_CLASS_INVALID_PDU. For callers that must tell a failed request from an empty value.
int SnmpGetText(Snmp_pp::Snmp& snmp, Snmp_pp::Pdu& pdu, const Snmp_pp::CTarget& target,
                const char* oid, std::string& text);

// The leading decimal number of text as _oidGet reads it, held to the range of int64_t.
int64_t SnmpLeadingNumber(const char* text);

// The status means the agent was not reached (time-out, transport failure): further requests
// of the same poll would only wait as long again.
inline bool SnmpUnreachable(int status) {
    return status == Snmp_pp::SNMP_CLASS_TIMEOUT || status == Snmp_pp::SNMP_CLASS_TL_FAILED;
}

}  // namespace qx
