// A scripted SNMP agent on a loopback UDP port, for tests that need an agent net-snmp's snmpd
// cannot imitate: an empty successful response, a walk that does not advance, an error status
// on a chosen binding, a reply that never comes, or bytes that are no SNMP message at all.
//
// Usage:
//   qxtest::SnmpScriptAgent agent([](const qxtest::SnmpRequest& rq) {
//       if (rq.pduType == qxtest::kPduGetNext) return qxtest::SnmpReply::Silence();
//       return qxtest::SnmpReply::With({{rq.oids[0], qxtest::SnmpValue::Int(42)}});
//   });
//   ... target UdpAddress("127.0.0.1") with set_port(agent.port()) ...
//   agent.requests()   // every request received so far, decoded
//
// For a well-behaved agent over a fixed set of objects, SnmpScriptAgent::Table(objects) gives a
// script answering GET, GETNEXT and GETBULK (noSuchName on version 1, exception values on
// version 2c); wrap it in a lambda to inject faults on chosen requests.
//
// The script runs on the agent's own thread, one request at a time; a script that keeps state
// needs no lock of its own unless the test reads that state while requests are in flight.
// Header-only; BER is encoded and decoded here, independently of net-snmp.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdint.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qxtest {

typedef std::vector<uint32_t> SnmpOid;

constexpr uint8_t kPduGet = 0xA0;
constexpr uint8_t kPduGetNext = 0xA1;
constexpr uint8_t kPduResponse = 0xA2;
constexpr uint8_t kPduGetBulk = 0xA5;

// "1.3.6.1" or ".1.3.6.1" as sub-identifiers.
inline SnmpOid OidOf(const char* text) {
    SnmpOid o;
    const char* p = text;
    if (*p == '.') ++p;
    while (*p) {
        uint32_t v = 0;
        while (*p >= '0' && *p <= '9') v = v * 10 + static_cast<uint32_t>(*p++ - '0');
        o.push_back(v);
        if (*p == '.') ++p;
        else if (*p) throw std::invalid_argument(text);
    }
    return o;
}

inline std::string OidText(const SnmpOid& o) {
    std::string s;
    for (size_t i = 0; i < o.size(); ++i) {
        if (i) s += '.';
        s += std::to_string(o[i]);
    }
    return s;
}

// A value as its BER tag and content bytes.
struct SnmpValue {
    uint8_t tag = 0x05;
    std::vector<uint8_t> content;

    static std::vector<uint8_t> SignedBytes(int64_t v) {
        std::vector<uint8_t> b;
        for (int i = 7; i >= 0; --i) b.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
        // Minimal two's complement: drop leading bytes that only repeat the sign.
        size_t k = 0;
        while (k + 1 < b.size() && ((b[k] == 0x00 && !(b[k + 1] & 0x80)) || (b[k] == 0xFF && (b[k + 1] & 0x80)))) ++k;
        return std::vector<uint8_t>(b.begin() + static_cast<long>(k), b.end());
    }
    static std::vector<uint8_t> UnsignedBytes(uint64_t v) {
        std::vector<uint8_t> b;
        for (int i = 7; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        size_t k = 0;
        while (k + 1 < b.size() && b[k] == 0 && !(b[k + 1] & 0x80)) ++k;
        std::vector<uint8_t> r(b.begin() + static_cast<long>(k), b.end());
        if (r[0] & 0x80) r.insert(r.begin(), 0);
        return r;
    }
    static std::vector<uint8_t> OidBytes(const SnmpOid& o) {
        std::vector<uint8_t> b;
        if (o.size() < 2) return {0};
        std::vector<uint32_t> ids;
        ids.push_back(o[0] * 40 + o[1]);
        ids.insert(ids.end(), o.begin() + 2, o.end());
        for (uint32_t id : ids) {
            uint8_t tmp[5];
            int n = 0;
            do {
                tmp[n++] = static_cast<uint8_t>(id & 0x7F);
                id >>= 7;
            } while (id);
            while (n--) b.push_back(static_cast<uint8_t>(tmp[n] | (n ? 0x80 : 0)));
        }
        return b;
    }

    static SnmpValue Make(uint8_t tag, std::vector<uint8_t> content) {
        SnmpValue v;
        v.tag = tag;
        v.content = std::move(content);
        return v;
    }
    static SnmpValue Int(int32_t v) { return Make(0x02, SignedBytes(v)); }
    static SnmpValue Octets(const std::string& s) { return Make(0x04, std::vector<uint8_t>(s.begin(), s.end())); }
    static SnmpValue Octets(std::vector<uint8_t> bytes) { return Make(0x04, std::move(bytes)); }
    static SnmpValue Null() { return Make(0x05, {}); }
    static SnmpValue ObjectId(const char* text) { return Make(0x06, OidBytes(OidOf(text))); }
    static SnmpValue IpAddr(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return Make(0x40, {a, b, c, d}); }
    static SnmpValue Counter32(uint32_t v) { return Make(0x41, UnsignedBytes(v)); }
    static SnmpValue Gauge32(uint32_t v) { return Make(0x42, UnsignedBytes(v)); }
    static SnmpValue TimeTicks(uint32_t v) { return Make(0x43, UnsignedBytes(v)); }
    static SnmpValue Counter64(uint64_t v) { return Make(0x46, UnsignedBytes(v)); }
    static SnmpValue NoSuchObject() { return Make(0x80, {}); }
    static SnmpValue NoSuchInstance() { return Make(0x81, {}); }
    static SnmpValue EndOfMibView() { return Make(0x82, {}); }
};

struct SnmpBinding {
    SnmpOid oid;
    SnmpValue value;
};

// One decoded request.
struct SnmpRequest {
    int version = -1;  // 0 = version 1, 1 = version 2c
    std::string community;
    uint8_t pduType = 0;
    int32_t requestId = 0;
    int32_t nonRepeaters = 0;    // error-status field; GETBULK's non-repeaters
    int32_t maxRepetitions = 0;  // error-index field; GETBULK's max-repetitions
    std::vector<SnmpOid> oids;
};

// What the agent does with one request.
struct SnmpReply {
    enum Kind { kResponse, kSilence, kRaw } kind = kResponse;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    std::vector<SnmpBinding> bindings;
    std::vector<uint8_t> raw;

