// Values, identifiers, printable forms, status texts and target defaults of the SNMP classes.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "snmp/snmp_pp.h"

using namespace Snmp_pp;

namespace {

struct OidCase {
    const char* text;
    bool valid;
    unsigned long len;
    const char* printable;
};

TEST(SnmpOid, ParsesDottedText) {
    std::string longest, tooLong;
    for (int i = 0; i < 128; ++i) longest += i ? ".1" : "1";
    tooLong = longest + ".1";
    const OidCase cases[] = {
        {"1.3.6.1.2.1.1.5.0", true, 9, "1.3.6.1.2.1.1.5.0"},
        // The UPS drivers write identifiers with a leading dot.
        {".1.3.6.1.4.1.318.1.1.1.3.2.1.0", true, 14, "1.3.6.1.4.1.318.1.1.1.3.2.1.0"},
        {"1.3.6.1.4.1.4294967295", true, 7, "1.3.6.1.4.1.4294967295"},
        {"1.3.6.1.4.1.4294967296", false, 0, ""},
        {"", false, 0, ""},
        {".", false, 0, ""},
        {"1..3", false, 0, ""},
        {"1.3.", false, 0, ""},
        {"1.3.6.a", false, 0, ""},
        {"1.3 .6", false, 0, ""},
        {"-1.3", false, 0, ""},
        {longest.c_str(), true, 128, longest.c_str()},
        {tooLong.c_str(), false, 0, ""},
    };
    for (const OidCase& c : cases) {
        SCOPED_TRACE(c.text);
        Oid o(c.text, true);
        EXPECT_EQ(c.valid, o.valid());
        EXPECT_EQ(c.len, o.len());
        EXPECT_STREQ(c.printable, o.get_printable());
        Oid assigned;
        assigned = c.text;
        EXPECT_EQ(o, assigned);
    }
    EXPECT_FALSE(Oid(nullptr).valid());
}

TEST(SnmpOid, IndexesSubIdentifiersAndGuardsTheRange) {
    Oid o("1.3.6.1.4.1.2468.1.2.1.1.3.3.1.2.3");
    EXPECT_EQ(2u, o[14]);
    EXPECT_EQ(3u, o[15]);
    o[15] = 7;
    EXPECT_STREQ("1.3.6.1.4.1.2468.1.2.1.1.3.3.1.2.7", o.get_printable());
    // A handler that indexes past the end reads 0 instead of another object's memory.
    EXPECT_EQ(0u, o[16]);
    EXPECT_EQ(0u, o[-1]);
    const Oid& co = o;
    EXPECT_EQ(0u, co[100]);
    EXPECT_STREQ("1.3.6.1.4.1.2468.1.2.1.1.3.3.1.2.7", o.get_printable());
}

struct CompareCase {
    const char* base;
    unsigned long n;
    const char* other;
    int expected;
};

TEST(SnmpOid, ComparesLeadingSubIdentifiers) {
    const CompareCase cases[] = {
        // A walk's bindings inside and outside the table of base 1.3.6.1.2.1.25.3.3.1.
        {"1.3.6.1.2.1.25.3.3.1", 10, "1.3.6.1.2.1.25.3.3.1.2.1", 0},
        {"1.3.6.1.2.1.25.3.3.1", 10, "1.3.6.1.2.1.25.3.3.1", 0},
        {"1.3.6.1.2.1.25.3.3.1", 10, "1.3.6.1.2.1.25.3.4.1.1", -1},
        {"1.3.6.1.2.1.25.3.3.1", 10, "1.3.6.1.2.1.25.3.2.1.1", 1},
        // An answer shorter than the base has left the table.
        {"1.3.6.1.2.1.25.3.3.1", 10, "1.3.6.1.2.1.25", 1},
        {"1.3.6.1.2.1.25", 10, "1.3.6.1.2.1.25.3.3.1", -1},
        // Both shorter than n, same length and equal.
        {"1.3.6", 10, "1.3.6", 0},
        {"1.3.6", 2, "1.3.7", 0},
        {"1.3.6", 3, "1.3.7", -1},
        {"1.3.6", 0, "2.9", 0},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " / " + c.other + " n=" + std::to_string(c.n));
        EXPECT_EQ(c.expected, Oid(c.base).nCompare(c.n, Oid(c.other)));
    }
}

struct TicksCase {
    unsigned long ticks;
    const char* printable;
    int leadingNumber;  // what atoi makes of it
};

