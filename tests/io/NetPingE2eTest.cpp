// The reachability check through the loaded plug-in, in a network namespace of the test's own
// (only a loopback: nothing outside is contacted): the platform's ping and nmap run against
// loopback, an address without a route, an address routed into the loopback where nothing
// answers, and loopback ports; rows read back from SQLite. `ping`
// and `nmap` are found on PATH through small wrappers that log the argument vector each
// program was given before they run the real one.
#include <errno.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "E2eRig.h"
#include "GbkText.h"
#include "NetNamespace.h"
#include "gtest/gtest.h"

namespace {

std::string& NoNamespace() {
    static std::string why;
    return why;
}

// No child of the test is left, not even a zombie.
bool NoChildLeft() {
    int status;
    return waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

// The program of that name on PATH, "" when there is none.
std::string OnPath(const std::string& name) {
    const char* path = getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string p = dir + "/" + name;
        if (access(p.c_str(), X_OK) == 0) return p;
    }
    return "";
}

class Reachability : public ::testing::Test {
protected:
    void SetUp() override {
        if (!NoNamespace().empty()) GTEST_SKIP() << NoNamespace();
        const std::string ping = OnPath("ping"), nmap = OnPath("nmap");
        if (ping.empty() || nmap.empty()) GTEST_SKIP() << "ping or nmap is not installed";
        char tmpl[] = "/tmp/qxpingXXXXXX";
        dir = mkdtemp(tmpl);
        log = dir + "/runs.log";
        for (const auto& p : {std::make_pair(std::string("ping"), ping), std::make_pair(std::string("nmap"), nmap)}) {
            std::ofstream w(dir + "/" + p.first);
            w << "#!/bin/sh\n"
              << "for a in \"$0\" \"$@\"; do printf '[%s]' \"$a\" >> '" << log << "'; done\n"
              << "echo >> '" << log << "'\n"
              << "exec '" << p.second << "' \"$@\"\n";
            w.close();
            chmod((dir + "/" + p.first).c_str(), 0755);
        }
        oldPath = getenv("PATH");
        setenv("PATH", (dir + ":" + oldPath).c_str(), 1);
        oldCwd = getcwd(nullptr, 0);
        if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "chdir " << dir;
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        h = rig.Handler(0xD07);
        ASSERT_NE(nullptr, h);
    }
    void TearDown() override {
        rig.Close();
        if (dir.empty()) return;
        setenv("PATH", oldPath.c_str(), 1);
        if (oldCwd && chdir(oldCwd) != 0) ADD_FAILURE() << "chdir back";
        free(oldCwd);
        std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
    }

    // A point of the check; registered once per SID.
    qxhost::PointItem& Point(int sid, const char* hostText, int variant) {
        points.emplace_back(new qxhost::PointItem(sid, 0xD07));
        qxhost::PointItem& p = *points.back();
        p.Name("NET").HostText(hostText).Variant(variant);
        rig.AddPoint(h, p);
        return p;
    }
    // One poll: DataGet's result, the stored iPingState and what was run (one line per run,
    // its argument vector with the program's path as the first).
    struct Run {
        int got;
        int state;
        std::string runs;
    };
    Run Poll(qxhost::PointItem& p) {
        unlink(log.c_str());
        int bits[1] = {0};
        Run r;
        r.got = rig.Poll(h, p, nullptr, bits);
        r.state = (int)rig.db.Int("select iPingState from tbPingNet where SID=" + std::to_string(p.Get().SID));
        std::ifstream f(log);
        std::stringstream s;
        s << f.rdbuf();
        r.runs = s.str();
        const std::string prefix = "[" + dir + "/";
        for (size_t at; (at = r.runs.find(prefix)) != std::string::npos;) r.runs.replace(at, prefix.size(), "[");
        return r;
    }
    std::string Brief(int sid) {
        return qxtest::Utf8(rig.db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)));
    }

    qxtest::E2eRig rig;
    ISMBase* h = nullptr;
    std::string dir, log, oldPath;
    char* oldCwd = nullptr;
    std::vector<std::unique_ptr<qxhost::PointItem>> points;
};

TEST_F(Reachability, PingOnlineAndOffline) {
    // Before any point is handed over there is nothing to probe.
    EXPECT_EQ(0, h->DataGet(nullptr, 0, 0));

    auto& up = Point(71, "127.0.0.1", 0);
    auto& down = Point(72, "10.255.255.1", 0);  // no route inside the namespace
    Run r = Poll(up);
    EXPECT_EQ(1, r.got);
    EXPECT_EQ(1, r.state);
    EXPECT_EQ("[ping][127.0.0.1][-c][1][-W][1]\n", r.runs);
    EXPECT_EQ("在线", Brief(71));
    EXPECT_EQ(1, h->DataVal(1));

    // Unreachable is a poll that answered: State 0, the value says offline.
    r = Poll(down);
    EXPECT_EQ(1, r.got);
    EXPECT_EQ(0, r.state);
    EXPECT_EQ("离线", Brief(72));
    EXPECT_EQ(0, rig.db.Int("select State from tbPingNet where SID=72"));
    EXPECT_EQ("在线", Brief(71));

    // A port after the address is ignored by the ping.
    auto& withPort = Point(73, "127.0.0.1:80", 0);
    r = Poll(withPort);
    EXPECT_EQ(1, r.state);
    EXPECT_EQ("[ping][127.0.0.1][-c][1][-W][1]\n", r.runs);
    EXPECT_EQ(3, rig.hist.Int("select count(*) from tbPingNet"));
}

