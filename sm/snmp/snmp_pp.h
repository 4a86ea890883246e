// SNMP client classes in the shape of SNMP++ (namespace Snmp_pp), over net-snmp's
// single-session API. Only what the SNMP handlers of this library use is offered:
//
//   Snmp      session: socket_startup/socket_cleanup, Snmp(status, 0, false), get, get_bulk,
//             error_msg
//   Pdu       list of bindings: +=, [], get_vb, set_vblist, get_vb_count; a request's
//             response replaces the bindings
//   Vb        one binding: set_oid, get_oid, get_syntax, get_value(int&), get_printable_value
//   Oid       dotted object identifier: len, nCompare, [], =
//   IpAddress / UdpAddress, CTarget (community target), OctetStr and the value types
//
// Behaviour kept from SNMP++ because the handlers rely on it:
//   - a community target defaults to SNMP version 1, community "public", time-out 100
//     hundredths of a second, 1 retry, UDP port 161;
//   - get_bulk on a version-1 target is sent as GETNEXT;
//   - a request returns SNMP_CLASS_SUCCESS (0), a negative SNMP_CLASS_... code of the library,
//     or the agent's positive error status (2 = noSuchName); error_msg gives SNMP++'s texts;
//   - Vb::get_value(int&) reads INTEGER values only;
//   - printable values: numbers in decimal, TimeTicks as "H:MM:SS.hh", "1 day H:MM:SS.hh" or
//     "N days, H:MM:SS.hh", octet strings as their text when every byte is printable ASCII
//     (CR and LF allowed) and otherwise as a hex dump (see OctetStr::get_printable_hex).
//
// net-snmp is initialised once, without reading configuration, persistent or MIB files.
// An Snmp object belongs to one thread at a time; different objects may be used from
// different threads.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

