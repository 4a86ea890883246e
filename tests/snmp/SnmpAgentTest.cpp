// The SNMP session against net-snmp's snmpd: values as the handlers print them, errors of
// version 1 and 2c, and table walks the way the handlers walk (GETBULK, ten repetitions,
// continuing from the last binding until one leaves the table).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "snmp/snmp_pp.h"
#include "support/SnmpdAgent.h"

using namespace Snmp_pp;

namespace {

// Scalars under 1.3.6.1.4.1.99999.1, a table (entry 1.3.6.1.4.1.99999.2.1) of three columns
// by four rows whose cell C.R holds 10 * C + R, and one object after the table.
std::string AgentConfig() {
    std::string c =
        "rocommunity talvik 127.0.0.1\n"
        "override .1.3.6.1.4.1.99999.1.1.0 integer -5\n"
        "override .1.3.6.1.4.1.99999.1.2.0 uinteger 4000000000\n"
        "override .1.3.6.1.4.1.99999.1.3.0 octet_str \"On Line\"\n"
        "override .1.3.6.1.4.1.99999.1.4.0 octet_str 0xc4e3bac3\n"
        "override .1.3.6.1.4.1.99999.1.5.0 timeticks 9650405\n"
        "override .1.3.6.1.4.1.99999.1.6.0 counter 17\n"
        "override .1.3.6.1.4.1.99999.1.7.0 object_id .1.3.6.1.4.1.318\n"
        "override .1.3.6.1.4.1.99999.1.8.0 integer 230\n"
        // In quoted text a backslash escapes the next character: "X:\\ Label" is X:\ Label.
        "override .1.3.6.1.4.1.99999.1.9.0 octet_str \"X:\\\\ Label\"\n"
        "override .1.3.6.1.4.1.99999.3.0 integer 99\n";
    for (int col = 1; col <= 3; ++col)
        for (int row = 1; row <= 4; ++row)
            c += "override .1.3.6.1.4.1.99999.2.1." + std::to_string(col) + "." +
                 std::to_string(row) + " integer " + std::to_string(10 * col + row) + "\n";
    return c;
}

class SnmpAgent : public qxtest::SnmpdSuite<AgentConfig> {
protected:
    void SetUp() override {
        qxtest::SnmpdSuite<AgentConfig>::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        int status = -99;
        m_snmp.reset(new Snmp(status, 0, false));
        ASSERT_EQ(SNMP_CLASS_SUCCESS, status);
    }

    CTarget Target(snmp_version v = version1) const {
        UdpAddress a("127.0.0.1");
        a.set_port(s_agent->port());
        CTarget t(a);
        t.set_version(v);
        return t;
    }

    // Walks the table whose entry is `base` as the handlers do; returns (oid, value) pairs of
    // the bindings inside the table and counts the requests.
    std::vector<std::pair<std::string, std::string>> Walk(const CTarget& target, const char* base,
                                                          int* requests) {
        std::vector<std::pair<std::string, std::string>> rows;
        Oid start(base);
        Vb vb(start);
        Pdu pdu;
        pdu.set_vblist(&vb, 1);
        *requests = 0;
        for (bool end = false; !end && *requests < 50;) {
            ++*requests;
            if (m_snmp->get_bulk(pdu, target, 0, 10) != SNMP_CLASS_SUCCESS) break;
            if (pdu.get_vb_count() == 0) break;
            for (int i = 0; i < pdu.get_vb_count() && !end; ++i) {
                pdu.get_vb(vb, i);
                if (start.nCompare(start.len(), vb.get_oid()) != 0 ||
                    vb.get_syntax() == sNMP_SYNTAX_ENDOFMIBVIEW) {
                    end = true;
                } else {
                    rows.emplace_back(vb.get_printable_oid(), vb.get_printable_value());
                }
            }
            pdu.set_vblist(&vb, 1);
        }
        return rows;
    }

