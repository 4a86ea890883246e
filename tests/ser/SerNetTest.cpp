// The network channel: definitions, re-keying by the manager, and exchanges with loopback
// devices (TCP and UDP unicast), including refused, closed and silent peers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "NetSim.h"
#include "SerManager.h"
#include "SerNet.h"
#include "SerTestUtil.h"
#include "gtest/gtest.h"

namespace {

using qxsim::Bytes;
using qxsim::Fault;
using qxsim::Hex;
using qxsim::ToHex;
using Clock = std::chrono::steady_clock;

#if QX_SER_REDUCED
#define BY_BUILD(normal, reduced) reduced
#else
#define BY_BUILD(normal, reduced) normal
#endif

struct NetProbe : CSerNet {
    explicit NetProbe(const char* def) : CSerNet(def) {}
    explicit NetProbe(int port) : CSerNet(port) {}
    std::string host() const { return m_host; }
    int port() const { return m_iPort; }
    int sock() const { return m_sock; }
    int perByte() const { return m_iTimeoutPerByte; }
    int fixed() const { return m_iTimeoutFixed; }
    int Pending() const {
        int n = -1;
        ioctl(m_sock, FIONREAD, &n);
        return n;
    }
};

TEST(SerNetDefinition, ParsesHostPortAndMode) {
    struct Case {
        const char* def;
        const char* host;
        int port;
        int code;
        CSerNet::Mode mode;
        const char* note;
    } cases[] = {
        {"192.168.1.10:502", "192.168.1.10", 502, 0x2001F6, CSerNet::MODE_TCP,
         BY_BUILD("NET 502 192.168.1.10:502", "NET 192.168.1.10:502")},
        {"192.168.1.10", "192.168.1.10", 20600, 0x200000 + 20600, CSerNet::MODE_TCP,
         BY_BUILD("NET 20600 192.168.1.10:20600", "NET 192.168.1.10:20600")},
        {"192.168.1.10:0", "192.168.1.10", 20600, 0x200000 + 20600, CSerNet::MODE_TCP,
         BY_BUILD("NET 20600 192.168.1.10:20600", "NET 192.168.1.10:20600")},
        {"b:5000", "b", 5000, 0x201388, CSerNet::MODE_BROADCAST, BY_BUILD("NET 5000 b:5000", "NET b:5000")},
        {"B:5000", "B", 5000, 0x201388, CSerNet::MODE_BROADCAST, BY_BUILD("NET 5000 B:5000", "NET B:5000")},
        {"u10.0.0.9:4001", "u10.0.0.9", 4001, 0x200FA1, CSerNet::MODE_UDP,
         BY_BUILD("NET 4001 u10.0.0.9:4001", "NET u10.0.0.9:4001")},
        {"U10.0.0.9:4001", "U10.0.0.9", 4001, 0x200FA1, CSerNet::MODE_UDP,
         BY_BUILD("NET 4001 U10.0.0.9:4001", "NET U10.0.0.9:4001")},
        {"255.255.255.255:1", "255.255.255.255", 1, 0x200001, CSerNet::MODE_TCP,
         BY_BUILD("NET 1 255.255.255.255:1", "NET 255.255.255.255:1")},
    };
    for (const Case& c : cases) {
        NetProbe ch(c.def);
        EXPECT_EQ(c.host, ch.host()) << c.def;
        EXPECT_EQ(c.port, ch.port()) << c.def;
        EXPECT_EQ(c.port, ch.RemotePort()) << c.def;
        EXPECT_EQ(c.code, ch.GetType()) << c.def;
        EXPECT_EQ(c.mode, ch.GetMode()) << c.def;
        EXPECT_STREQ(c.note, ch.GetNote()) << c.def;
        EXPECT_EQ(10, ch.perByte());
        EXPECT_EQ(1000, ch.fixed());
        EXPECT_EQ(-1, ch.GetHandle());  // the socket is not handed out
    }
}

TEST(SerNetDefinition, PortOnlyChannelsTalkToTheLocalHost) {
    NetProbe seven(7);
    EXPECT_STREQ(BY_BUILD("NET 7 127.0.0.1:7", "NET 127.0.0.1:7"), seven.GetNote());
    EXPECT_EQ(0x200007, seven.GetType());
    NetProbe def(20600);
    EXPECT_STREQ(BY_BUILD("NET 20600 127.0.0.1:20600", "NET 127.0.0.1:20600"), def.GetNote());
    NetProbe none(nullptr);
    EXPECT_EQ(0x200000 + 20600, none.GetType());
    none.UpdParams("");
    EXPECT_EQ("127.0.0.1", none.host());
}

TEST(SerNetDefinition, SetPortChangesIdentityOrDevicePort) {
    NetProbe ch("10.0.0.5:502");
    EXPECT_EQ(1, ch.SetPort(0x200009));
#if QX_SER_REDUCED
    EXPECT_EQ(0x200009, ch.GetType());
    EXPECT_EQ(9, ch.RemotePort());  // one port only
#else
    EXPECT_EQ(0x200009, ch.GetType());
    EXPECT_EQ(502, ch.RemotePort());
    EXPECT_EQ(1, ch.SetPort(8080));
    EXPECT_EQ(0x200009, ch.GetType());
    EXPECT_EQ(8080, ch.RemotePort());
    EXPECT_STREQ("NET 502 10.0.0.5:502", ch.GetNote());  // not rebuilt
    // A new definition sets both ports again, and so the code.
    EXPECT_EQ(1, ch.SetDef("10.0.0.6:503"));
    EXPECT_EQ(0x2001F7, ch.GetType());
    EXPECT_EQ(503, ch.RemotePort());
#endif
}

TEST(SerNetDefinition, HostThatIsNoAddressOrDoesNotFitFailsToOpen) {
    const char* defs[] = {
        "plc.example:502",        // names are not resolved
        "10.0.0.256:502",
        "1234567890123456:502",   // 16 characters: does not fit
        "u:502",
        "uplc:502",
        "192.168.100.100.1:502",  // 17 characters
    };
    for (const char* def : defs) {
        NetProbe ch(def);
        EXPECT_EQ(0, ch.Open(nullptr)) << def;
        EXPECT_EQ(0, ch.IsOpened()) << def;  // tries again, fails again
        EXPECT_EQ(-1, ch.sock()) << def;
    }
    NetProbe ch("1234567890123456:502");
    EXPECT_EQ("123456789012345", ch.host());  // held with its bound
}

TEST(SerNetManager, NetworkChannelsTakeTheRequestedCode) {
    CSerManager* m = CSerManager::GetInstance();
    ISerBase* a = m->GetSer("10.0.0.5:502", 0x200007);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(BY_BUILD(0x200007, 0x2001F6), a->GetType());
    EXPECT_EQ(502, static_cast<CSerNet*>(a)->RemotePort());
    EXPECT_STREQ(BY_BUILD("NET 502 10.0.0.5:502", "NET 10.0.0.5:502"), a->GetNote());
    EXPECT_EQ(a, m->GetSer("10.0.0.5:502", 0x200007));
    EXPECT_EQ(a, m->GetSer(nullptr, BY_BUILD(0x200007, 0x2001F6)));

    ISerBase* b = m->GetSer("10.0.0.6:502", 0x200008);
    ASSERT_NE(nullptr, b);
#if QX_SER_REDUCED
    EXPECT_EQ(a, b);  // same definition port, same code
#else
    EXPECT_NE(a, b);
    EXPECT_EQ(0x200008, b->GetType());
#endif
    ISerBase* c = m->GetSer(nullptr, 0x200011);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(0x200011, c->GetType());
    EXPECT_STREQ(BY_BUILD("NET 17 127.0.0.1:17", "NET 127.0.0.1:17"), c->GetNote());
    CSerManager::FreeInstance();
}

// ---------------------------------------------------------------- TCP against a loopback device

struct TcpFixture : ::testing::Test {
    void SetUp() override {
        dev.SetTable(qxsim::Table().Add(Hex("01 03 00 00 00 01"), Hex("01 03 02 00 2A")));
        dev.SetFramer(qxsim::FrameByLength(6));
        ASSERT_TRUE(dev.Start());
        ch.reset(new NetProbe(dev.Definition().c_str()));
    }
    // The device sees a request and answers it: the reply as hex, or "-1" and so on.
    std::string Exchange(int timeout = 2000) {
        const Bytes req = Hex("01 03 00 00 00 01");
        if (ch->Write(req.data(), (int)req.size()) != 6) return "write failed";
        unsigned char buf[16];
        int n = ch->Read(buf, 5, timeout);
        return n < 0 ? std::to_string(n) : ToHex(Bytes(buf, buf + n));
    }
    qxsim::TcpSim dev;
    std::unique_ptr<NetProbe> ch;
};

TEST_F(TcpFixture, ConnectsAndExchanges) {
    ASSERT_EQ(1, ch->Open(nullptr));
    EXPECT_EQ(1, ch->IsOpened());
    EXPECT_EQ("01 03 02 00 2A", Exchange());
    EXPECT_EQ("01 03 02 00 2A", Exchange(0));  // the wait from the length and the time-outs
    EXPECT_EQ(1u, dev.Connections());
    // A second Open replaces the connection.
    ASSERT_EQ(1, ch->Open(nullptr));
    EXPECT_EQ("01 03 02 00 2A", Exchange());
    EXPECT_EQ(1, ch->Close());
    EXPECT_EQ(-1, ch->sock());
}

TEST_F(TcpFixture, RefusedPortFailsAndEveryIsOpenedTriesAgain) {
    // A port nobody listens on: take one and give it back.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(a);
    ASSERT_EQ(0, bind(s, (struct sockaddr*)&a, sizeof(a)));
    ASSERT_EQ(0, getsockname(s, (struct sockaddr*)&a, &len));
    close(s);
    NetProbe refused(("127.0.0.1:" + std::to_string(ntohs(a.sin_port))).c_str());
    EXPECT_EQ(0, refused.Open(nullptr));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, refused.IsOpened());
    unsigned char buf[4] = {};
    EXPECT_EQ(-1, refused.Read(buf, 4, 0));
    EXPECT_EQ(-1, refused.Write(buf, 4));
    EXPECT_EQ(0, refused.Purge());
    EXPECT_EQ(1, refused.Close());
}

