// Requests of the SNMP session against the scripted agent: what goes on the wire, how the
// response replaces the PDU's bindings, and the statuses of failures.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "snmp/snmp_pp.h"
#include "support/SnmpScriptAgent.h"

using namespace Snmp_pp;
using qxtest::OidOf;
using qxtest::SnmpReply;
using qxtest::SnmpRequest;
using qxtest::SnmpScriptAgent;
using qxtest::SnmpValue;

namespace {

UdpAddress Loopback(uint16_t port) {
    UdpAddress a("127.0.0.1");
    a.set_port(port);
    return a;
}

// The objects of a small agent: two scalars and a table of two columns by three rows.
std::map<qxtest::SnmpOid, SnmpValue> SmallMib() {
    return {
        {OidOf("1.3.6.1.2.1.1.5.0"), SnmpValue::Octets("server-1")},
        {OidOf("1.3.6.1.2.1.25.1.6.0"), SnmpValue::Gauge32(87)},
        {OidOf("1.3.6.1.2.1.25.3.3.1.1.1"), SnmpValue::ObjectId("0.0")},
        {OidOf("1.3.6.1.2.1.25.3.3.1.1.2"), SnmpValue::ObjectId("0.0")},
        {OidOf("1.3.6.1.2.1.25.3.3.1.1.3"), SnmpValue::ObjectId("0.0")},
        {OidOf("1.3.6.1.2.1.25.3.3.1.2.1"), SnmpValue::Int(5)},
        {OidOf("1.3.6.1.2.1.25.3.3.1.2.2"), SnmpValue::Int(7)},
        {OidOf("1.3.6.1.2.1.25.3.3.1.2.3"), SnmpValue::Int(3)},
    };
}

struct WireCase {
    const char* name;
    snmp_version version;
    bool bulk;
    uint8_t pduType;
    int32_t field2;  // error-status / non-repeaters on the wire
    int32_t field3;  // error-index / max-repetitions on the wire
    int bindings;    // in the response
};

TEST(SnmpRequest, RequestTypeFollowsVersion) {
    const WireCase cases[] = {
        {"v1 get", version1, false, qxtest::kPduGet, 0, 0, 1},
        // Version 1 knows no GETBULK: one GETNEXT, one binding back.
        {"v1 bulk", version1, true, qxtest::kPduGetNext, 0, 0, 1},
        {"v2c get", version2c, false, qxtest::kPduGet, 0, 0, 1},
        {"v2c bulk", version2c, true, qxtest::kPduGetBulk, 0, 10, 10},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.name);
        SnmpScriptAgent agent(SnmpScriptAgent::Table(SmallMib()));
        int status = -99;
        Snmp snmp(status, 0, false);
        ASSERT_EQ(SNMP_CLASS_SUCCESS, status);
        CTarget target(Loopback(agent.port()));
        target.set_version(c.version);
        Pdu pdu;
        pdu += Vb(Oid(c.bulk ? "1.3.6.1.2.1.25.1.6.0" : "1.3.6.1.2.1.1.5.0"));
        int rc = c.bulk ? snmp.get_bulk(pdu, target, 0, 10) : snmp.get(pdu, target);
        ASSERT_EQ(SNMP_CLASS_SUCCESS, rc) << Snmp::error_msg(rc);
        std::vector<SnmpRequest> rq = agent.requests();
        ASSERT_EQ(1u, rq.size());
        EXPECT_EQ(c.pduType, rq[0].pduType);
        EXPECT_EQ(static_cast<int>(c.version), rq[0].version);
        EXPECT_EQ("public", rq[0].community);
        EXPECT_EQ(c.field2, rq[0].nonRepeaters);
        EXPECT_EQ(c.field3, rq[0].maxRepetitions);
        EXPECT_EQ(c.bindings, pdu.get_vb_count());
        EXPECT_EQ(sNMP_PDU_RESPONSE, pdu.get_type());
        if (c.bulk) {
            // The first binding after the processor-count scalar is the first table row.
            EXPECT_STREQ("1.3.6.1.2.1.25.3.3.1.1.1", pdu[0].get_printable_oid());
        } else {
            EXPECT_STREQ("server-1", pdu[0].get_printable_value());
        }
    }
}

TEST(SnmpRequest, CommunityAndTargetsPerRequest) {
    SnmpScriptAgent a(SnmpScriptAgent::Table(SmallMib()));
    SnmpScriptAgent b(SnmpScriptAgent::Table(SmallMib()));
    int status;
    Snmp snmp(status, 0, false);
    CTarget ta(Loopback(a.port()));
    ta.set_readcommunity("talvik");
    CTarget tb(Loopback(b.port()));
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
    // One session object serves requests to different agents in turn.
    EXPECT_EQ(SNMP_CLASS_SUCCESS, snmp.get(pdu, ta));
    EXPECT_EQ(SNMP_CLASS_SUCCESS, snmp.get(pdu, tb));
    EXPECT_EQ(SNMP_CLASS_SUCCESS, snmp.get(pdu, ta));
    ASSERT_EQ(2u, a.requests().size());
    ASSERT_EQ(1u, b.requests().size());
    EXPECT_EQ("talvik", a.requests()[1].community);
    EXPECT_EQ("public", b.requests()[0].community);
}

