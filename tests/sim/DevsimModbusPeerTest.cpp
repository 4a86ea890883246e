// The simulator's Modbus devices read by independent masters, Debian's mbpoll and pymodbus's
// clients: a block the device has reads, and any request that touches an address it does not
// have gets exception 02 (illegal data address), over RTU on a pseudo-terminal and over TCP;
// the BOD-800 cell monitor, which reads with function 4 only, answers any other function with
// exception 01 (illegal function). A master that is not installed skips its test.
#include <string.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "DevsimRun.h"
#include "gtest/gtest.h"

namespace {

using namespace devsimrun;

// One request of a master and what it made of the answer: "read N, first V", "exception C",
// "written", or what went wrong.
struct Request {
    const char* what;  // "input", "holding", "coil" (reads) or "write" (a holding register)
    int first, count;  // 0-based
};

// The temperature/humidity sensor devsim serves: input registers 0 (temperature, fixed by its
// mark) and 1 (humidity), nothing else; on a pseudo-terminal (mark 0, 5.1 C) and on loopback
// TCP (mark 1, 5.2 C).
const struct {
    Request request;
    const char* rtu;
    const char* tcp;
} kSensorCases[] = {
    {{"input", 0, 2}, "read 2, first 51", "read 2, first 52"},
    {{"input", 0, 1}, "read 1, first 51", "read 1, first 52"},
    {{"input", 1, 2}, "exception 2", "exception 2"},  // one register past the end
    {{"input", 2, 1}, "exception 2", "exception 2"},
    {{"holding", 0, 1}, "exception 2", "exception 2"},  // no holding registers at all
    {{"coil", 0, 1}, "exception 2", "exception 2"},
    {{"write", 0, 1}, "exception 2", "exception 2"},
};

// The BOD-800 cell monitor devsim serves on a pseudo-terminal: 24 healthy cells, cell 0 with
// status 0 and 12.0 V in its first register and 25.0 C in its second; three registers from
// 128 + the cell, read with function 4.
const struct {
    Request request;
    const char* rtu;
} kCellMonitorCases[] = {
    {{"input", 128, 3}, "read 3, first 120"},
    {{"input", 129, 3}, "read 3, first 121"},
    {{"holding", 128, 3}, "exception 1"},
    {{"coil", 0, 1}, "exception 1"},
    {{"write", 128, 1}, "exception 1"},
    {{"input", 300, 3}, "exception 2"},
    {{"input", 128, 2}, "exception 2"},
};

class DevsimModbus : public ::testing::Test {
protected:
    void SetUp() override {
        sim.reset(new Devsim({"--mark", "0", "modbus-th", "modbus-th:tcp"}));
        ASSERT_TRUE(sim->Ready()) << sim->Text();
        pts = sim->Field(0, "pts");
        std::string tcp = sim->Field(1, "tcp");
        port = tcp.substr(tcp.rfind(':') + 1);
        ASSERT_FALSE(pts.empty() || port.empty()) << sim->Text();
    }
    void TearDown() override { sim.reset(); }

    std::unique_ptr<Devsim> sim;
    std::string pts, port;
};

class DevsimCellMonitor : public ::testing::Test {
protected:
    void SetUp() override {
        sim.reset(new Devsim({"bod800"}));
        ASSERT_TRUE(sim->Ready()) << sim->Text();
        pts = sim->Field(0, "pts");
        ASSERT_FALSE(pts.empty()) << sim->Text();
    }
    void TearDown() override { sim.reset(); }

    std::unique_ptr<Devsim> sim;
    std::string pts;
};

const char kRtuLink[] = "-m rtu -b 9600 -P none -d 8 -s 1";

// mbpoll: one run per request (the options of the link, the device last, then any value to
// write); the values it prints ("[0]: 51") or its message for the exception.
std::string Mbpoll(const std::string& link, const std::string& device, const Request& q) {
    const bool write = !strcmp(q.what, "write");
    const char* table = !strcmp(q.what, "input") ? "3" : !strcmp(q.what, "coil") ? "0" : "4";
    std::string cmd = "timeout 20 mbpoll -q " + link + " -a 1 -0 -t " + table + " -r " + std::to_string(q.first);
    cmd += write ? " " + device + " 5" : " -c " + std::to_string(q.count) + " -1 " + device;
    Ran r = Shell(cmd);
    const char* exceptions[] = {"Illegal function", "Illegal data address", "Illegal data value"};
    for (int code = 1; code <= 3; code++)
        if (r.out.find(exceptions[code - 1]) != std::string::npos) return "exception " + std::to_string(code);
    if (r.rc != 0) return "mbpoll exit " + std::to_string(r.rc) + ": " + r.out;
    if (write) return "written";
    const std::regex value("\\[\\d+\\]:\\s+(-?\\d+)");
    int n = 0;
    std::string first;
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), value); it != std::sregex_iterator(); ++it)
        if (n++ == 0) first = (*it)[1];
    return "read " + std::to_string(n) + ", first " + first;
}