TEST_F(TcpFixture, PortBeyondTheRangeIsNotCutToAnother) {
    // Each of these numbers has the listening port as its low 16 bits.
    const std::string def = dev.Definition();
    const long long port = std::stoll(def.substr(def.rfind(':') + 1));
    for (long long n : {port + 65536, port - 65536, port + 3 * 65536}) {
        const std::string text = "127.0.0.1:" + std::to_string(n);
        NetProbe far(text.c_str());
        EXPECT_EQ(0, far.Open(nullptr)) << text;
        EXPECT_EQ(-1, far.sock()) << text;
    }
    EXPECT_EQ(0u, dev.Connections());
    // Its own port still reaches it.
    ASSERT_EQ(1, ch->Open(nullptr));
    EXPECT_EQ("01 03 02 00 2A", Exchange());
}

TEST_F(TcpFixture, PeerThatAcceptsThenClosesIsReconnectedByIsOpened) {
    dev.CloseOnAccept(1);
    ASSERT_EQ(1, ch->Open(nullptr));
    // Wait until the device has taken the connection and dropped it.
    for (int i = 0; i < 500 && dev.Connections() < 1; ++i) usleep(10000);
    usleep(50000);
    EXPECT_EQ(1, ch->IsOpened());  // the dropped link is noticed and made again
    EXPECT_EQ("01 03 02 00 2A", Exchange());
    EXPECT_EQ(2u, dev.Connections());
}