    static SnmpReply With(std::vector<SnmpBinding> b, int32_t status = 0, int32_t index = 0) {
        SnmpReply r;
        r.bindings = std::move(b);
        r.errorStatus = status;
        r.errorIndex = index;
        return r;
    }
    static SnmpReply Empty() { return SnmpReply(); }
    static SnmpReply Silence() {
        SnmpReply r;
        r.kind = kSilence;
        return r;
    }
    static SnmpReply Raw(std::vector<uint8_t> bytes) {
        SnmpReply r;
        r.kind = kRaw;
        r.raw = std::move(bytes);
        return r;
    }
};

class SnmpScriptAgent {
public:
    typedef std::function<SnmpReply(const SnmpRequest&)> Script;

    // port 0: a free one; address: where it listens (host order, 127.0.0.1 by default), for
    // several agents on port 161 in a network namespace of the test's own.
    explicit SnmpScriptAgent(Script script, uint16_t port = 0, uint32_t address = INADDR_LOOPBACK)
        : m_script(std::move(script)) {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (m_fd < 0) throw std::runtime_error("SnmpScriptAgent: socket");
        sockaddr_in a;
        memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(address);
        a.sin_port = htons(port);
        socklen_t len = sizeof a;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            close(m_fd);
            throw std::runtime_error("SnmpScriptAgent: bind");
        }
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~SnmpScriptAgent() {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }
    SnmpScriptAgent(const SnmpScriptAgent&) = delete;
    SnmpScriptAgent& operator=(const SnmpScriptAgent&) = delete;

    uint16_t port() const { return m_port; }
    std::vector<SnmpRequest> requests() const {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_requests;
    }

