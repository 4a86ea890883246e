// Broadcast and multicast, each test in a network namespace of its own (see NetNsMain.cpp).
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string.h>

#include <string>

#include "NetNs.h"
#include "NetSim.h"
#include "SerNet.h"
#include "SocketHandle.h"
#include "gtest/gtest.h"

namespace {

using qxsim::Hex;
using qxsim::ToHex;

TEST(SerNetBroadcast, ExchangesWithADeviceThatAnswersTheSender) {
    REQUIRE_NETNS();
    qxsim::UdpSim dev;
    dev.SetTable(qxsim::Table().Add(Hex("7E 31 30 30"), Hex("7E 31 30 30 0D")));
    ASSERT_TRUE(dev.Start("0.0.0.0", 0));
    CSerNet ch(("b:" + std::to_string(dev.Port())).c_str());
    ASSERT_EQ(CSerNet::MODE_BROADCAST, ch.GetMode());
    ASSERT_EQ(1, ch.Open(nullptr));
    const qxsim::Bytes req = Hex("7E 31 30 30");
    EXPECT_EQ(4, ch.Write(req.data(), 4));
    ASSERT_TRUE(dev.WaitRequests(1, 5000));
    unsigned char buf[16];
    int n = ch.Read(buf, sizeof(buf), 3000);
    ASSERT_EQ(5, n);
    EXPECT_EQ("7E 31 30 30 0D", ToHex(qxsim::Bytes(buf, buf + n)));

    // Silence on a broadcast link is no failure: 0, and the channel stays open.
    dev.InjectFault(qxsim::Fault::Silence);
    EXPECT_EQ(4, ch.Write(req.data(), 4));
    EXPECT_EQ(0, ch.Read(buf, sizeof(buf), 300));
    EXPECT_EQ(1, ch.IsOpened());
}

TEST(SocketHandleMulticast, MemberReceivesTheGroupsDatagrams) {
    REQUIRE_NETNS();
    CSocketHandle member, sender;
    ASSERT_TRUE(member.CreateSocket("0.0.0.0", "0", AF_INET, SOCK_DGRAM, 2));
    SockAddrIn local;
    ASSERT_TRUE(member.GetSockName(local));
    if (!member.AddMembership("239.1.2.3", "127.0.0.1")) {
        int error = errno;
        // User-mode emulation of another processor does not offer every socket option.
        if (error == ENOPROTOOPT) GTEST_SKIP() << "no IP_MULTICAST_IF here: " << strerror(error);
        FAIL() << strerror(error);
    }

    ASSERT_TRUE(sender.CreateSocket("127.0.0.1", "0", AF_INET, SOCK_DGRAM, 4));
    int on = 0;
    socklen_t len = sizeof(on);
    ASSERT_EQ(0, getsockopt((int)sender.GetSocket(), SOL_SOCKET, SO_BROADCAST, &on, &len));
    EXPECT_EQ(1, on);  // option 4 on a datagram socket
    ASSERT_TRUE(sender.AddMembership("239.1.2.3", "127.0.0.1"));  // sets the outgoing interface
    SockAddrIn group;
    ASSERT_TRUE(group.CreateFrom("239.1.2.3", std::to_string(ntohs(local.sin_port)).c_str()));
    const unsigned char msg[] = {0x51, 0x31, 0x0D};
    EXPECT_EQ(3, sender.Write(msg, 3, group, 1000));

    unsigned char buf[8];
    SockAddrIn from;
    EXPECT_EQ(3, member.Read(buf, sizeof(buf), from, 3000));
    EXPECT_EQ(htonl(INADDR_LOOPBACK), from.sin_addr.s_addr);
    EXPECT_TRUE(member.DropMembership("239.1.2.3", "127.0.0.1"));

    CSocketHandle stream;
    ASSERT_TRUE(stream.CreateSocket("127.0.0.1", "0", AF_INET, SOCK_STREAM, 2));
    EXPECT_FALSE(stream.AddMembership("239.1.2.3", "127.0.0.1"));
    EXPECT_FALSE(stream.DropMembership("239.1.2.3", "127.0.0.1"));
    EXPECT_EQ(92, WSAGetLastError());
}

}  // namespace