namespace Snmp_pp {

typedef uint32_t SmiUINT32;
typedef int32_t SmiINT32;

// ------------------------------------------------------------------ syntaxes (ASN.1 tags)
constexpr SmiUINT32 sNMP_SYNTAX_INT = 0x02;
constexpr SmiUINT32 sNMP_SYNTAX_INT32 = 0x02;
constexpr SmiUINT32 sNMP_SYNTAX_BITS = 0x03;
constexpr SmiUINT32 sNMP_SYNTAX_OCTETS = 0x04;
constexpr SmiUINT32 sNMP_SYNTAX_NULL = 0x05;
constexpr SmiUINT32 sNMP_SYNTAX_OID = 0x06;
constexpr SmiUINT32 sNMP_SYNTAX_IPADDR = 0x40;
constexpr SmiUINT32 sNMP_SYNTAX_CNTR32 = 0x41;
constexpr SmiUINT32 sNMP_SYNTAX_GAUGE32 = 0x42;
constexpr SmiUINT32 sNMP_SYNTAX_UINT32 = 0x42;
constexpr SmiUINT32 sNMP_SYNTAX_TIMETICKS = 0x43;
constexpr SmiUINT32 sNMP_SYNTAX_OPAQUE = 0x44;
constexpr SmiUINT32 sNMP_SYNTAX_CNTR64 = 0x46;
constexpr SmiUINT32 sNMP_SYNTAX_NOSUCHOBJECT = 0x80;
constexpr SmiUINT32 sNMP_SYNTAX_NOSUCHINSTANCE = 0x81;
constexpr SmiUINT32 sNMP_SYNTAX_ENDOFMIBVIEW = 0x82;

// ------------------------------------------------------------------ PDU types
constexpr unsigned short sNMP_PDU_GET = 0xA0;
constexpr unsigned short sNMP_PDU_GETNEXT = 0xA1;
constexpr unsigned short sNMP_PDU_RESPONSE = 0xA2;
constexpr unsigned short sNMP_PDU_GETBULK = 0xA5;

// ------------------------------------------------------------------ status codes
// Library codes are negative; an agent's error status is returned as its positive value.
constexpr int SNMP_CLASS_SUCCESS = 0;
constexpr int SNMP_CLASS_ERROR = -1;
constexpr int SNMP_CLASS_RESOURCE_UNAVAIL = -2;
constexpr int SNMP_CLASS_INTERNAL_ERROR = -3;
constexpr int SNMP_CLASS_UNSUPPORTED = -4;
constexpr int SNMP_CLASS_TIMEOUT = -5;
constexpr int SNMP_CLASS_ASYNC_RESPONSE = -6;
constexpr int SNMP_CLASS_NOTIFICATION = -7;
constexpr int SNMP_CLASS_SESSION_DESTROYED = -8;
constexpr int SNMP_CLASS_INVALID = -10;
constexpr int SNMP_CLASS_INVALID_PDU = -11;
constexpr int SNMP_CLASS_INVALID_TARGET = -12;
constexpr int SNMP_CLASS_INVALID_CALLBACK = -13;
constexpr int SNMP_CLASS_INVALID_REQID = -14;
constexpr int SNMP_CLASS_INVALID_NOTIFYID = -15;
constexpr int SNMP_CLASS_INVALID_OPERATION = -16;
constexpr int SNMP_CLASS_INVALID_OID = -17;
constexpr int SNMP_CLASS_INVALID_ADDRESS = -18;
constexpr int SNMP_CLASS_ERR_STATUS_SET = -19;
constexpr int SNMP_CLASS_TL_UNSUPPORTED = -20;
constexpr int SNMP_CLASS_TL_IN_USE = -21;
constexpr int SNMP_CLASS_TL_FAILED = -22;
constexpr int SNMP_CLASS_SHUTDOWN = -23;

constexpr int SNMP_ERROR_SUCCESS = 0;
constexpr int SNMP_ERROR_TOO_BIG = 1;
constexpr int SNMP_ERROR_NO_SUCH_NAME = 2;
constexpr int SNMP_ERROR_BAD_VALUE = 3;
constexpr int SNMP_ERROR_READ_ONLY = 4;
constexpr int SNMP_ERROR_GENERAL_VB_ERR = 5;
constexpr int SNMP_ERROR_NO_ACCESS = 6;
constexpr int SNMP_ERROR_WRONG_TYPE = 7;
constexpr int SNMP_ERROR_WRONG_LENGTH = 8;
constexpr int SNMP_ERROR_WRONG_ENCODING = 9;
constexpr int SNMP_ERROR_WRONG_VALUE = 10;
constexpr int SNMP_ERROR_NO_CREATION = 11;
constexpr int SNMP_ERROR_INCONSIST_VAL = 12;
constexpr int SNMP_ERROR_RESOURCE_UNAVAIL = 13;
constexpr int SNMP_ERROR_COMITFAIL = 14;
constexpr int SNMP_ERROR_UNDO_FAIL = 15;
constexpr int SNMP_ERROR_AUTH_ERR = 16;
constexpr int SNMP_ERROR_NOT_WRITEABLE = 17;
constexpr int SNMP_ERROR_INCONSIS_NAME = 18;

enum snmp_version { version1 = 0, version2c = 1 };

// ------------------------------------------------------------------ values
class SnmpSyntax {
public:
    virtual ~SnmpSyntax() {}
    virtual SmiUINT32 get_syntax() const = 0;
    // Text form of the value; valid until the object changes or is destroyed.
    virtual const char* get_printable() const = 0;
    virtual bool valid() const = 0;
    virtual SnmpSyntax* clone() const = 0;
};

class SnmpInt32 : public SnmpSyntax {
public:
    SnmpInt32(long v = 0) : m_value(static_cast<int32_t>(v)) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_INT32; }
    const char* get_printable() const override;
    bool valid() const override { return true; }
    SnmpSyntax* clone() const override { return new SnmpInt32(*this); }
    operator long() const { return m_value; }

private:
    int32_t m_value;
    mutable std::string m_text;
};

