// The single SNMP requests the SNMP handlers share, against the scripted agent: values as
// numbers and texts, what a failure prints and returns, what goes on the wire.
#include <limits.h>

#include <map>
#include <string>
#include <vector>

#include "engines/SnmpFuncs.h"
#include "gtest/gtest.h"
#include "support/SnmpScriptAgent.h"

using namespace Snmp_pp;
using qxtest::OidOf;
using qxtest::SnmpReply;
using qxtest::SnmpRequest;
using qxtest::SnmpScriptAgent;
using qxtest::SnmpValue;

namespace {

const char kObj[] = "1.3.6.1.4.1.99999.1.1.0";

// One session and a target on the agent's port; time-outs kept short.
struct Client {
    int status = -99;
    Snmp snmp{status, 0, false};
    Pdu pdu;
    CTarget target;
    explicit Client(uint16_t port, snmp_version v = version1) {
        UdpAddress a("127.0.0.1");
        a.set_port(port);
        target = CTarget(a);
        target.set_readcommunity("talvik");
        target.set_version(v);
        target.set_timeout(20);
        target.set_retry(0);
        pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));
    }
};

// An agent answering every GET of kObj with one value.
SnmpScriptAgent::Script Answer(SnmpValue v) {
    return SnmpScriptAgent::Table({{OidOf(kObj), v}});
}

struct ValueCase {
    const char* name;
    SnmpValue value;
    int number;        // _oidGet
    const char* text;  // _oidGetStr
};

TEST(SnmpFuncs, ValueAsNumberAndAsText) {
    const ValueCase cases[] = {
        {"integer", SnmpValue::Int(230), 230, "230"},
        {"negative", SnmpValue::Int(-5), -5, "-5"},
        {"decimal text", SnmpValue::Octets("12.7"), 12, "12.7"},
        {"word", SnmpValue::Octets("On Line"), 0, "On Line"},
        {"number then unit", SnmpValue::Octets(" -42 V"), -42, " -42 V"},
        {"counter", SnmpValue::Counter32(17), 17, "17"},
        // Beyond int: held to INT_MAX on every build, never wrapped to a negative number.
        {"gauge above int", SnmpValue::Gauge32(4000000000u), INT_MAX, "4000000000"},
        {"counter64", SnmpValue::Counter64(10000000000ull), INT_MAX, "10000000000"},
        {"time ticks", SnmpValue::TimeTicks(9650405), 1, "1 day 2:48:24.05"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        SnmpScriptAgent agent(Answer(c.value));
        Client cl(agent.port());
        ASSERT_EQ(cl.status, SNMP_CLASS_SUCCESS);
        testing::internal::CaptureStdout();
        EXPECT_EQ(_oidGet(cl.snmp, cl.pdu, cl.target, kObj), c.number);
        EXPECT_EQ(_oidGetStr(cl.snmp, cl.pdu, cl.target, kObj), c.text);
        std::string out = testing::internal::GetCapturedStdout();
        std::string line = std::string("SNMP.get val=") + c.text + "\n";
        EXPECT_EQ(out, line + line);
    }
}

struct FailCase {
    const char* name;
    SnmpScriptAgent::Script script;
    const char* oid;
    const char* error;  // the library's text after "SNMP.get err "
};

TEST(SnmpFuncs, FailedRequestsGiveZeroAndEmptyText) {
    const FailCase cases[] = {
        {"silent agent", [](const SnmpRequest&) { return SnmpReply::Silence(); }, kObj,
         "SNMP++: SNMP Class Timeout"},
        {"noSuchName", Answer(SnmpValue::Int(1)), "1.3.6.1.4.1.99999.9.0",
         "SNMP: Variable does not exist"},
        {"empty successful response", [](const SnmpRequest&) { return SnmpReply::Empty(); }, kObj,
         "SNMP++: Invalid Pdu"},
        {"malformed identifier", Answer(SnmpValue::Int(1)), "1.3.x.1",
         "SNMP++: Invalid Object Identifier"},
        {"no identifier", Answer(SnmpValue::Int(1)), nullptr, "SNMP++: Invalid Object Identifier"},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.name);
        SnmpScriptAgent agent(c.script);
        Client cl(agent.port());
        testing::internal::CaptureStdout();
        EXPECT_EQ(_oidGet(cl.snmp, cl.pdu, cl.target, c.oid), 0);
        EXPECT_EQ(_oidGetStr(cl.snmp, cl.pdu, cl.target, c.oid), "");
        std::string out = testing::internal::GetCapturedStdout();
        std::string line = std::string("SNMP.get err ") + c.error + "\n";
        EXPECT_EQ(out, line + line);
    }
}