TEST(SnmpRequest, ResponseReplacesBindings) {
    struct Case {
        const char* name;
        SnmpReply reply;
        int status;
        int count;
        int errorIndex;
    };
    const Case cases[] = {
        {"fewer bindings back",
         SnmpReply::With({{OidOf("1.3.6.1.2.1.1.5.0"), SnmpValue::Octets("x")}}), 0, 1, 0},
        {"more bindings back",
         SnmpReply::With({{OidOf("1.3.6.1.9.1"), SnmpValue::Int(1)},
                          {OidOf("1.3.6.1.9.2"), SnmpValue::Int(2)},
                          {OidOf("1.3.6.1.9.3"), SnmpValue::Int(3)},
                          {OidOf("1.3.6.1.9.4"), SnmpValue::Int(4)}}),
         0, 4, 0},
        // A success that carries no binding at all.
        {"empty response", SnmpReply::Empty(), 0, 0, 0},
        // An error status is the request's status; the bindings are the response's.
        {"noSuchName",
         SnmpReply::With({{OidOf("1.3.6.1.2.1.1.5.0"), SnmpValue::Null()}}, 2, 1), 2, 1, 1},
        {"genErr", SnmpReply::With({}, 5, 0), 5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SnmpScriptAgent agent([&c](const SnmpRequest&) { return c.reply; });
        int status;
        Snmp snmp(status, 0, false);
        CTarget target(Loopback(agent.port()));
        Pdu pdu;
        pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));
        pdu += Vb(Oid("1.3.6.1.2.1.1.3.0"));
        pdu += Vb(Oid("1.3.6.1.2.1.1.4.0"));
        EXPECT_EQ(c.status, snmp.get(pdu, target));
        EXPECT_EQ(c.count, pdu.get_vb_count());
        EXPECT_EQ(c.status, pdu.get_error_status());
        EXPECT_EQ(c.errorIndex, pdu.get_error_index());
        // Every binding of the request went out.
        ASSERT_EQ(1u, agent.requests().size());
        EXPECT_EQ(3u, agent.requests()[0].oids.size());
    }
}

TEST(SnmpRequest, ValuesOfEverySyntax) {
    struct Case {
        SnmpValue value;
        SmiUINT32 syntax;
        const char* printable;
    };
    const Case cases[] = {
        {SnmpValue::Int(-5), sNMP_SYNTAX_INT32, "-5"},
        {SnmpValue::Int(2147483647), sNMP_SYNTAX_INT32, "2147483647"},
        {SnmpValue::Gauge32(4000000000u), sNMP_SYNTAX_GAUGE32, "4000000000"},
        {SnmpValue::Counter32(17), sNMP_SYNTAX_CNTR32, "17"},
        {SnmpValue::TimeTicks(9650405), sNMP_SYNTAX_TIMETICKS, "1 day 2:48:24.05"},
        {SnmpValue::Counter64(12345678901ull), sNMP_SYNTAX_CNTR64, "12345678901"},
        {SnmpValue::Octets("On Line"), sNMP_SYNTAX_OCTETS, "On Line"},
        {SnmpValue::Octets(std::vector<uint8_t>{0xC4, 0xE3}), sNMP_SYNTAX_OCTETS,
         "C4 E3                                              ..\n"},
        {SnmpValue::IpAddr(10, 1, 2, 3), sNMP_SYNTAX_IPADDR, "10.1.2.3"},
        {SnmpValue::ObjectId("1.3.6.1.4.1.318"), sNMP_SYNTAX_OID, "1.3.6.1.4.1.318"},
        {SnmpValue::Null(), sNMP_SYNTAX_NULL, "<null>"},
        {SnmpValue::NoSuchObject(), sNMP_SYNTAX_NOSUCHOBJECT, "<null>"},
        {SnmpValue::NoSuchInstance(), sNMP_SYNTAX_NOSUCHINSTANCE, "<null>"},
        {SnmpValue::EndOfMibView(), sNMP_SYNTAX_ENDOFMIBVIEW, "<null>"},
    };
    std::vector<qxtest::SnmpBinding> all;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        all.push_back({OidOf(("1.3.6.1.4.1.99999.1." + std::to_string(i + 1) + ".0").c_str()),
                       cases[i].value});
    SnmpScriptAgent agent([&all](const SnmpRequest&) { return SnmpReply::With(all); });
    int status;
    Snmp snmp(status, 0, false);
    CTarget target(Loopback(agent.port()));
    target.set_version(version2c);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.4.1.99999.1"));
    ASSERT_EQ(SNMP_CLASS_SUCCESS, snmp.get(pdu, target));
    ASSERT_EQ(static_cast<int>(all.size()), pdu.get_vb_count());
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i + 1);
        Vb vb;
        ASSERT_TRUE(pdu.get_vb(vb, static_cast<int>(i)));
        EXPECT_EQ(qxtest::OidText(all[i].oid), vb.get_printable_oid());
        EXPECT_EQ(cases[i].syntax, vb.get_syntax());
        EXPECT_EQ(std::string(cases[i].printable), vb.get_printable_value());
    }
}