    // A well-behaved agent over `objects`: GET answers each object (noSuchName with the
    // binding's index on version 1, noSuchObject in place on version 2c); GETNEXT answers the
    // next object after each binding; GETBULK answers max-repetitions rounds of GETNEXT (the
    // first non-repeaters bindings once), endOfMibView past the last object. Version 1 past the
    // last object answers noSuchName.
    static Script Table(std::map<SnmpOid, SnmpValue> objects) {
        return [objects](const SnmpRequest& rq) -> SnmpReply {
            std::vector<SnmpBinding> out;
            auto next = [&](const SnmpOid& o, SnmpBinding& b) {
                auto it = objects.upper_bound(o);
                if (it == objects.end()) return false;
                b.oid = it->first;
                b.value = it->second;
                return true;
            };
            if (rq.pduType == kPduGet) {
                for (size_t i = 0; i < rq.oids.size(); ++i) {
                    auto it = objects.find(rq.oids[i]);
                    if (it != objects.end()) {
                        out.push_back({it->first, it->second});
                    } else if (rq.version == 0) {
                        return WithRequestOids(rq, 2, static_cast<int32_t>(i + 1));
                    } else {
                        out.push_back({rq.oids[i], SnmpValue::NoSuchObject()});
                    }
                }
                return SnmpReply::With(out);
            }
            if (rq.pduType == kPduGetNext) {
                for (size_t i = 0; i < rq.oids.size(); ++i) {
                    SnmpBinding b;
                    if (next(rq.oids[i], b)) {
                        out.push_back(b);
                    } else if (rq.version == 0) {
                        return WithRequestOids(rq, 2, static_cast<int32_t>(i + 1));
                    } else {
                        out.push_back({rq.oids[i], SnmpValue::EndOfMibView()});
                    }
                }
                return SnmpReply::With(out);
            }
            if (rq.pduType == kPduGetBulk) {
                size_t nonRep = rq.nonRepeaters < 0 ? 0 : static_cast<size_t>(rq.nonRepeaters);
                if (nonRep > rq.oids.size()) nonRep = rq.oids.size();
                for (size_t i = 0; i < nonRep; ++i) {
                    SnmpBinding b;
                    if (!next(rq.oids[i], b)) b = {rq.oids[i], SnmpValue::EndOfMibView()};
                    out.push_back(b);
                }
                std::vector<SnmpOid> cursor(rq.oids.begin() + static_cast<long>(nonRep), rq.oids.end());
                for (int32_t r = 0; r < rq.maxRepetitions && !cursor.empty(); ++r) {
                    for (SnmpOid& c : cursor) {
                        SnmpBinding b;
                        if (!next(c, b)) b = {c, SnmpValue::EndOfMibView()};
                        out.push_back(b);
                        c = b.oid;
                    }
                }
                return SnmpReply::With(out);
            }
            return SnmpReply::Silence();
        };
    }

    // The request's own bindings with NULL values and the given error status and index.
    static SnmpReply WithRequestOids(const SnmpRequest& rq, int32_t status, int32_t index) {
        std::vector<SnmpBinding> b;
        for (const SnmpOid& o : rq.oids) b.push_back({o, SnmpValue::Null()});
        return SnmpReply::With(b, status, index);
    }

    // ------------------------------------------------------------------ BER
    static void PutLength(std::vector<uint8_t>& out, size_t len) {
        if (len < 0x80) {
            out.push_back(static_cast<uint8_t>(len));
        } else if (len < 0x100) {
            out.push_back(0x81);
            out.push_back(static_cast<uint8_t>(len));
        } else {
            out.push_back(0x82);
            out.push_back(static_cast<uint8_t>(len >> 8));
            out.push_back(static_cast<uint8_t>(len));
        }
    }
    static std::vector<uint8_t> Tlv(uint8_t tag, const std::vector<uint8_t>& content) {
        std::vector<uint8_t> out{tag};
        PutLength(out, content.size());
        out.insert(out.end(), content.begin(), content.end());
        return out;
    }
    static void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
        out.insert(out.end(), more.begin(), more.end());
    }

    // A community-based message (version 0 = v1, 1 = v2c) of any PDU type.
    static std::vector<uint8_t> EncodeMessage(int version, const std::string& community,
                                              uint8_t pduType, int32_t requestId, int32_t field2,
                                              int32_t field3,
                                              const std::vector<SnmpBinding>& bindings) {
        std::vector<uint8_t> list;
        for (const SnmpBinding& b : bindings) {
            std::vector<uint8_t> vb = Tlv(0x06, SnmpValue::OidBytes(b.oid));
            Append(vb, Tlv(b.value.tag, b.value.content));
            Append(list, Tlv(0x30, vb));
        }
        std::vector<uint8_t> pdu = Tlv(0x02, SnmpValue::SignedBytes(requestId));
        Append(pdu, Tlv(0x02, SnmpValue::SignedBytes(field2)));
        Append(pdu, Tlv(0x02, SnmpValue::SignedBytes(field3)));
        Append(pdu, Tlv(0x30, list));
        std::vector<uint8_t> msg = Tlv(0x02, SnmpValue::SignedBytes(version));
        Append(msg, Tlv(0x04, std::vector<uint8_t>(community.begin(), community.end())));
        Append(msg, Tlv(pduType, pdu));
        return Tlv(0x30, msg);
    }