TEST_F(DevsimModbus, MbpollGetsExceptionTwoForAnAddressTheDeviceLacks) {
    if (Shell("command -v mbpoll").rc != 0) GTEST_SKIP() << "mbpoll is not installed";
    for (const auto& c : kSensorCases) {
        SCOPED_TRACE(std::string(c.request.what) + " " + std::to_string(c.request.first) + ":" +
                     std::to_string(c.request.count));
        EXPECT_EQ(c.rtu, Mbpoll(kRtuLink, pts, c.request)) << "RTU on " << pts;
        EXPECT_EQ(c.tcp, Mbpoll("-m tcp -p " + port, "127.0.0.1", c.request)) << "TCP on port " << port;
    }
}

// pymodbus's clients: every request in one run per link, one answer a line.
const char kPymodbus[] = R"(
import sys
from pymodbus.client import ModbusSerialClient, ModbusTcpClient
kind, where = sys.argv[1], sys.argv[2]
if kind == "tcp":
    client = ModbusTcpClient("127.0.0.1", port=int(where), timeout=3)
else:
    client = ModbusSerialClient(method="rtu", port=where, baudrate=9600, parity="N", timeout=3)
if not client.connect():
    sys.exit("no connection to " + where)
for q in sys.argv[3:]:
    what, first, count = q.split(":")
    first, count = int(first), int(count)
    if what == "write":
        r = client.write_register(first, 5, slave=1)
    else:
        read = {"input": client.read_input_registers, "holding": client.read_holding_registers,
                "coil": client.read_coils}[what]
        r = read(first, count, slave=1)
    if r.isError():
        print("exception %s" % getattr(r, "exception_code", r))
    elif what == "write":
        print("written")
    else:
        values = r.registers if what != "coil" else [int(b) for b in r.bits[:count]]
        print("read %d, first %d" % (len(values), values[0]))
client.close()
)";

std::vector<std::string> Pymodbus(const std::string& kind, const std::string& where,
                                  const std::vector<Request>& requests) {
    std::string args;
    for (const Request& q : requests)
        args += std::string(" ") + q.what + ":" + std::to_string(q.first) + ":" + std::to_string(q.count);
    char tmpl[] = "/tmp/qx-pymodbus-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0 || write(fd, kPymodbus, sizeof kPymodbus - 1) != (ssize_t)(sizeof kPymodbus - 1)) return {"no script"};
    close(fd);
    Ran r = Shell("timeout 60 /usr/bin/python3 " + std::string(tmpl) + " " + kind + " " + where + args);
    unlink(tmpl);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (r.rc != 0) lines.push_back("python exit " + std::to_string(r.rc));
    return lines;
}

bool HavePymodbus() {
    return Shell("/usr/bin/python3 -c 'import pymodbus.client'").rc == 0;
}
const char kNoPymodbus[] = "python3-pymodbus (with python3-serial-asyncio) is not installed";

TEST_F(DevsimModbus, PymodbusGetsExceptionTwoForAnAddressTheDeviceLacks) {
    if (!HavePymodbus()) GTEST_SKIP() << kNoPymodbus;
    std::vector<Request> requests;
    std::vector<std::string> wantRtu, wantTcp;
    for (const auto& c : kSensorCases) {
        requests.push_back(c.request);
        wantRtu.push_back(c.rtu);
        wantTcp.push_back(c.tcp);
    }
    std::vector<std::string> rtu = Pymodbus("rtu", pts, requests), tcp = Pymodbus("tcp", port, requests);
    EXPECT_EQ(wantRtu, rtu) << "RTU on " << pts;
    EXPECT_EQ(wantTcp, tcp) << "TCP on port " << port;
}

TEST_F(DevsimCellMonitor, MbpollGetsExceptionOneForAFunctionTheMonitorLacks) {
    if (Shell("command -v mbpoll").rc != 0) GTEST_SKIP() << "mbpoll is not installed";
    for (const auto& c : kCellMonitorCases) {
        SCOPED_TRACE(std::string(c.request.what) + " " + std::to_string(c.request.first) + ":" +
                     std::to_string(c.request.count));
        EXPECT_EQ(c.rtu, Mbpoll(kRtuLink, pts, c.request)) << "RTU on " << pts;
    }
}

TEST_F(DevsimCellMonitor, PymodbusGetsExceptionOneForAFunctionTheMonitorLacks) {
    if (!HavePymodbus()) GTEST_SKIP() << kNoPymodbus;
    std::vector<Request> requests;
    std::vector<std::string> want;
    for (const auto& c : kCellMonitorCases) {
        requests.push_back(c.request);
        want.push_back(c.rtu);
    }
    EXPECT_EQ(want, Pymodbus("rtu", pts, requests)) << "RTU on " << pts;
}

}  // namespace