class SnmpUInt32 : public SnmpSyntax {
public:
    SnmpUInt32(unsigned long v = 0) : m_value(static_cast<uint32_t>(v)) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_UINT32; }
    const char* get_printable() const override;
    bool valid() const override { return true; }
    SnmpSyntax* clone() const override { return new SnmpUInt32(*this); }
    operator unsigned long() const { return m_value; }

protected:
    uint32_t m_value;
    mutable std::string m_text;
};

class Gauge32 : public SnmpUInt32 {
public:
    Gauge32(unsigned long v = 0) : SnmpUInt32(v) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_GAUGE32; }
    SnmpSyntax* clone() const override { return new Gauge32(*this); }
};

class Counter32 : public SnmpUInt32 {
public:
    Counter32(unsigned long v = 0) : SnmpUInt32(v) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_CNTR32; }
    SnmpSyntax* clone() const override { return new Counter32(*this); }
};

// Hundredths of a second.
class TimeTicks : public SnmpUInt32 {
public:
    TimeTicks(unsigned long v = 0) : SnmpUInt32(v) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_TIMETICKS; }
    const char* get_printable() const override;
    SnmpSyntax* clone() const override { return new TimeTicks(*this); }
};

class Counter64 : public SnmpSyntax {
public:
    Counter64(uint64_t v = 0) : m_value(v) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_CNTR64; }
    const char* get_printable() const override;
    bool valid() const override { return true; }
    SnmpSyntax* clone() const override { return new Counter64(*this); }
    uint64_t value() const { return m_value; }

private:
    uint64_t m_value;
    mutable std::string m_text;
};

// NULL, and the exception values of SNMPv2 (noSuchObject, noSuchInstance, endOfMibView).
class SnmpNull : public SnmpSyntax {
public:
    explicit SnmpNull(SmiUINT32 syntax = sNMP_SYNTAX_NULL) : m_syntax(syntax) {}
    SmiUINT32 get_syntax() const override { return m_syntax; }
    const char* get_printable() const override { return "<null>"; }
    bool valid() const override { return true; }
    SnmpSyntax* clone() const override { return new SnmpNull(*this); }

private:
    SmiUINT32 m_syntax;
};

class OctetStr : public SnmpSyntax {
public:
    OctetStr() {}
    OctetStr(const char* text);
    OctetStr(const unsigned char* data, size_t len);
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_OCTETS; }
    // The bytes as text when each is printable ASCII, CR or LF (a single NUL as the last
    // byte is dropped); otherwise get_printable_hex().
    const char* get_printable() const override;
    // Hex dump, 16 bytes a line: each byte as "%02X ", a short last line padded to the full
    // width, three blanks, the bytes as characters ('.' for those not printable), "\n".
    const char* get_printable_hex() const;
    bool valid() const override { return true; }
    SnmpSyntax* clone() const override { return new OctetStr(*this); }
    size_t len() const { return m_data.size(); }
    const unsigned char* data() const { return m_data.data(); }
    bool operator==(const OctetStr& o) const { return m_data == o.m_data; }

protected:
    std::vector<unsigned char> m_data;
    mutable std::string m_text;
};

class OpaqueStr : public OctetStr {
public:
    OpaqueStr() {}
    OpaqueStr(const unsigned char* data, size_t len) : OctetStr(data, len) {}
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_OPAQUE; }
    SnmpSyntax* clone() const override { return new OpaqueStr(*this); }
};

