// The SNMP session over net-snmp's single-session API, and the status texts.
#include "snmp/snmp_pp.h"

#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace Snmp_pp {

namespace {

// Opening and closing sessions touch net-snmp's shared transport state; requests on
// different sessions do not.
std::mutex g_openClose;

// net-snmp's library state is set up once per process: no configuration, persistent or MIB
// file is read (nothing here needs names, only numeric identifiers).
bool LibraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        // The first snmp_sess_init sets up the library's request ids and defaults; it is not
        // safe to race, so it runs here once.
        netsnmp_session probe;
        snmp_sess_init(&probe);
        ready = true;
    });
    return ready;
}

// A value of a response as one of the value classes.
void SetValue(Vb& vb, const netsnmp_variable_list* v) {
    switch (v->type) {
    case ASN_INTEGER:
        vb.set_value(SnmpInt32(v->val.integer ? *v->val.integer : 0));
        break;
    case ASN_OCTET_STR:
    case ASN_BIT_STR:
        vb.set_value(OctetStr(v->val.string, v->val_len));
        break;
    case ASN_OPAQUE:
        vb.set_value(OpaqueStr(v->val.string, v->val_len));
        break;
    case ASN_OBJECT_ID: {
        std::vector<SmiUINT32> ids;
        size_t n = v->val_len / sizeof(oid);
        for (size_t i = 0; i < n && v->val.objid; ++i)
            ids.push_back(static_cast<SmiUINT32>(v->val.objid[i]));
        vb.set_value(Oid(ids.data(), ids.size()));
        break;
    }
    case ASN_IPADDRESS:
        if (v->val_len == 4 && v->val.string)
            vb.set_value(IpAddress(v->val.string));
        else
            vb.set_value(IpAddress());
        break;
    case ASN_COUNTER:
        vb.set_value(Counter32(v->val.integer ? static_cast<uint32_t>(*v->val.integer) : 0));
        break;
    case ASN_GAUGE:
        vb.set_value(Gauge32(v->val.integer ? static_cast<uint32_t>(*v->val.integer) : 0));
        break;
    case ASN_TIMETICKS:
        vb.set_value(TimeTicks(v->val.integer ? static_cast<uint32_t>(*v->val.integer) : 0));
        break;
    case ASN_COUNTER64: {
        uint64_t c = 0;
        if (v->val.counter64)
            c = (static_cast<uint64_t>(v->val.counter64->high & 0xFFFFFFFFul) << 32) |
                (v->val.counter64->low & 0xFFFFFFFFul);
        vb.set_value(Counter64(c));
        break;
    }
    case SNMP_NOSUCHOBJECT:
        vb.set_value(SnmpNull(sNMP_SYNTAX_NOSUCHOBJECT));
        break;
    case SNMP_NOSUCHINSTANCE:
        vb.set_value(SnmpNull(sNMP_SYNTAX_NOSUCHINSTANCE));
        break;
    case SNMP_ENDOFMIBVIEW:
        vb.set_value(SnmpNull(sNMP_SYNTAX_ENDOFMIBVIEW));
        break;
    default:
        vb.set_value(SnmpNull());
        break;
    }
}

}  // namespace

// The open net-snmp session and what it was opened for; a request to another agent, with
// another community, version, time-out or retry count reopens it.
struct Snmp::Session {
    void* handle = nullptr;
    std::string key;
    ~Session() { Close(); }
    void Close() {
        if (handle) {
            std::lock_guard<std::mutex> g(g_openClose);
            snmp_sess_close(handle);
        }
        handle = nullptr;
        key.clear();
    }
};

int Snmp::socket_startup() { return 0; }

void Snmp::socket_cleanup() {}