TEST_F(TcpFixture, ClosedPeerSeenByReadOrPurgeIsADroppedLink) {
    // Read: nothing from a peer that closed; the link is dropped.
    ASSERT_EQ(1, ch->Open(nullptr));
    EXPECT_EQ("01 03 02 00 2A", Exchange());
    size_t before = dev.Connections();
    dev.DropConnection();
    unsigned char buf[8];
    EXPECT_EQ(0, ch->Read(buf, 5, 2000));
    EXPECT_EQ(-1, ch->sock());
    EXPECT_EQ(1, ch->IsOpened());
    EXPECT_EQ("01 03 02 00 2A", Exchange());
    EXPECT_EQ(before + 1, dev.Connections());

    // Purge: the same.
    dev.DropConnection();
    for (int i = 0; i < 200 && ch->sock() != -1; ++i) {
        EXPECT_EQ(1, ch->Purge());
        usleep(10000);
    }
    EXPECT_EQ(-1, ch->sock());
}

TEST_F(TcpFixture, WriteToAPeerThatHasGoneFailsWithoutSignal) {
    ASSERT_EQ(1, ch->Open(nullptr));
    dev.Stop();  // the device is gone altogether
    const Bytes req = Hex("01 03 00 00 00 01");
    int r = 0;
    for (int i = 0; i < 50 && r >= 0; ++i) {  // the first send may still be taken
        r = ch->Write(req.data(), (int)req.size());
        if (r >= 0) usleep(20000);
    }
    EXPECT_LT(r, 0);  // and the process is still here: no SIGPIPE
    EXPECT_EQ(-1, ch->sock());
}