class Oid : public SnmpSyntax {
public:
    Oid() {}
    // Dotted decimal text ("1.3.6.1.2.1.1.5.0", a leading '.' allowed). With
    // is_dotted_oid_string false, every character of the text is one sub-identifier.
    Oid(const char* text, bool is_dotted_oid_string = true);
    Oid(const SmiUINT32* raw, size_t len);
    Oid& operator=(const char* text);
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_OID; }
    const char* get_printable() const override;  // dotted, without a leading '.'
    // A parsed, non-empty identifier of at most 128 sub-identifiers.
    bool valid() const override { return m_valid; }
    SnmpSyntax* clone() const override { return new Oid(*this); }
    unsigned long len() const { return m_ids.size(); }
    // Compares the first n sub-identifiers with those of o: 0 when equal, -1 or 1 otherwise.
    // When either identifier is shorter than n, the comparison covers the shorter length
    // and the shorter identifier is the smaller one.
    int nCompare(unsigned long n, const Oid& o) const;
    // Sub-identifier at index; an index outside the identifier reaches a scratch element.
    SmiUINT32& operator[](int index);
    const SmiUINT32& operator[](int index) const;
    bool operator==(const Oid& o) const { return m_valid == o.m_valid && m_ids == o.m_ids; }
    bool operator!=(const Oid& o) const { return !(*this == o); }
    const SmiUINT32* data() const { return m_ids.data(); }

private:
    std::vector<SmiUINT32> m_ids;
    bool m_valid = false;
    SmiUINT32 m_scratch = 0;
    mutable std::string m_text;
};

// ------------------------------------------------------------------ addresses
class Address : public SnmpSyntax {};

// IPv4 address: dotted text, or a host name resolved once at construction.
class IpAddress : public Address {
public:
    IpAddress() {}
    IpAddress(const char* text);
    IpAddress(const unsigned char bytes[4]);
    SmiUINT32 get_syntax() const override { return sNMP_SYNTAX_IPADDR; }
    const char* get_printable() const override;  // dotted quad, empty when invalid
    bool valid() const override { return m_valid; }
    SnmpSyntax* clone() const override { return new IpAddress(*this); }
    const unsigned char* bytes() const { return m_addr; }

protected:
    unsigned char m_addr[4] = {0, 0, 0, 0};
    bool m_valid = false;
    mutable std::string m_text;
};

class UdpAddress : public IpAddress {
public:
    UdpAddress() {}
    UdpAddress(const char* text) : IpAddress(text) {}
    UdpAddress(const IpAddress& ip) : IpAddress(ip) {}
    const char* get_printable() const override;  // "a.b.c.d/port"
    SnmpSyntax* clone() const override { return new UdpAddress(*this); }
    void set_port(unsigned short port) { m_port = port; }
    unsigned short get_port() const { return m_port; }

private:
    unsigned short m_port = 0;
};

// ------------------------------------------------------------------ binding and PDU
class Vb {
public:
    Vb() {}
    Vb(const Oid& oid) : m_oid(oid) {}
    Vb(const Vb& o);
    Vb& operator=(const Vb& o);

    void set_oid(const Oid& oid) { m_oid = oid; }
    void get_oid(Oid& oid) const { oid = m_oid; }
    const Oid& get_oid() const { return m_oid; }
    const char* get_printable_oid() const { return m_oid.get_printable(); }

    void set_value(const SnmpSyntax& value) { m_value.reset(value.clone()); }
    void set_null() { m_value.reset(); }
    // The value's syntax; sNMP_SYNTAX_NULL when the binding holds no value.
    SmiUINT32 get_syntax() const;
    const char* get_printable_value() const;
    // INTEGER values only: SNMP_CLASS_SUCCESS, or SNMP_CLASS_INVALID with i unchanged.
    int get_value(int& i) const;
    // OCTET STRING values only (as get_value(int&)).
    int get_value(OctetStr& s) const;
    const SnmpSyntax* get_value() const { return m_value.get(); }
    bool valid() const { return m_oid.valid(); }

private:
    Oid m_oid;
    std::unique_ptr<SnmpSyntax> m_value;
};

class Pdu {
public:
    Pdu() {}
    Pdu(const Vb* vbs, int count) { set_vblist(vbs, count); }