Snmp::Snmp(int& status, unsigned short port, bool bind_ipv6) : m_session(new Session) {
    if (port != 0 || bind_ipv6) {
        status = SNMP_CLASS_TL_UNSUPPORTED;
        return;
    }
    if (!LibraryReady()) {
        status = SNMP_CLASS_INTERNAL_ERROR;
        return;
    }
    // The requests need a UDP socket; fail here, as the library does, when none can be had.
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        status = SNMP_CLASS_TL_FAILED;
        return;
    }
    close(fd);
    m_ok = true;
    status = SNMP_CLASS_SUCCESS;
}

Snmp::~Snmp() {}

int Snmp::get(Pdu& pdu, const SnmpTarget& target) { return request(pdu, target, sNMP_PDU_GET, 0, 0); }

int Snmp::get_bulk(Pdu& pdu, const SnmpTarget& target, int non_repeaters, int max_reps) {
    // Version 1 has no GETBULK: the request goes out as GETNEXT.
    unsigned short type = target.get_version() == version1 ? sNMP_PDU_GETNEXT : sNMP_PDU_GETBULK;
    return request(pdu, target, type, non_repeaters, max_reps);
}

int Snmp::request(Pdu& pdu, const SnmpTarget& target, unsigned short type, int nonRep, int maxRep) {
    if (!m_ok) return SNMP_CLASS_INVALID;
    if (!target.valid()) return SNMP_CLASS_INVALID_TARGET;
    for (const Vb& vb : pdu.m_vbs)
        if (!vb.get_oid().valid()) return SNMP_CLASS_INVALID_OID;

    const CTarget* ct = dynamic_cast<const CTarget*>(&target);
    if (!ct) return SNMP_CLASS_INVALID_TARGET;
    UdpAddress address;
    target.get_address(address);
    unsigned port = address.get_port() ? address.get_port() : 161;
    const OctetStr& community = ct->get_readcommunity();
    unsigned long timeout = target.get_timeout();
    if (timeout > 100000) timeout = 100000;  // 1000 s; keeps the microseconds within 32 bits

    char peer[40];
    snprintf(peer, sizeof peer, "udp:%s:%u", address.IpAddress::get_printable(), port);
    std::string key = peer;
    key += '|';
    key.append(reinterpret_cast<const char*>(community.data()), community.len());
    char tail[48];
    snprintf(tail, sizeof tail, "|%d|%lu|%d", static_cast<int>(target.get_version()), timeout,
             target.get_retry());
    key += tail;

    if (!m_session->handle || m_session->key != key) {
        m_session->Close();
        netsnmp_session s;
        snmp_sess_init(&s);
        s.peername = peer;
        s.version = target.get_version() == version2c ? SNMP_VERSION_2c : SNMP_VERSION_1;
        s.community = const_cast<u_char*>(community.data());
        s.community_len = community.len();
        s.timeout = static_cast<long>(timeout) * 10000L;
        s.retries = target.get_retry();
        {
            std::lock_guard<std::mutex> g(g_openClose);
            m_session->handle = snmp_sess_open(&s);  // copies what it keeps
        }
        if (!m_session->handle) return SNMP_CLASS_TL_FAILED;
        m_session->key = key;
    }

    netsnmp_pdu* req = snmp_pdu_create(type);
    if (!req) return SNMP_CLASS_RESOURCE_UNAVAIL;
    if (type == sNMP_PDU_GETBULK) {
        req->non_repeaters = nonRep < 0 ? 0 : nonRep;
        req->max_repetitions = maxRep < 0 ? 0 : maxRep;
    }
    for (const Vb& vb : pdu.m_vbs) {
        const Oid& o = vb.get_oid();
        oid name[MAX_OID_LEN];
        size_t n = o.len();
        for (size_t i = 0; i < n; ++i) name[i] = o.data()[i];
        if (!snmp_add_null_var(req, name, n)) {
            snmp_free_pdu(req);
            return SNMP_CLASS_INVALID_OID;
        }
    }

    netsnmp_pdu* resp = nullptr;
    // The request PDU is the library's from here on, whatever the result.
    int st = snmp_sess_synch_response(m_session->handle, req, &resp);
    if (st == STAT_TIMEOUT) {
        if (resp) snmp_free_pdu(resp);
        return SNMP_CLASS_TIMEOUT;
    }
    if (st != STAT_SUCCESS || !resp) {
        if (resp) snmp_free_pdu(resp);
        m_session->Close();  // a transport that failed is not reused
        return SNMP_CLASS_TL_FAILED;
    }

    std::vector<Vb> vbs;
    for (const netsnmp_variable_list* v = resp->variables; v; v = v->next_variable) {
        std::vector<SmiUINT32> ids;
        for (size_t i = 0; i < v->name_length; ++i) ids.push_back(static_cast<SmiUINT32>(v->name[i]));
        Vb vb{Oid(ids.data(), ids.size())};
        SetValue(vb, v);
        vbs.push_back(vb);
    }
    pdu.m_vbs.swap(vbs);
    pdu.m_errorStatus = static_cast<int>(resp->errstat);
    pdu.m_errorIndex = static_cast<int>(resp->errindex);
    pdu.m_requestId = static_cast<unsigned long>(resp->reqid);
    pdu.m_type = sNMP_PDU_RESPONSE;
    snmp_free_pdu(resp);
    return pdu.m_errorStatus;
}

