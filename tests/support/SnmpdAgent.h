// net-snmp's snmpd as a real SNMP agent for tests, on a free loopback UDP port.
//
//   qxtest::SnmpdAgent agent;
//   std::string why;
//   if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed ...";
//   ASSERT_TRUE(agent.Start("override .1.3.6.1.4.1.99999.1.0 integer 5\n", &why)) << why;
//   ... UdpAddress("127.0.0.1"), set_port(agent.port()) ...
//
// The configuration given is written after the line "rocommunity public 127.0.0.1"; use
// numeric identifiers (no MIB is loaded). Objects are best made with `override OID TYPE VALUE`
// lines; the types this snmpd accepts there are integer, uinteger (Gauge32), counter,
// timeticks, octet_str (quoted text or 0x hex bytes; a backslash in quoted text is an escape)
// and object_id. IpAddress and Counter64 values cannot be overridden: use SnmpScriptAgent.
// The agent's own MIB-II (system group and so on) answers as well.
//
// snmpd runs as `snmpd -f -Lo -C -c FILE -I -smux -m '' udp:127.0.0.1:PORT` with its persistent
// directory and output (file "snmpd.log") in a temporary folder, and is stopped by its process
// id when the object goes or Stop() is called. Start() returns once the agent has answered a
// GET of sysUpTime.0, and fails (with the agent's output in *why) when it does not come up.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "support/SnmpScriptAgent.h"

extern char** environ;

namespace qxtest {

class SnmpdAgent {
public:
    SnmpdAgent() {}
    ~SnmpdAgent() { Stop(); }
    SnmpdAgent(const SnmpdAgent&) = delete;
    SnmpdAgent& operator=(const SnmpdAgent&) = delete;

    // Path of the snmpd program, or empty when it is not installed.
    static std::string Program() {
        std::vector<std::string> dirs;
        if (const char* path = getenv("PATH")) {
            std::stringstream ss(path);
            std::string d;
            while (std::getline(ss, d, ':'))
                if (!d.empty()) dirs.push_back(d);
        }
        dirs.push_back("/usr/sbin");
        dirs.push_back("/usr/local/sbin");
        for (const std::string& d : dirs) {
            std::string p = d + "/snmpd";
            if (access(p.c_str(), X_OK) == 0) return p;
        }
        return std::string();
    }

    // fixedPort: listen on this port (for example 161 in a network namespace of the test's
    // own) instead of a free one.
    bool Start(const std::string& config, std::string* why, uint16_t fixedPort = 0) {
        Stop();
        std::string program = Program();
        if (program.empty()) {
            if (why) *why = "snmpd is not installed";
            return false;
        }
        char tmpl[] = "/tmp/qx-snmpd-XXXXXX";
        if (!mkdtemp(tmpl)) {
            if (why) *why = "mkdtemp failed";
            return false;
        }
        m_dir = tmpl;
        const std::string conf = m_dir + "/snmpd.conf";
        {
            std::ofstream f(conf);
            f << "rocommunity public 127.0.0.1\n" << config << "\n";
        }
        std::string persist = m_dir + "/persist";
        mkdir(persist.c_str(), 0700);
        std::string log = m_dir + "/snmpd.log";

        // A port found free may be taken before snmpd binds it: then try another.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_port = fixedPort ? fixedPort : FreeUdpPort();
            if (!m_port) continue;
            std::string listen = "udp:127.0.0.1:" + std::to_string(m_port);
            std::vector<std::string> args = {program, "-f", "-Lo", "-C", "-c", conf,
                                             "-I", "-smux", "-m", "", listen};
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            std::vector<std::string> env;
            for (char** e = environ; *e; ++e)
                if (strncmp(*e, "SNMP_PERSISTENT_DIR=", 20) != 0 && strncmp(*e, "MIBS=", 5) != 0)
                    env.push_back(*e);
            env.push_back("SNMP_PERSISTENT_DIR=" + persist);
            env.push_back("MIBS=");
            std::vector<char*> envp;
            for (std::string& e : env) envp.push_back(&e[0]);
            envp.push_back(nullptr);

            posix_spawn_file_actions_t fa;
            posix_spawn_file_actions_init(&fa);
            posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            posix_spawn_file_actions_adddup2(&fa, 1, 2);
            pid_t pid = -1;
            int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data());
            posix_spawn_file_actions_destroy(&fa);
            if (rc != 0) {
                if (why) *why = "posix_spawn of " + program + " failed";
                return false;
            }
            m_pid = pid;
            // Wait (bounded) for the first answer; stop early when snmpd has exited.
            for (int i = 0; i < 100; ++i) {
                int st;
                if (waitpid(m_pid, &st, WNOHANG) == m_pid) {
                    m_pid = -1;
                    break;
                }
                if (Answers(m_port)) return true;
            }
            if (m_pid > 0 || fixedPort) break;  // running but silent, or no other port to try
        }
        if (why) *why = "snmpd did not answer; its output:\n" + ReadFile(log);
        Stop();
        return false;
    }

    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int st;
            bool gone = false;
            for (int i = 0; i < 250 && !gone; ++i) {
                if (waitpid(m_pid, &st, WNOHANG) == m_pid) gone = true;
                else usleep(20000);
            }
            if (!gone) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &st, 0);
            }
            m_pid = -1;
        }
        if (!m_dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_dir, ec);
            m_dir.clear();
        }
        m_port = 0;
    }

    uint16_t port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    const std::string& dir() const { return m_dir; }

private:
    static uint16_t FreeUdpPort() {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0) return 0;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        uint16_t port = 0;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(fd);
        return port;
    }

    // One GET of sysUpTime.0 with a 100 ms wait for the answer.
    static bool Answers(uint16_t port) {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0) return false;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        std::vector<uint8_t> msg = SnmpScriptAgent::EncodeMessage(
            1, "public", kPduGet, 4711, 0, 0, {{OidOf("1.3.6.1.2.1.1.3.0"), SnmpValue::Null()}});
        bool ok = false;
        if (sendto(fd, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) > 0) {
            pollfd pfd{fd, POLLIN, 0};
            if (poll(&pfd, 1, 100) > 0) {
                uint8_t buf[2048];
                ssize_t n = recv(fd, buf, sizeof buf, 0);
                SnmpRequest r;
                ok = n > 0 && SnmpScriptAgent::DecodeRequest(buf, static_cast<size_t>(n), r) &&
                     r.pduType == kPduResponse && r.requestId == 4711;
            } else {
                usleep(20000);
            }
        }
        close(fd);
        return ok;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream f(path);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    pid_t m_pid = -1;
    uint16_t m_port = 0;
    std::string m_dir;
};

// A test suite whose tests share one snmpd, started with Config() before the first test and
// stopped after the last; each test is skipped where snmpd is not installed and fails where it
// did not start:
//   class MySuite : public qxtest::SnmpdSuite<AgentConfig> {};   ... s_agent->port() ...
template <std::string (*Config)()>
class SnmpdSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (SnmpdAgent::Program().empty()) return;
        s_agent = new SnmpdAgent;
        s_started = s_agent->Start(Config(), &s_why);
    }
    static void TearDownTestSuite() {
        delete s_agent;
        s_agent = nullptr;
    }
    void SetUp() override {
        if (!s_agent) GTEST_SKIP() << "snmpd is not installed (apt-get install snmpd): skipped";
        ASSERT_TRUE(s_started) << s_why;
    }

    static inline SnmpdAgent* s_agent = nullptr;
    static inline bool s_started = false;
    static inline std::string s_why;
};

}  // namespace qxtest