TEST(SnmpFuncs, StatusTellsAFailedRequestFromAnEmptyValue) {
    SnmpScriptAgent agent(Answer(SnmpValue::Octets("")));
    Client cl(agent.port());
    std::string text = "old";
    testing::internal::CaptureStdout();
    EXPECT_EQ(qx::SnmpGetText(cl.snmp, cl.pdu, cl.target, kObj, text), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(text, "");
    EXPECT_EQ(qx::SnmpGetText(cl.snmp, cl.pdu, cl.target, "1.3.6.1.4.1.99999.9.0", text),
              SNMP_ERROR_NO_SUCH_NAME);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(qx::SnmpUnreachable(SNMP_ERROR_NO_SUCH_NAME));
    EXPECT_TRUE(qx::SnmpUnreachable(SNMP_CLASS_TIMEOUT));
}

// A GET asks for one object: bindings left in the PDU by an earlier response are not sent,
// so an object that no longer exists among them cannot fail the request (a version-1 agent
// answers noSuchName for the whole request).
TEST(SnmpFuncs, GetSendsOnlyTheRequestedObject) {
    SnmpScriptAgent agent(Answer(SnmpValue::Int(230)));
    Client cl(agent.port());
    cl.pdu += Vb(Oid("1.3.6.1.4.1.99999.7.0"));
    cl.pdu += Vb(Oid("1.3.6.1.4.1.99999.8.0"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(_oidGet(cl.snmp, cl.pdu, cl.target, kObj), 230);
    // A PDU without any binding gets the one it needs.
    Pdu empty;
    EXPECT_EQ(_oidGet(cl.snmp, empty, cl.target, kObj), 230);
    testing::internal::GetCapturedStdout();
    std::vector<SnmpRequest> rq = agent.requests();
    ASSERT_EQ(rq.size(), 2u);
    for (const SnmpRequest& r : rq) {
        EXPECT_EQ(r.pduType, qxtest::kPduGet);
        EXPECT_EQ(r.community, "talvik");
        ASSERT_EQ(r.oids.size(), 1u);
        EXPECT_EQ(r.oids[0], OidOf(kObj));
    }
    // The response replaced the bindings.
    EXPECT_EQ(cl.pdu.get_vb_count(), 1);
}

TEST(SnmpFuncs, BulkCountsTheBindingsOfTheResponse) {
    std::map<qxtest::SnmpOid, SnmpValue> mib;
    for (int i = 1; i <= 12; i++)
        mib[OidOf(("1.3.6.1.4.1.99999.2.1.2." + std::to_string(i)).c_str())] = SnmpValue::Int(i);
    SnmpScriptAgent agent(SnmpScriptAgent::Table(mib));

    struct Case {
        const char* name;
        snmp_version version;
        int maxReps;
        int count;
    } cases[] = {
        {"version 1: one GETNEXT", version1, 5, 1},
        {"version 2c: five repetitions", version2c, 5, 5},
        {"version 2c past the end", version2c, 20, 20},  // the rest endOfMibView
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Client cl(agent.port(), c.version);
        Vb from(Oid("1.3.6.1.4.1.99999.2.1"));
        cl.pdu.set_vblist(&from, 1);
        testing::internal::CaptureStdout();
        EXPECT_EQ(_oidBulk(cl.snmp, cl.pdu, cl.target, c.maxReps), c.count);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "SNMP.bulk " + std::to_string(c.count) + "\n");
        EXPECT_EQ(cl.pdu.get_vb_count(), c.count);
    }
}

TEST(SnmpFuncs, FailedBulkPrintsTheErrorThenZero) {
    SnmpScriptAgent agent([](const SnmpRequest&) { return SnmpReply::Silence(); });
    Client cl(agent.port(), version2c);
    testing::internal::CaptureStdout();
    EXPECT_EQ(_oidBulk(cl.snmp, cl.pdu, cl.target, 10), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "SNMP.bulk err SNMP++: SNMP Class Timeout\nSNMP.bulk 0\n");
}

TEST(SnmpFuncs, StrFixTurnsBackslashesIntoBlanks) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"disk\\share\\logs", "disk share logs"},
        {"no backslash", "no backslash"},
        {"\\\\\\", "   "},
        {"", ""},
        {"C:\\", "C: "},
    };
    for (Case& c : cases) {
        std::string s = c.in;
        _strFix(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
}

TEST(SnmpFuncs, LeadingNumberHeldToItsRange) {
    struct Case {
        const char* text;
        int64_t value;
    } cases[] = {
        {"", 0},
        {"+7", 7},
        {"\t 12abc", 12},
        {"-", 0},
        {"9223372036854775807", INT64_MAX},
        {"99999999999999999999", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"-99999999999999999999", INT64_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(qx::SnmpLeadingNumber(c.text), c.value) << c.text;
    EXPECT_EQ(qx::SnmpLeadingNumber(nullptr), 0);
}

}  // namespace