    std::unique_ptr<Snmp> m_snmp;
};

struct GetCase {
    const char* oid;
    SmiUINT32 syntax;
    const char* printable;
    int atoiValue;      // what the request function makes of it
    bool integer;       // get_value(int&) succeeds
};

TEST_F(SnmpAgent, GetScalarsOnBothVersions) {
    const GetCase cases[] = {
        {"1.3.6.1.4.1.99999.1.1.0", sNMP_SYNTAX_INT32, "-5", -5, true},
        {"1.3.6.1.4.1.99999.1.2.0", sNMP_SYNTAX_GAUGE32, "4000000000", atoi("4000000000"), false},
        {"1.3.6.1.4.1.99999.1.3.0", sNMP_SYNTAX_OCTETS, "On Line", 0, false},
        // GBK text ("ni hao") arrives as a hex dump.
        {"1.3.6.1.4.1.99999.1.4.0", sNMP_SYNTAX_OCTETS,
         "C4 E3 BA C3                                        ....\n", 0, false},
        {"1.3.6.1.4.1.99999.1.5.0", sNMP_SYNTAX_TIMETICKS, "1 day 2:48:24.05", 1, false},
        {"1.3.6.1.4.1.99999.1.6.0", sNMP_SYNTAX_CNTR32, "17", 17, false},
        {"1.3.6.1.4.1.99999.1.7.0", sNMP_SYNTAX_OID, "1.3.6.1.4.1.318", 1, false},
        {".1.3.6.1.4.1.99999.1.8.0", sNMP_SYNTAX_INT32, "230", 230, true},
        {"1.3.6.1.4.1.99999.1.9.0", sNMP_SYNTAX_OCTETS, "X:\\ Label", 0, false},
    };
    for (snmp_version v : {version1, version2c}) {
        CTarget target = Target(v);
        Pdu pdu;
        pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));
        for (const GetCase& c : cases) {
            SCOPED_TRACE(std::string(c.oid) + (v == version1 ? " v1" : " v2c"));
            // As the request functions do: reuse binding 0 of one PDU for every GET.
            pdu[0].set_oid(Oid(c.oid, true));
            int rc = m_snmp->get(pdu, target);
            ASSERT_EQ(SNMP_CLASS_SUCCESS, rc) << Snmp::error_msg(rc);
            ASSERT_EQ(1, pdu.get_vb_count());
            Vb vb;
            pdu.get_vb(vb, 0);
            EXPECT_EQ(Oid(c.oid), vb.get_oid());
            EXPECT_EQ(c.syntax, vb.get_syntax());
            EXPECT_EQ(std::string(c.printable), vb.get_printable_value());
            EXPECT_EQ(c.atoiValue, atoi(vb.get_printable_value()));
            int n = 12345;
            EXPECT_EQ(c.integer ? SNMP_CLASS_SUCCESS : SNMP_CLASS_INVALID, vb.get_value(n));
            if (c.integer) {
                EXPECT_EQ(c.atoiValue, n);
            }
        }
    }
}

TEST_F(SnmpAgent, GbkTextKeepsItsBytes) {
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.4.1.99999.1.4.0"));
    ASSERT_EQ(SNMP_CLASS_SUCCESS, m_snmp->get(pdu, Target()));
    OctetStr s;
    ASSERT_EQ(SNMP_CLASS_SUCCESS, pdu[0].get_value(s));
    const unsigned char gbk[] = {0xC4, 0xE3, 0xBA, 0xC3};
    EXPECT_EQ(OctetStr(gbk, sizeof gbk), s);
}

TEST_F(SnmpAgent, MissingObject) {
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.4.1.99999.1.99.0"));
    // Version 1: the agent's noSuchName is the request's status.
    int rc = m_snmp->get(pdu, Target(version1));
    EXPECT_EQ(SNMP_ERROR_NO_SUCH_NAME, rc);
    EXPECT_STREQ("SNMP: Variable does not exist", Snmp::error_msg(rc));
    EXPECT_EQ(1, pdu.get_error_index());
    // Version 2c: success, with the exception in the binding; its text is no number.
    rc = m_snmp->get(pdu, Target(version2c));
    EXPECT_EQ(SNMP_CLASS_SUCCESS, rc);
    EXPECT_EQ(sNMP_SYNTAX_NOSUCHOBJECT, pdu[0].get_syntax());
    EXPECT_EQ(0, atoi(pdu[0].get_printable_value()));
    int n = 7;
    EXPECT_EQ(SNMP_CLASS_INVALID, pdu[0].get_value(n));
    EXPECT_EQ(7, n);
}