TEST(SnmpPrintable, TimeTicks) {
    const TicksCase cases[] = {
        {0, "0:00:00.00", 0},
        {5, "0:00:00.05", 0},
        {360000 * 5 + 6000 * 7 + 100 * 9 + 1, "5:07:09.01", 5},
        {8640000 - 1, "23:59:59.99", 23},
        {8640000, "1 day 0:00:00.00", 1},
        {9650405, "1 day 2:48:24.05", 1},
        {8640000 * 2 + 360000 * 3 + 6000 * 4 + 100 * 5 + 6, "2 days, 3:04:05.06", 2},
        {4294967295ul, "497 days, 2:27:52.95", 497},
    };
    for (const TicksCase& c : cases) {
        TimeTicks t(c.ticks);
        EXPECT_STREQ(c.printable, t.get_printable());
        EXPECT_EQ(c.leadingNumber, atoi(t.get_printable()));
        EXPECT_EQ(sNMP_SYNTAX_TIMETICKS, t.get_syntax());
    }
}

struct OctetCase {
    std::string bytes;
    const char* printable;
};

TEST(SnmpPrintable, OctetStrings) {
    const OctetCase cases[] = {
        {"On Line", "On Line"},
        {"", ""},
        {"disk\\share", "disk\\share"},
        {"a\r\nb", "a\r\nb"},
        // A C string's terminating NUL is not shown.
        {std::string("UPS\0", 4), "UPS"},
        // Bytes outside printable ASCII make a hex dump: GBK text, a tab, a NUL inside.
        {"\xC4\xE3\xBA\xC3",
         "C4 E3 BA C3                                        ....\n"},
        {"A\tB", "41 09 42                                           A.B\n"},
        {std::string("A\0B", 3), "41 00 42                                           A.B\n"},
        {std::string("\0", 1), ""},
        {"0123456789abcde\x80",
         "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 80    0123456789abcde.\n"},
        {"0123456789abcdef\xFF",
         "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66    0123456789abcdef\n"
         "FF                                                 .\n"},
    };
    for (const OctetCase& c : cases) {
        OctetStr s(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size());
        EXPECT_EQ(std::string(c.printable), s.get_printable());
        EXPECT_EQ(c.bytes.size(), s.len());
    }
}

TEST(SnmpPrintable, Numbers) {
    EXPECT_STREQ("-5", SnmpInt32(-5).get_printable());
    EXPECT_STREQ("-2147483648", SnmpInt32(-2147483647L - 1).get_printable());
    EXPECT_STREQ("4000000000", Gauge32(4000000000ul).get_printable());
    EXPECT_STREQ("4294967295", Counter32(4294967295ul).get_printable());
    EXPECT_STREQ("18446744073709551615", Counter64(UINT64_MAX).get_printable());
    const unsigned char ip[4] = {10, 1, 2, 3};
    EXPECT_STREQ("10.1.2.3", IpAddress(ip).get_printable());
}

TEST(SnmpVb, IntegerValueOnlyFromInteger) {
    struct Case {
        const SnmpSyntax* value;
        int status;
        int result;
    };
    SnmpInt32 integer(-230);
    Gauge32 gauge(230);
    Counter32 counter(230);
    TimeTicks ticks(230);
    OctetStr text("230");
    SnmpNull null;
    SnmpNull noSuch(sNMP_SYNTAX_NOSUCHOBJECT);
    const Case cases[] = {
        {&integer, SNMP_CLASS_SUCCESS, -230}, {&gauge, SNMP_CLASS_INVALID, 77},
        {&counter, SNMP_CLASS_INVALID, 77},   {&ticks, SNMP_CLASS_INVALID, 77},
        {&text, SNMP_CLASS_INVALID, 77},      {&null, SNMP_CLASS_INVALID, 77},
        {&noSuch, SNMP_CLASS_INVALID, 77},    {nullptr, SNMP_CLASS_INVALID, 77},
    };
    for (const Case& c : cases) {
        Vb vb(Oid("1.3.6.1.4.1.1.0"));
        if (c.value) vb.set_value(*c.value);
        int out = 77;
        EXPECT_EQ(c.status, vb.get_value(out));
        EXPECT_EQ(c.result, out);
    }
}

TEST(SnmpVb, CopiesOwnTheirValue) {
    Vb a(Oid("1.3.6.1.2.1.1.5.0"));
    a.set_value(OctetStr("server-1"));
    Vb b(a);
    Vb c;
    c = a;
    a.set_value(SnmpInt32(3));
    EXPECT_STREQ("server-1", b.get_printable_value());
    EXPECT_STREQ("server-1", c.get_printable_value());
    EXPECT_EQ(sNMP_SYNTAX_OCTETS, c.get_syntax());
    EXPECT_STREQ("1.3.6.1.2.1.1.5.0", c.get_printable_oid());
    Vb empty;
    EXPECT_EQ(sNMP_SYNTAX_NULL, empty.get_syntax());
    EXPECT_STREQ("", empty.get_printable_value());
}

