// Main of the tests that send broadcasts and multicasts: each test process first moves into
// a network namespace of its own, where only its loopback exists, so nothing leaves the
// machine. The loopback is brought up with multicast on and a default route through it, so
// the limited broadcast address is reachable. Where no namespace can be made, every test
// skips and says why.
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "NetNs.h"
#include "gtest/gtest.h"

namespace {
std::string g_unavailable = "not set up";

std::string EnterNamespace() {
    if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return std::string("cannot make a network namespace: ") + strerror(errno);
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return std::string("no socket: ") + strerror(errno);
    struct ifreq ifr;
    memset(&ifr, 0, sizeof(ifr));
    strcpy(ifr.ifr_name, "lo");
    std::string err;
    if (ioctl(s, SIOCGIFFLAGS, &ifr) != 0) {
        err = std::string("loopback flags: ") + strerror(errno);
    } else {
        ifr.ifr_flags |= IFF_UP | IFF_MULTICAST;
        if (ioctl(s, SIOCSIFFLAGS, &ifr) != 0) err = std::string("loopback up: ") + strerror(errno);
    }
    if (err.empty()) {
        struct rtentry rt;
        memset(&rt, 0, sizeof(rt));
        struct sockaddr_in* dst = reinterpret_cast<struct sockaddr_in*>(&rt.rt_dst);
        struct sockaddr_in* mask = reinterpret_cast<struct sockaddr_in*>(&rt.rt_genmask);
        dst->sin_family = AF_INET;
        mask->sin_family = AF_INET;
        rt.rt_flags = RTF_UP;
        char dev[] = "lo";
        rt.rt_dev = dev;
        if (ioctl(s, SIOCADDRT, &rt) != 0) err = std::string("default route: ") + strerror(errno);
    }
    close(s);
    return err;
}
}  // namespace

namespace netns {
const std::string& Unavailable() { return g_unavailable; }
}  // namespace netns

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) g_unavailable = EnterNamespace();
    return RUN_ALL_TESTS();
}