TEST_F(TcpFixture, SilentPeerCostsTheWaitAndClosesTheLink) {
    ASSERT_EQ(1, ch->Open(nullptr));
    dev.InjectFault(Fault::Silence, -1);
    const Bytes req = Hex("01 03 00 00 00 01");
    ASSERT_EQ(6, ch->Write(req.data(), 6));
    unsigned char buf[8];
    auto t0 = Clock::now();
    EXPECT_EQ(-1, ch->Read(buf, 8, 0));  // 10 x 8 + 1000 ms
    double took = sertest::SecondsSince(t0);
    EXPECT_GE(took, 1.0);
    EXPECT_LT(took, 6.0);
    EXPECT_EQ(-1, ch->sock());

    // An explicit time-out replaces the computed one.
    ASSERT_EQ(1, ch->IsOpened());
    ASSERT_EQ(6, ch->Write(req.data(), 6));
    t0 = Clock::now();
    EXPECT_EQ(-1, ch->Read(buf, 8, 200));
    EXPECT_LT(sertest::SecondsSince(t0), 1.0);
    ASSERT_EQ(1, ch->IsOpened());
    ch->SetTimeout(1, 100);
    ASSERT_EQ(6, ch->Write(req.data(), 6));
    t0 = Clock::now();
    EXPECT_EQ(-1, ch->Read(buf, 8, 0));  // 1 x 8 + 100 ms
    EXPECT_LT(sertest::SecondsSince(t0), 1.0);
}

// Read(-1) waits for the answer, but never longer than the channel's time-out: a peer that
// accepts and never answers costs that time, also when the time-out comes to nothing.
TEST_F(TcpFixture, ReadWithoutWaitTakesTheAnswerWithinTheChannelsTimeOut) {
    ASSERT_EQ(1, ch->Open(nullptr));
    dev.SetDelay(300);
    EXPECT_EQ("01 03 02 00 2A", Exchange(-1));

    dev.InjectFault(Fault::Silence, -1);
    struct Case {
        int perByte, fixed;
        double atLeast, below;  // seconds
    } cases[] = {
        {10, 200, 0.2, 1.5},  // 10 x 5 + 200 ms
        {0, 0, 0.0, 1.0},     // nothing to wait for: no wait at all
        {0, -5, 0.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.perByte) + "," + std::to_string(c.fixed));
        ASSERT_EQ(1, ch->IsOpened());
        ch->SetTimeout(c.perByte, c.fixed);
        auto t0 = Clock::now();
        EXPECT_EQ("-1", Exchange(-1));
        double took = sertest::SecondsSince(t0);
        EXPECT_GE(took, c.atLeast);
        EXPECT_LT(took, c.below);
        EXPECT_EQ(-1, ch->sock());  // no answer in time: the link is closed
    }
}

TEST_F(TcpFixture, PurgeDiscardsPendingInputAndNeverBlocks) {
    ASSERT_EQ(1, ch->Open(nullptr));
    auto t0 = Clock::now();
    EXPECT_EQ(1, ch->Purge());  // nothing pending: returns at once
    EXPECT_LT(sertest::SecondsSince(t0), 2.0);

    const Bytes req = Hex("01 03 00 00 00 01");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(6, ch->Write(req.data(), 6));
    ASSERT_TRUE(dev.WaitAnswers(3, 5000));
    for (int i = 0; i < 200 && ch->Pending() < 15; ++i) usleep(10000);
    ASSERT_EQ(15, ch->Pending());
    t0 = Clock::now();
    EXPECT_EQ(1, ch->Purge());
    EXPECT_LT(sertest::SecondsSince(t0), 2.0);
    EXPECT_EQ(0, ch->Pending());
    EXPECT_EQ(1, ch->IsOpened());
    EXPECT_EQ("01 03 02 00 2A", Exchange());
}