TEST_F(Reachability, PortCheck) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(listener, (sockaddr*)&a, sizeof a));
    ASSERT_EQ(0, listen(listener, 4));
    socklen_t len = sizeof a;
    ASSERT_EQ(0, getsockname(listener, (sockaddr*)&a, &len));
    const int open = ntohs(a.sin_port);
    // A port nobody listens on: one that was bound and let go.
    int gone = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in b = {};
    b.sin_family = AF_INET;
    b.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(gone, (sockaddr*)&b, sizeof b));
    len = sizeof b;
    ASSERT_EQ(0, getsockname(gone, (sockaddr*)&b, &len));
    const int closed = ntohs(b.sin_port);
    close(gone);

    auto& p1 = Point(81, ("127.0.0.1:" + std::to_string(open)).c_str(), 1);
    Run r = Poll(p1);
    EXPECT_EQ(1, r.got);
    EXPECT_EQ(1, r.state);
    EXPECT_EQ("[nmap][127.0.0.1][-p][" + std::to_string(open) + "]\n", r.runs);

    auto& p2 = Point(82, ("127.0.0.1:" + std::to_string(closed)).c_str(), 1);
    r = Poll(p2);
    EXPECT_EQ(1, r.got);
    EXPECT_EQ(0, r.state);
    close(listener);
}

// A host that silently drops what is sent to it (a route out of the loopback that nothing
// answers on, as behind a dead link; unlike a blackhole route, the sender sees no error): the
// echo reply is waited for one second, the host is offline and the poll is back well within the
// runner's deadline. Loopback stays online beside it.
TEST_F(Reachability, SilentHostIsOfflineWithinASecondOrSo) {
    const std::string route = qxtest::AddRoute("203.0.113.0", "255.255.255.0", "lo");
    if (!route.empty()) GTEST_SKIP() << route;
    auto& silent = Point(75, "203.0.113.1", 0);
    auto& up = Point(76, "127.0.0.1", 0);
    auto start = std::chrono::steady_clock::now();
    Run r = Poll(silent);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(1, r.got);
    EXPECT_EQ(0, r.state);
    EXPECT_EQ("[ping][203.0.113.1][-c][1][-W][1]\n", r.runs);
    EXPECT_EQ("离线", Brief(75));
    EXPECT_LT(took.count(), 3000);
    r = Poll(up);
    EXPECT_EQ(1, r.state);
    EXPECT_EQ("在线", Brief(76));
    EXPECT_TRUE(NoChildLeft());
}

// A probe that never ends (here a ping that printed its first line and hangs) is stopped at
// the runner's deadline of five seconds, with its child reaped: the host is offline, the poll
// goes on. The same runner and deadline serve the port scan.
TEST_F(Reachability, ProbeThatNeverEndsIsStoppedAtTheDeadline) {
    for (const char* program : {"ping", "nmap"}) {
        SCOPED_TRACE(program);
        std::ofstream w(dir + "/" + program);
        w << "#!/bin/sh\n"
          << "for a in \"$0\" \"$@\"; do printf '[%s]' \"$a\" >> '" << log << "'; done\n"
          << "echo >> '" << log << "'\n"
          << "echo \"Starting $2\"\n"
          << "exec sleep 100\n";
    }
    auto& ping = Point(77, "127.0.0.1", 0);
    auto& scan = Point(78, "127.0.0.1:22", 1);
    for (auto* p : {&ping, &scan}) {
        auto start = std::chrono::steady_clock::now();
        Run r = Poll(*p);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(1, r.got);
        EXPECT_EQ(0, r.state);
        EXPECT_EQ("离线", Brief(p->Get().SID));
        EXPECT_GE(took.count(), 4900);
        EXPECT_LT(took.count(), 7000);
        EXPECT_TRUE(NoChildLeft());
    }
}

// Texts that cannot be probed are offline without anything run; texts with shell characters
// reach the program as one argument and are never a command line.
TEST_F(Reachability, HostTextIsNeverACommandLine) {
    struct Case {
        const char* text;
        int variant;
        const char* runs;
    } cases[] = {
        {"127.0.0.1", 1, ""},                       // port check without a port
        {"127.0.0.1:0", 1, ""},
        {"127.0.0.1:70000", 1, ""},
        {"-oNmarker", 0, ""},                        // would be an option
        {"-iL/etc/hosts:80", 1, ""},
        {"abcdefghijklmnopqrstuvwxyz0123456", 0, ""},  // longer than a host may be
        {"x;touch marker;", 0, "[ping][x;touch marker;][-c][1][-W][1]\n"},
        {"$(touch marker)", 0, "[ping][$(touch marker)][-c][1][-W][1]\n"},
        {"x`touch marker`:80", 1, "[nmap][x`touch marker`][-p][80]\n"},
    };
    int sid = 90;
    for (const Case& c : cases) {
        auto& p = Point(++sid, c.text, c.variant);
        Run r = Poll(p);
        EXPECT_EQ(1, r.got) << c.text;
        EXPECT_EQ(0, r.state) << c.text;
        EXPECT_EQ(c.runs, r.runs) << c.text;
        EXPECT_NE(0, access((dir + "/marker").c_str(), F_OK)) << c.text;
        EXPECT_EQ("离线", Brief(sid)) << c.text;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) NoNamespace() = qxtest::EnterNamespace();
    return RUN_ALL_TESTS();
}
