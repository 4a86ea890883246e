// The SNMP demonstration handler. It always asks port 161 with the default community, so
// this test process first moves into a user and network namespace of its own (as
// `unshare -rn` does: the user mapped to root, only a loopback, brought up here) and runs
// net-snmp's snmpd on 127.0.0.1:161 there. Where no namespace can be made the agent cases
// skip and say why.
#include <string.h>

#include <string>

#include "PointItem.h"
#include "TestDb.h"
#include "engines/SMSnmpDemo.h"
#include "gtest/gtest.h"
#include "support/NetNamespace.h"
#include "support/SnmpdAgent.h"

namespace {

std::string g_noNamespace = "not set up";

#define REQUIRE_AGENT_ON_161()                                                                  \
    do {                                                                                        \
        if (!g_noNamespace.empty())                                                             \
            GTEST_SKIP() << "needs a network namespace of its own (unshare -rn): " << g_noNamespace; \
        if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed";   \
    } while (0)

struct Demo {
    std::unique_ptr<CSMSnmpDemo, void (*)(CSMSnmpDemo*)> h{new CSMSnmpDemo, [](CSMSnmpDemo* p) { delete p; }};
    qxhost::PointItem item{51, 0xF00};
    std::string out;
    int Poll(const char* addrText) {
        item.AddrText(addrText);
        h->DoItem(item, 0);
        fflush(stdout);
        testing::internal::CaptureStdout();
        int r = h->DataGet(nullptr, 0, 0);
        fflush(stdout);
        out = testing::internal::GetCapturedStdout();
        return r;
    }
    bool Printed(const std::string& line) const { return out.find(line) != std::string::npos; }
    size_t Count(const std::string& s) const {
        size_t n = 0;
        for (size_t p = out.find(s); p != std::string::npos; p = out.find(s, p + 1)) n++;
        return n;
    }
};

TEST(SnmpDemo, HostOfTheAddressText) {
    struct Case {
        const char* text;
        const char* host;  // null: refused
    } cases[] = {
        {"snmp127.0.0.1", "127.0.0.1"},
        {"snmp127.0.0.1:1161:secret:u:p", "127.0.0.1"},
        {"udp:192.168.100.200", "192.168.100.200"},   // 15 characters
        {"udp:192.168.100.2001", nullptr},            // 16
        {"snmp", nullptr},
        {"snm", nullptr},
        {"", nullptr},
        {"snmp:161", nullptr},
    };
    for (const Case& c : cases) {
        char host[CSMSnmpDemo::kMaxHost + 1];
        EXPECT_EQ(CSMSnmpDemo::HostOf(c.text, host), c.host != nullptr) << c.text;
        EXPECT_STREQ(host, c.host ? c.host : "") << c.text;
    }
    // An address text filling its field without a terminator is read no further.
    char full[64];
    memset(full, 'a', sizeof full);
    char host[CSMSnmpDemo::kMaxHost + 1];
    EXPECT_FALSE(CSMSnmpDemo::HostOf(full, host));
    memcpy(full, "snmp1.2.3.4:", 12);
    EXPECT_TRUE(CSMSnmpDemo::HostOf(full, host));
    EXPECT_STREQ(host, "1.2.3.4");
}

TEST(SnmpDemo, WithoutAnItemOrAHost) {
    Demo d;
    EXPECT_EQ(d.h->DataGet(nullptr, 0, 0), 0);
    EXPECT_EQ(d.Poll("snm"), 0);
    EXPECT_FALSE(d.Printed("SNMP.dst"));
    EXPECT_EQ(d.Poll("snmp0123456789abcdefg"), 0);
    EXPECT_FALSE(d.Printed("SNMP.dst"));
    // What the base gives: nothing registered, nothing stored.
    TestDb db;
    d.h->SetDb(&db, 0);
    d.h->RegDb(&db, 1);
    EXPECT_EQ(db.Int("select count(*) from tbSMType"), 0);
    EXPECT_EQ(d.h->ChkDb(d.item), 0);
    int bits = 0;
    EXPECT_EQ(d.h->DataUpd(0, &bits, nullptr, -1, nullptr), 0);
    EXPECT_EQ(db.Int("select count(*) from tbSMBrief"), 0);
}

TEST(SnmpDemo, PrintsWhatTheAgentOnPort161Reports) {
    REQUIRE_AGENT_ON_161();
    qxtest::SnmpdAgent agent;
    std::string why;
    ASSERT_TRUE(agent.Start("override .1.3.6.1.2.1.1.1.0 octet_str \"demo agent\"\n"
                            "override .1.3.6.1.2.1.1.5.0 octet_str \"qx-demo\"\n",
                            &why, 161))
        << why;
    Demo d;
    // Host alone, or host with further fields that are not read: the same agent.
    for (const char* text : {"snmp127.0.0.1", "snmp127.0.0.1:1161:secret"}) {
        ASSERT_EQ(d.Poll(text), 1) << text << "\n" << d.out;
        EXPECT_TRUE(d.Printed(std::string("SNMP.def ") + text + "\n")) << d.out;
        EXPECT_TRUE(d.Printed("SNMP.dst 127.0.0.1\n")) << d.out;
        EXPECT_TRUE(d.Printed("SNMP.sysDescriptor demo agent\n")) << d.out;
        EXPECT_TRUE(d.Printed("SNMP.sysName qx-demo\n")) << d.out;
        // The storage table, every object on a line of its own, and nothing past it.
        EXPECT_GE(d.Count("SNMP 1.3.6.1.2.1.25.2.3.1."), 1u) << d.out;
        EXPECT_EQ(d.Count("SNMP 1.3.6.1.2.1.25.2.3.1."), d.Count("SNMP 1.3.6.1."));
        EXPECT_EQ(d.Count(" = "), d.Count("SNMP 1.3.6.1.2.1.25.2.3.1."));
    }
    // The agent's answers are all there is: nothing is stored.
    EXPECT_EQ(d.h->DataUpd(0, nullptr, nullptr, -1, nullptr), 0);

    // No agent: the error is printed, the table is not walked, the poll is no answer.
    agent.Stop();
    EXPECT_EQ(d.Poll("snmp127.0.0.1"), 0);
    EXPECT_TRUE(d.Printed("SNMP.get err ")) << d.out;
    EXPECT_EQ(d.Count("SNMP 1.3.6.1."), 0u) << d.out;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) g_noNamespace = qxtest::EnterNamespace();
    return RUN_ALL_TESTS();
}
