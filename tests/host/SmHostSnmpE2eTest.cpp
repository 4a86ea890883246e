// The reference host with points that need no channel: SNMP UPS points (channel = none, the
// agent named by the address text) polled by smhost from net-snmp's snmpd, beside an agent
// that never answers. The SNMP UPS drivers always ask port 161, so the test process runs in a
// network namespace of its own (support/NetNamespace.h), which smhost inherits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "SmHostRun.h"
#include "gtest/gtest.h"
#include "support/NetNamespace.h"
#include "support/SnmpdAgent.h"

namespace {

using namespace smhosttest;

std::string& NoNamespace() {
    static std::string why = "not set up";
    return why;
}

// A UDP socket on an address's port 161 that takes requests and never answers.
class SilentAgent {
public:
    explicit SilentAgent(const char* address) {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(161);
        inet_pton(AF_INET, address, &a.sin_addr);
        m_bound = m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~SilentAgent() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Bound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

// The UPS objects of the PowerNet driver (type 0x31B), each value as the agent gives it.
const char kAgentObjects[] =
    "override .1.3.6.1.4.1.318.1.1.1.3.2.1.0 integer 231\n"   // Vin1
    "override .1.3.6.1.4.1.318.1.1.1.3.2.4.0 integer 50\n"    // Fin
    "override .1.3.6.1.4.1.318.1.1.1.4.2.1.0 integer 229\n"   // Vout
    "override .1.3.6.1.4.1.318.1.1.1.4.2.3.0 integer 35\n"    // Pout
    "override .1.3.6.1.4.1.318.1.1.1.2.2.1.0 integer 98\n"    // Pbatt
    "override .1.3.6.1.4.1.318.1.1.1.11.1.1.0 integer 0\n";   // status

class SmHostSnmp : public SmHostFixture {
protected:
    void SetUp() override {
        if (!NoNamespace().empty()) GTEST_SKIP() << "needs a network namespace of its own: " << NoNamespace();
        if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed (apt-get install snmpd)";
        SmHostFixture::SetUp();
        std::string why;
        ASSERT_TRUE(agent.Start(kAgentObjects, &why, 161)) << why;
    }
    qxtest::SnmpdAgent agent;
};

TEST_F(SmHostSnmp, SiteOfNetworkOnlyPointsIsPolled) {
    SilentAgent silent("127.0.0.2");
    ASSERT_TRUE(silent.Bound());
    const std::string site = Site(
        "[UPS-NET]\nsid=1\ntype=0x31B\nchannel=none\naddrtext=udp:127.0.0.1:161:public\nshow=.Vin .Vout\n"
        "[UPS-SILENT]\nsid=2\ntype=0x31B\nchannel=none\naddrtext=udp:127.0.0.2\n");
    Run r = Poll({"--site", site, "--cycles", "1"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_NE(std::string::npos, r.out.find("[UPS-NET] sid 1: type 0x31B, handler 0x31B RE-RIRA, no channel")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("polling 2 of 2 points")) << r.out;
    EXPECT_EQ(1, CountOf(r.out, "cycle 1 [UPS-NET] sid 1: state 0 normal")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Vin=231.0 Vout=229.0")) << r.out;
    EXPECT_EQ(1, CountOf(r.out, "cycle 1 [UPS-SILENT] sid 2: state 2 no answer")) << r.out;

    Rows db(Db()), hist(Hist());
    EXPECT_EQ("0/2310/2290/500/980", db.Str("select State||'/'||Vin1||'/'||Vout||'/'||Fin||'/'||Pbatt "
                                             "from tbUps where SID=1"));
    EXPECT_EQ("2/0", db.Str("select State||'/'||Vin1 from tbUps where SID=2"));
    EXPECT_EQ("1/0,2/2", db.Str("select group_concat(SID||'/'||State) from "
                                "(select * from tbSubSysDetail order by SID)"));
    EXPECT_EQ(1, hist.Int("select count(*) from tbUps where SID=1 and State=0 and Vin1=2310"));
    EXPECT_EQ(1, hist.Int("select count(*) from tbUps where SID=2 and State=2"));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) NoNamespace() = qxtest::EnterNamespace();
    return RUN_ALL_TESTS();
}