    Pdu& operator+=(const Vb& vb);
    // Binding at index; an index outside the list reaches a scratch binding.
    Vb& operator[](int index);
    // Copies binding index into vb: true, or false for an index outside the list.
    int get_vb(Vb& vb, int index) const;
    int set_vb(const Vb& vb, int index);
    int get_vb_count() const { return static_cast<int>(m_vbs.size()); }
    // Replaces the bindings by the count first ones of vbs.
    int set_vblist(const Vb* vbs, int count);
    void clear();

    int get_error_status() const { return m_errorStatus; }
    int get_error_index() const { return m_errorIndex; }
    unsigned long get_request_id() const { return m_requestId; }
    unsigned short get_type() const { return m_type; }
    bool valid() const { return true; }

private:
    friend class Snmp;
    std::vector<Vb> m_vbs;
    Vb m_scratch;
    int m_errorStatus = 0;
    int m_errorIndex = 0;
    unsigned long m_requestId = 0;
    unsigned short m_type = sNMP_PDU_GET;
};

// ------------------------------------------------------------------ targets
class SnmpTarget {
public:
    virtual ~SnmpTarget() {}
    bool valid() const { return m_address.valid(); }
    void set_address(const Address& address);
    void get_address(UdpAddress& address) const { address = m_address; }
    void set_version(snmp_version v) { m_version = v; }
    snmp_version get_version() const { return m_version; }
    // Hundredths of a second per try.
    void set_timeout(unsigned long t) { m_timeout = t; }
    unsigned long get_timeout() const { return m_timeout; }
    // Further tries after the first.
    void set_retry(int r) { m_retries = r < 0 ? 0 : r; }
    int get_retry() const { return m_retries; }

protected:
    SnmpTarget() {}
    // A UdpAddress keeps its port (0 means 161); any other address gets port 161.
    UdpAddress m_address;
    snmp_version m_version = version1;
    unsigned long m_timeout = 100;
    int m_retries = 1;
};

class CTarget : public SnmpTarget {
public:
    CTarget() {}
    explicit CTarget(const Address& address) { set_address(address); }
    CTarget(const Address& address, const char* read_community, const char* write_community);
    void set_readcommunity(const OctetStr& community) { m_read = community; }
    void get_readcommunity(OctetStr& community) const { community = m_read; }
    const OctetStr& get_readcommunity() const { return m_read; }
    void set_writecommunity(const OctetStr& community) { m_write = community; }
    void get_writecommunity(OctetStr& community) const { community = m_write; }

private:
    OctetStr m_read{"public"};
    OctetStr m_write{"public"};
};

// ------------------------------------------------------------------ session
class Snmp {
public:
    // Nothing to start on this platform; kept for the callers' sequence. Returns 0.
    static int socket_startup();
    static void socket_cleanup();

    // Opens a session for requests from any local port (port 0) over IPv4. status is
    // SNMP_CLASS_SUCCESS, or SNMP_CLASS_TL_UNSUPPORTED for another local port or IPv6, or
    // SNMP_CLASS_TL_FAILED / SNMP_CLASS_INTERNAL_ERROR when no socket or library is there.
    Snmp(int& status, unsigned short port = 0, bool bind_ipv6 = false);
    ~Snmp();
    Snmp(const Snmp&) = delete;
    Snmp& operator=(const Snmp&) = delete;

    // Synchronous requests; on an answer the response's bindings, error status and index
    // replace those of pdu (also when the agent reports an error). Nothing changes in pdu
    // on a time-out or another failure.
    int get(Pdu& pdu, const SnmpTarget& target);
    int get_bulk(Pdu& pdu, const SnmpTarget& target, int non_repeaters, int max_reps);

    static const char* error_msg(int status);

private:
    struct Session;
    int request(Pdu& pdu, const SnmpTarget& target, unsigned short type, int nonRep, int maxRep);
    std::unique_ptr<Session> m_session;
    bool m_ok = false;
};

}  // namespace Snmp_pp
