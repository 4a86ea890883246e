#pragma once
// For tests whose handlers always ask port 161: the test process moves into a network
// namespace of its own (as `unshare -rn` does: a user namespace with the user mapped to root
// where the process is not root, only a loopback, brought up here), so that agents may listen
// on 127.0.0.x:161 and no other process sees them. Call from main() before the tests run:
//
//   int main(int argc, char** argv) {
//       ::testing::InitGoogleTest(&argc, argv);
//       if (!::testing::GTEST_FLAG(list_tests)) g_noNamespace = qxtest::EnterNamespace();
//       return RUN_ALL_TESTS();
//   }
//
// Returns an empty text, or why no namespace could be made (the cases then skip and say so).
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace qxtest {

inline bool WriteProcFile(const char* path, const std::string& text) {
    int fd = open(path, O_WRONLY);
    if (fd < 0) return false;
    bool ok = write(fd, text.data(), text.size()) == (ssize_t)text.size();
    close(fd);
    return ok;
}

inline std::string EnterNamespace() {
    if (unshare(CLONE_NEWNET) != 0) {
        uid_t uid = getuid();
        gid_t gid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return std::string("cannot make a network namespace: ") + strerror(errno);
        // Root inside, so that an agent may listen on port 161.
        WriteProcFile("/proc/self/setgroups", "deny");
        if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n"))
            return std::string("cannot map the user to root: ") + strerror(errno);
    }
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return std::string("no socket: ") + strerror(errno);
    struct ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    strcpy(ifr.ifr_name, "lo");
    std::string err;
    if (ioctl(s, SIOCGIFFLAGS, &ifr) != 0) {
        err = std::string("loopback flags: ") + strerror(errno);
    } else {
        ifr.ifr_flags |= IFF_UP;
        if (ioctl(s, SIOCSIFFLAGS, &ifr) != 0) err = std::string("loopback up: ") + strerror(errno);
    }
    close(s);
    return err;
}

// Inside the namespace: a route of net/mask out of dev without a gateway, as "ip route add
// NET/LEN dev DEV" adds it. Through the loopback it makes addresses that silently drop what is
// sent to them (nothing answers, nothing reports an error), as a host behind a dead link does.
// Returns an empty text (also when the route is there already), or why it could not be added.
inline std::string AddRoute(const char* net, const char* mask, const char* dev) {
    struct rtentry rt;
    memset(&rt, 0, sizeof rt);
    struct sockaddr_in* dst = reinterpret_cast<struct sockaddr_in*>(&rt.rt_dst);
    struct sockaddr_in* genmask = reinterpret_cast<struct sockaddr_in*>(&rt.rt_genmask);
    dst->sin_family = AF_INET;
    genmask->sin_family = AF_INET;
    if (inet_pton(AF_INET, net, &dst->sin_addr) != 1 || inet_pton(AF_INET, mask, &genmask->sin_addr) != 1)
        return "not an address";
    rt.rt_flags = RTF_UP;
    char name[IFNAMSIZ];
    snprintf(name, sizeof name, "%s", dev);
    rt.rt_dev = name;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return std::string("no socket: ") + strerror(errno);
    std::string err;
    if (ioctl(s, SIOCADDRT, &rt) != 0 && errno != EEXIST) err = std::string("route: ") + strerror(errno);
    close(s);
    return err;
}

}  // namespace qxtest