    // A response message to rq as the agent sends it.
    static std::vector<uint8_t> EncodeResponse(const SnmpRequest& rq, const SnmpReply& reply) {
        return EncodeMessage(rq.version, rq.community, kPduResponse, rq.requestId,
                             reply.errorStatus, reply.errorIndex, reply.bindings);
    }

    // Decodes a request message; false for anything else.
    static bool DecodeRequest(const uint8_t* p, size_t n, SnmpRequest& rq) {
        Reader r{p, p + n};
        Reader msg, pdu, list;
        std::vector<uint8_t> c;
        int64_t v;
        uint8_t tag;
        if (!r.Enter(0x30, msg) || !msg.Int(v)) return false;
        rq.version = static_cast<int>(v);
        if (!msg.Bytes(0x04, c)) return false;
        rq.community.assign(c.begin(), c.end());
        if (!msg.Any(tag, pdu)) return false;
        rq.pduType = tag;
        if (!pdu.Int(v)) return false;
        rq.requestId = static_cast<int32_t>(v);
        if (!pdu.Int(v)) return false;
        rq.nonRepeaters = static_cast<int32_t>(v);
        if (!pdu.Int(v)) return false;
        rq.maxRepetitions = static_cast<int32_t>(v);
        if (!pdu.Enter(0x30, list)) return false;
        while (list.p < list.end) {
            Reader vb, value;
            std::vector<uint8_t> ob;
            if (!list.Enter(0x30, vb) || !vb.Bytes(0x06, ob) || !vb.Any(tag, value)) return false;
            SnmpOid o;
            uint32_t cur = 0;
            for (size_t i = 0; i < ob.size(); ++i) {
                cur = (cur << 7) | (ob[i] & 0x7F);
                if (!(ob[i] & 0x80)) {
                    if (o.empty()) {
                        o.push_back(cur < 80 ? cur / 40 : 2);
                        o.push_back(cur < 80 ? cur % 40 : cur - 80);
                    } else {
                        o.push_back(cur);
                    }
                    cur = 0;
                }
            }
            rq.oids.push_back(o);
        }
        return true;
    }

private:
    struct Reader {
        const uint8_t* p;
        const uint8_t* end;
        bool Any(uint8_t& tag, Reader& inner) {
            if (end - p < 2) return false;
            tag = *p++;
            size_t len = *p++;
            if (len & 0x80) {
                size_t k = len & 0x7F;
                if (k == 0 || k > 2 || static_cast<size_t>(end - p) < k) return false;
                len = 0;
                while (k--) len = (len << 8) | *p++;
            }
            if (static_cast<size_t>(end - p) < len) return false;
            inner.p = p;
            inner.end = p + len;
            p += len;
            return true;
        }
        bool Enter(uint8_t want, Reader& inner) {
            uint8_t tag;
            return Any(tag, inner) && tag == want;
        }
        bool Bytes(uint8_t want, std::vector<uint8_t>& out) {
            Reader in;
            if (!Enter(want, in)) return false;
            out.assign(in.p, in.end);
            return true;
        }
        bool Int(int64_t& v) {
            std::vector<uint8_t> b;
            if (!Bytes(0x02, b) || b.empty() || b.size() > 8) return false;
            v = (b[0] & 0x80) ? -1 : 0;
            for (uint8_t x : b) v = static_cast<int64_t>((static_cast<uint64_t>(v) << 8) | x);
            return true;
        }
    };

    void Run() {
        uint8_t buf[65536];
        while (!m_stop) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0) continue;
            sockaddr_in from;
            socklen_t flen = sizeof from;
            ssize_t n = recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &flen);
            if (n <= 0) continue;
            SnmpRequest rq;
            if (!DecodeRequest(buf, static_cast<size_t>(n), rq)) continue;
            {
                std::lock_guard<std::mutex> g(m_mutex);
                m_requests.push_back(rq);
            }
            SnmpReply reply = m_script(rq);
            std::vector<uint8_t> out;
            if (reply.kind == SnmpReply::kSilence) continue;
            out = reply.kind == SnmpReply::kRaw ? reply.raw : EncodeResponse(rq, reply);
            sendto(m_fd, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), flen);
        }
    }

    Script m_script;
    int m_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<SnmpRequest> m_requests;
};

}  // namespace qxtest
