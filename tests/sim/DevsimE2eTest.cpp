// The simulator program as a site engineer uses it: every device it lists names the point
// that polls it, and the GSM modem is served by name with its faults.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "DevsimRun.h"
#include "gtest/gtest.h"

namespace {

using namespace devsimrun;

// Every device devsim lists names the device type code of the point that polls it (the soak
// polls only those), in the form its device lines give it.
TEST(Devsim, EveryDeviceListedNamesItsTypeCode) {
    Ran list = Shell(Quoted(Program(DEVSIM_PATH)) + " --list");
    ASSERT_EQ(0, list.rc) << list.out;
    std::istringstream lines(list.out);
    int devices = 0;
    const std::regex type(" type=0x[0-9A-F]+( |$)");
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        devices++;
        EXPECT_TRUE(std::regex_search(line, type)) << "no type code: " << line;
        EXPECT_EQ(std::string::npos, line.find(" type=0x0 ")) << line;
    }
    EXPECT_GT(devices, 100) << list.out;
}

// The pseudo-terminal of a served device, raw: bytes written, the answer read until it holds
// what is expected or the line stays quiet.
class Terminal {
public:
    explicit Terminal(const std::string& path) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (m_fd < 0) return;
        struct termios t;
        tcgetattr(m_fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B115200);
        tcsetattr(m_fd, TCSANOW, &t);
    }
    ~Terminal() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Open() const { return m_fd >= 0; }
    std::string Ask(const std::string& request, const std::string& expected) {
        if (write(m_fd, request.data(), request.size()) != (ssize_t)request.size()) return "<write failed>";
        std::string got;
        // Up to two seconds for the answer, then a tenth of a second of quiet for any more.
        for (int quietMs = 2000;;) {
            struct pollfd p = {m_fd, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0) break;
            char buf[256];
            ssize_t n = read(m_fd, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, (size_t)n);
            if (got.size() >= expected.size()) quietMs = 100;
        }
        return got;
    }

private:
    int m_fd = -1;
};

TEST(Devsim, ServesTheGsmModemByName) {
    // An SMS-SUBMIT of "hi" to 123: 12 octets after the empty centre field.
    const std::string pdu = "0011000381" "21F3" "0000AA02E834";
    struct Exchange {
        const char* request;
        std::string answer;
    };
    struct Case {
        const char* device;
        std::vector<Exchange> exchanges;
    } cases[] = {
        {"gsm-modem",
         {{"AT\r", "AT\r\r\nOK\r\n"},  // echo until ATE0
          {"ATE0\r", "ATE0\r\r\nOK\r\n"},
          {"AT+CSQ\r", "\r\n+CSQ: 23,99\r\n\r\nOK\r\n"},
          {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"},
          {"AT+COPS?\r", "\r\n+COPS: 0,0,\"China Mobile\"\r\n\r\nOK\r\n"},
          {"AT+CMGF=0\r", "\r\nOK\r\n"},
          {"AT+CMGS=12\r", "\r\n> "},
          {nullptr, "\r\n+CMGS: 1\r\n\r\nOK\r\n"},  // the PDU, ended by Ctrl-Z
          {"AT+CMGS=12\r", "\r\n> "},
          {nullptr, "\r\n+CMGS: 2\r\n\r\nOK\r\n"}}},
        // Refused: every command and the PDU answered ERROR.
        {"gsm-modem+exception",
         {{"AT\r", "\r\nERROR\r\n"}, {"AT+CMGS=12\r", "\r\nERROR\r\n"}, {nullptr, "\r\nERROR\r\n"}}},
        {"gsm-modem+silence", {{"AT\r", ""}, {"AT+CSQ\r", ""}}},
        {"gsm-modem+short", {{"AT+CSQ\r", "AT+CSQ\r\r\n+CSQ:"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        Devsim sim({c.device});
        ASSERT_TRUE(sim.Ready()) << sim.Text();
        EXPECT_EQ("0xA01", sim.Field(0, "type")) << sim.Text();
        EXPECT_EQ("tbAlmGsm", sim.Field(0, "kept")) << sim.Text();
        Terminal t(sim.Field(0, "pts"));
        ASSERT_TRUE(t.Open()) << sim.Text();
        for (const Exchange& e : c.exchanges) {
            std::string request = e.request ? e.request : pdu + "\x1A";
            EXPECT_EQ(e.answer, t.Ask(request, e.answer)) << request;
        }
    }
}

// A sound device reads on every poll when its point takes the parameters devsim names for it:
// the cell string of four sensors is swept by Ext1 and wait 4 (a point without them sweeps 32
// cells, and from the fifth poll on asks sensors the string does not have). The first sweep
// measures each cell's resistance, 5.5 s a poll.
TEST(Devsim, TheCellStringPointSweepsTheCellsTheStringHas) {
    Devsim sim({"eb90"});
    ASSERT_TRUE(sim.Ready()) << sim.Text();
    char tmpl[] = "/tmp/qx-devsim-site-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    const std::string dir = tmpl;
    std::string site = "[EB90]\nsid = 1\ntype = " + sim.Field(0, "type") + "\nchannel = " + sim.Field(0, "def") +
                       "\nchtype = " + sim.Field(0, "chtype") + "\naddr = 1\n";
    for (const char* key : {"variant", "ext1", "ext2", "wait"})
        if (!sim.Field(0, key).empty()) site += std::string(key) + " = " + sim.Field(0, key) + "\n";
    {
        std::ofstream f(dir + "/site.ini");
        f << site;
    }
    std::vector<std::string> host = Program(SMHOST_PATH);
    for (const char* a : {"--site", "site.ini", "--db", "main.db", "--history", "hist.db", "--cycles", "6",
                          "--interval", "0", "--lib", QXSM_PATH, "--ser", QXSER_PATH})
        host.push_back(a);
    Ran r = Shell("cd '" + dir + "' && " + Quoted(host));
    Shell("rm -rf '" + dir + "'");
    EXPECT_EQ(0, r.rc) << site << r.out;
    for (int cycle = 1; cycle <= 6; cycle++)
        EXPECT_NE(std::string::npos, r.out.find("cycle " + std::to_string(cycle) + " [EB90] sid 1: state 0 "))
            << "cycle " << cycle << "\n" << site << r.out;
}

}  // namespace