TEST(SnmpRequest, SilentAgentTimesOutAfterRetries) {
    struct Case {
        int retries;
        size_t tries;
    };
    const Case cases[] = {{0, 1}, {1, 2}, {2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.retries);
        SnmpScriptAgent agent([](const SnmpRequest&) { return SnmpReply::Silence(); });
        int status;
        Snmp snmp(status, 0, false);
        CTarget target(Loopback(agent.port()));
        target.set_timeout(30);
        target.set_retry(c.retries);
        Pdu pdu;
        pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
        pdu += Vb(Oid("1.3.6.1.2.1.1.6.0"));
        EXPECT_EQ(SNMP_CLASS_TIMEOUT, snmp.get(pdu, target));
        EXPECT_EQ(c.tries, agent.requests().size());
        // The request's bindings stay as they were.
        ASSERT_EQ(2, pdu.get_vb_count());
        EXPECT_STREQ("1.3.6.1.2.1.1.6.0", pdu[1].get_printable_oid());
    }
}

TEST(SnmpRequest, UnansweredPortWithDefaultTarget) {
    // A bound socket that never reads: nothing answers and no ICMP error comes back.
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a));
    ASSERT_EQ(0, getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len));
    int status;
    Snmp snmp(status, 0, false);
    CTarget target(Loopback(ntohs(a.sin_port)));
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
    int rc = snmp.get(pdu, target);
    EXPECT_EQ(SNMP_CLASS_TIMEOUT, rc);
    EXPECT_STREQ("SNMP++: SNMP Class Timeout", Snmp::error_msg(rc));
    close(fd);
}

TEST(SnmpRequest, MalformedAnswerIsNoResponse) {
    // Garbage (first try) and a response to another request id (second try) are ignored
    // like silence.
    const std::vector<uint8_t> garbage{0x30, 0x03, 0x02, 0x01};
    int tries = 0;
    SnmpScriptAgent agent([&garbage, &tries](const SnmpRequest& rq) {
        if (tries++ == 0) return SnmpReply::Raw(garbage);
        SnmpRequest other = rq;
        other.requestId = rq.requestId + 1;
        return SnmpReply::Raw(SnmpScriptAgent::EncodeResponse(
            other, SnmpReply::With({{OidOf("1.3.6.1.2.1.1.5.0"), SnmpValue::Int(1)}})));
    });
    int status;
    Snmp snmp(status, 0, false);
    CTarget target(Loopback(agent.port()));
    target.set_timeout(30);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
    EXPECT_EQ(SNMP_CLASS_TIMEOUT, snmp.get(pdu, target));
    EXPECT_EQ(2u, agent.requests().size());
}

TEST(SnmpRequest, InvalidRequestsAreNotSent) {
    SnmpScriptAgent agent(SnmpScriptAgent::Table(SmallMib()));
    int status;
    Snmp snmp(status, 0, false);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
    // A host that did not resolve (an address text without host).
    CTarget noHost(IpAddress(""));
    EXPECT_EQ(SNMP_CLASS_INVALID_TARGET, snmp.get(pdu, noHost));
    EXPECT_EQ(SNMP_CLASS_INVALID_TARGET, snmp.get_bulk(pdu, noHost, 0, 10));
    // A binding whose identifier did not parse.
    CTarget target(Loopback(agent.port()));
    pdu += Vb(Oid("1.3.6.x"));
    EXPECT_EQ(SNMP_CLASS_INVALID_OID, snmp.get(pdu, target));
    EXPECT_EQ(0u, agent.requests().size());
    EXPECT_EQ(2, pdu.get_vb_count());
}

TEST(SnmpSession, LocalPortAndFamily) {
    struct Case {
        unsigned short port;
        bool ipv6;
        int status;
    };
    const Case cases[] = {
        {0, false, SNMP_CLASS_SUCCESS},
        {1161, false, SNMP_CLASS_TL_UNSUPPORTED},
        {0, true, SNMP_CLASS_TL_UNSUPPORTED},
    };
    for (const Case& c : cases) {
        int status = -99;
        Snmp snmp(status, c.port, c.ipv6);
        EXPECT_EQ(c.status, status);
        if (status != SNMP_CLASS_SUCCESS) {
            // A session that did not open refuses requests instead of sending them.
            Pdu pdu;
            pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
            CTarget target(Loopback(9));
            EXPECT_EQ(SNMP_CLASS_INVALID, snmp.get(pdu, target));
        }
    }
    EXPECT_EQ(0, Snmp::socket_startup());
    Snmp::socket_cleanup();
}

}  // namespace