const char* Snmp::error_msg(int status) {
    static const char* const agentErrors[] = {
        "SNMP: Success",
        "SNMP: Response PDU Too Big",
        "SNMP: Variable does not exist",
        "SNMP: Cannot modify variable: Bad Value",
        "SNMP: Cannot modify object, Read Only",
        "SNMP: Cannot perform operation, General Error",
        "SNMP: Cannot access variable, No Access",
        "SNMP: Cannot create/modify variable, Wrong Type",
        "SNMP: Cannot create/set variable, Wrong Length",
        "SNMP: Cannot create/set variable, Wrong Encoding",
        "SNMP: Cannot create/set variable, Wrong Value",
        "SNMP: Cannot create variable, Creation Not Allowed",
        "SNMP: Cannot create/set variable, Inconsistent Value",
        "SNMP: Cannot create/set variable, Resource Unavailable",
        "SNMP: Cannot create/set variable, Commit Failed",
        "SNMP: Cannot create/set variable, Undo Failed",
        "SNMP: Cannot perform operation, Authorization Error",
        "SNMP: Cannot create/set variable, Not Writable",
        "SNMP: Cannot create variable, Inconsistent Name",
    };
    static const char* const libraryErrors[] = {
        "SNMP++: Success",
        "SNMP++: SNMP++ General Error",
        "SNMP++: Resource Unavailable",
        "SNMP++: Internal Error",
        "SNMP++: Unsupported Function",
        "SNMP++: SNMP Class Timeout",
        "SNMP++: Received SNMP Response",
        "SNMP++: Received SNMP Notification (trap or inform)",
        "SNMP++: SNMP Session Destroyed",
        "SNMP++: Unused Error Code",
        "SNMP++: Class not valid",
        "SNMP++: Invalid Pdu",
        "SNMP++: Invalid Target",
        "SNMP++: Invalid (null) Callback Function",
        "SNMP++: Invalid Request Id",
        "SNMP++: Invalid Notification Id",
        "SNMP++: SNMP Operation not supported on specified Target",
        "SNMP++: Invalid Object Identifier",
        "SNMP++: Invalid Address",
        "SNMP++: Agent indicates error in SNMP request",
        "SNMP++: Transport is not supported",
        "SNMP++: Transport is in use",
        "SNMP++: Transport operation failed",
        "SNMP++: Operation not allowed during shutdown",
    };
    const int nAgent = static_cast<int>(sizeof agentErrors / sizeof agentErrors[0]);
    const int nLibrary = static_cast<int>(sizeof libraryErrors / sizeof libraryErrors[0]);
    if (status >= 0) return status < nAgent ? agentErrors[status] : "SNMP: Unknown Error Status";
    if (status > -nLibrary) return libraryErrors[-status];
    return "SNMP++: Unknown error code";
}

}  // namespace Snmp_pp