TEST_F(SnmpAgent, Communities) {
    struct Case {
        const char* community;
        int status;
    };
    const Case cases[] = {
        {"public", SNMP_CLASS_SUCCESS},
        {"talvik", SNMP_CLASS_SUCCESS},
        // The agent drops requests of a community it does not know.
        {"nobody", SNMP_CLASS_TIMEOUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.community);
        CTarget target = Target();
        target.set_readcommunity(c.community);
        target.set_timeout(30);
        target.set_retry(0);
        Pdu pdu;
        pdu += Vb(Oid("1.3.6.1.4.1.99999.1.1.0"));
        EXPECT_EQ(c.status, m_snmp->get(pdu, target));
    }
}

TEST_F(SnmpAgent, WalkTableOnBothVersions) {
    std::vector<std::pair<std::string, std::string>> expected;
    for (int col = 1; col <= 3; ++col)
        for (int row = 1; row <= 4; ++row)
            expected.emplace_back("1.3.6.1.4.1.99999.2.1." + std::to_string(col) + "." + std::to_string(row),
                                  std::to_string(10 * col + row));
    struct Case {
        snmp_version version;
        int requests;
    };
    // Version 1 sends GETNEXT: one request per row and one that leaves the table. Version 2c
    // sends GETBULK: ten bindings a request, the second one runs past the table.
    const Case cases[] = {{version1, 13}, {version2c, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version == version1 ? "v1" : "v2c");
        int requests = 0;
        EXPECT_EQ(expected, Walk(Target(c.version), "1.3.6.1.4.1.99999.2.1", &requests));
        EXPECT_EQ(c.requests, requests);
    }
}

TEST_F(SnmpAgent, BulkResponseCarriesMaxRepetitions) {
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.4.1.99999.2.1"));
    ASSERT_EQ(SNMP_CLASS_SUCCESS, m_snmp->get_bulk(pdu, Target(version2c), 0, 10));
    ASSERT_EQ(10, pdu.get_vb_count());
    EXPECT_STREQ("1.3.6.1.4.1.99999.2.1.1.1", pdu[0].get_printable_oid());
    EXPECT_STREQ("1.3.6.1.4.1.99999.2.1.3.2", pdu[9].get_printable_oid());
    // The same request on version 1 is one GETNEXT.
    Vb start(Oid("1.3.6.1.4.1.99999.2.1"));
    pdu.set_vblist(&start, 1);
    ASSERT_EQ(SNMP_CLASS_SUCCESS, m_snmp->get_bulk(pdu, Target(version1), 0, 10));
    ASSERT_EQ(1, pdu.get_vb_count());
    EXPECT_STREQ("1.3.6.1.4.1.99999.2.1.1.1", pdu[0].get_printable_oid());
}

TEST_F(SnmpAgent, EndOfMibViewAfterLastObject) {
    // The agent's last object is past everything; v2c says endOfMibView, v1 noSuchName.
    Pdu pdu;
    Vb last(Oid("1.3.6.1.99"));
    pdu.set_vblist(&last, 1);
    EXPECT_EQ(SNMP_CLASS_SUCCESS, m_snmp->get_bulk(pdu, Target(version2c), 0, 2));
    ASSERT_GE(pdu.get_vb_count(), 1);
    EXPECT_EQ(sNMP_SYNTAX_ENDOFMIBVIEW, pdu[0].get_syntax());
    pdu.set_vblist(&last, 1);
    EXPECT_EQ(SNMP_ERROR_NO_SUCH_NAME, m_snmp->get_bulk(pdu, Target(version1), 0, 2));
}

}  // namespace