TEST(SnmpPdu, BindingList) {
    Pdu pdu;
    EXPECT_EQ(0, pdu.get_vb_count());
    pdu += Vb(Oid("1.3.6.1.2.1.1.1.0"));
    pdu[0].set_oid(Oid("1.3.6.1.2.1.1.5.0"));
    pdu += pdu[0];
    ASSERT_EQ(2, pdu.get_vb_count());
    Vb vb;
    EXPECT_TRUE(pdu.get_vb(vb, 1));
    EXPECT_STREQ("1.3.6.1.2.1.1.5.0", vb.get_printable_oid());
    EXPECT_FALSE(pdu.get_vb(vb, 2));
    EXPECT_FALSE(pdu.get_vb(vb, -1));
    // Out of range reaches a scratch binding, not the list.
    pdu[5].set_oid(Oid("1.2"));
    EXPECT_EQ(2, pdu.get_vb_count());

    Vb start(Oid("1.3.6.1.2.1.25.2.3.1"));
    pdu.set_vblist(&start, 1);
    ASSERT_EQ(1, pdu.get_vb_count());
    EXPECT_STREQ("1.3.6.1.2.1.25.2.3.1", pdu[0].get_printable_oid());
    pdu.set_vblist(nullptr, 0);
    EXPECT_EQ(0, pdu.get_vb_count());
}

struct ErrorCase {
    int status;
    const char* text;
};

TEST(SnmpStatus, ErrorTexts) {
    const ErrorCase cases[] = {
        {SNMP_CLASS_SUCCESS, "SNMP: Success"},
        {SNMP_CLASS_TIMEOUT, "SNMP++: SNMP Class Timeout"},
        {SNMP_CLASS_INVALID_TARGET, "SNMP++: Invalid Target"},
        {SNMP_CLASS_INVALID_OID, "SNMP++: Invalid Object Identifier"},
        {SNMP_CLASS_TL_FAILED, "SNMP++: Transport operation failed"},
        {SNMP_CLASS_TL_UNSUPPORTED, "SNMP++: Transport is not supported"},
        {SNMP_CLASS_ERROR, "SNMP++: SNMP++ General Error"},
        {SNMP_CLASS_SHUTDOWN, "SNMP++: Operation not allowed during shutdown"},
        {-24, "SNMP++: Unknown error code"},
        {-1000, "SNMP++: Unknown error code"},
        {SNMP_ERROR_TOO_BIG, "SNMP: Response PDU Too Big"},
        {SNMP_ERROR_NO_SUCH_NAME, "SNMP: Variable does not exist"},
        {SNMP_ERROR_GENERAL_VB_ERR, "SNMP: Cannot perform operation, General Error"},
        {SNMP_ERROR_AUTH_ERR, "SNMP: Cannot perform operation, Authorization Error"},
        {SNMP_ERROR_INCONSIS_NAME, "SNMP: Cannot create variable, Inconsistent Name"},
        {19, "SNMP: Unknown Error Status"},
        {1000, "SNMP: Unknown Error Status"},
    };
    for (const ErrorCase& c : cases) EXPECT_STREQ(c.text, Snmp::error_msg(c.status)) << c.status;
}

TEST(SnmpTarget, CommunityTargetDefaults) {
    CTarget t(IpAddress("192.0.2.7"));
    EXPECT_TRUE(t.valid());
    EXPECT_EQ(version1, t.get_version());
    EXPECT_EQ(100u, t.get_timeout());
    EXPECT_EQ(1, t.get_retry());
    OctetStr community;
    t.get_readcommunity(community);
    EXPECT_STREQ("public", community.get_printable());
    UdpAddress a;
    t.get_address(a);
    EXPECT_EQ(161, a.get_port());
    EXPECT_STREQ("192.0.2.7/161", a.get_printable());

    UdpAddress udp("192.0.2.8");
    udp.set_port(1161);
    CTarget u(udp);
    u.set_readcommunity("talvik");
    u.get_address(a);
    EXPECT_EQ(1161, a.get_port());
    EXPECT_STREQ("talvik", u.get_readcommunity().get_printable());
}

TEST(SnmpTarget, InvalidAddressGivesInvalidTarget) {
    // Empty host texts (an address text shorter than its prefix) and numbers that are no
    // IPv4 address; such texts are never sent to a name service.
    const char* hosts[] = {"", "999.1.1.1", "1.2.3", "1.2.3.4.5"};
    for (const char* h : hosts) {
        SCOPED_TRACE(h);
        IpAddress ip(h);
        EXPECT_FALSE(ip.valid());
        EXPECT_STREQ("", ip.get_printable());
        EXPECT_FALSE(CTarget(ip).valid());
    }
    EXPECT_FALSE(IpAddress(static_cast<const char*>(nullptr)).valid());
    EXPECT_FALSE(CTarget().valid());
}

}  // namespace