TEST_F(TcpFixture, SplitAnswerArrivesInTwoReads) {
    ASSERT_EQ(1, ch->Open(nullptr));
    dev.SetSplitGap(100);
    dev.InjectFault(Fault::Split);
    const Bytes req = Hex("01 03 00 00 00 01");
    ASSERT_EQ(6, ch->Write(req.data(), 6));
    unsigned char buf[8];
    int n = ch->Read(buf, 5, 2000);
    ASSERT_EQ(2, n);  // one receive: what has come
    int m = ch->Read(buf + n, 5 - n, 2000);
    ASSERT_EQ(3, m);
    EXPECT_EQ("01 03 02 00 2A", ToHex(Bytes(buf, buf + 5)));
}

// ---------------------------------------------------------------- UDP to one address

TEST(SerNetUdp, ExchangesAndSilenceClosesTheLink) {
    qxsim::UdpSim dev;
    dev.SetTable(qxsim::Table().Add(Hex("AA 01"), Hex("AA 01 55")));
    ASSERT_TRUE(dev.Start());
    NetProbe ch(dev.Definition().c_str());
    EXPECT_EQ(CSerNet::MODE_UDP, ch.GetMode());
    ASSERT_EQ(1, ch.Open(nullptr));
    const Bytes req = Hex("AA 01");
    unsigned char buf[8];
    ASSERT_EQ(2, ch.Write(req.data(), 2));
    int n = ch.Read(buf, sizeof(buf), 2000);
    ASSERT_EQ(3, n);
    EXPECT_EQ("AA 01 55", ToHex(Bytes(buf, buf + n)));

    dev.InjectFault(Fault::Silence);
    ASSERT_EQ(2, ch.Write(req.data(), 2));
    EXPECT_EQ(-1, ch.Read(buf, sizeof(buf), 200));
    EXPECT_EQ(-1, ch.sock());
    EXPECT_EQ(1, ch.IsOpened());
    ASSERT_EQ(2, ch.Write(req.data(), 2));
    EXPECT_EQ(3, ch.Read(buf, sizeof(buf), 2000));

    // Purge drops datagrams waiting to be read.
    ASSERT_EQ(2, ch.Write(req.data(), 2));
    ASSERT_EQ(2, ch.Write(req.data(), 2));
    ASSERT_TRUE(dev.WaitAnswers(4, 5000));
    for (int i = 0; i < 200 && ch.Pending() <= 0; ++i) usleep(10000);
    usleep(50000);
    EXPECT_EQ(1, ch.Purge());
    EXPECT_EQ(0, ch.Pending());
}

TEST(SerNetBroadcastLocal, SilentBroadcastReadKeepsTheLinkOpen) {
    // Nothing is sent: a broadcast link that hears nothing reads 0 and stays open.
    NetProbe ch("b:47999");
    ASSERT_EQ(1, ch.Open(nullptr));
    unsigned char buf[4];
    EXPECT_EQ(0, ch.Read(buf, 4, 100));
    EXPECT_EQ(1, ch.IsOpened());
    EXPECT_EQ(1, ch.Purge());
}

TEST(SerNetDrop, ErrorNumbersThatMeanALostLink) {
    NetProbe ch("127.0.0.1:1");
    testing::internal::CaptureStdout();
    for (unsigned long e : {88ul, 100ul, 101ul, 102ul, 103ul, 104ul, 10058ul, 10064ul, 10065ul})
        EXPECT_TRUE(ch.IsConnDropped(e)) << e;
    for (unsigned long e : {0ul, 4ul, 110ul, 111ul, 10060ul}) EXPECT_FALSE(ch.IsConnDropped(e)) << e;
    // "Try again" is a drop only from its third repetition on.
    EXPECT_FALSE(ch.IsConnDropped(11));
    EXPECT_FALSE(ch.IsConnDropped(11));
    EXPECT_TRUE(ch.IsConnDropped(11));
    EXPECT_TRUE(ch.IsConnDropped(11));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("net isdroped: 104\r\n"));
}

}  // namespace
