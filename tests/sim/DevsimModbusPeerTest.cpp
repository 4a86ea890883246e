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

// What a master made of one request.
struct Case {
    Request request;
    const char* answer;
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
// 128 + the cell, read with function 4 and no other.
const Case kCellMonitorCases[] = {
    {{"input", 128, 3}, "read 3, first 120"},
    {{"input", 129, 3}, "read 3, first 121"},
    {{"holding", 128, 3}, "exception 1"},
    {{"coil", 0, 1}, "exception 1"},
    {{"write", 128, 1}, "exception 1"},
    {{"input", 300, 3}, "exception 2"},
    {{"input", 128, 2}, "exception 2"},
};

// One device on one link: how each master reaches it, and what its requests get.
struct Link {
    std::string what;
    std::string mbpollLink, mbpollDevice;  // mbpoll's options and device
    std::string kind, where;               // pymodbus's: "rtu" and a terminal, "tcp" and a port
    std::vector<Case> cases;
};

class DevsimModbus : public ::testing::Test {
protected:
    void SetUp() override {
        sensor.reset(new Devsim({"--mark", "0", "modbus-th", "modbus-th:tcp"}));
        ASSERT_TRUE(sensor->Ready()) << sensor->Text();
        monitor.reset(new Devsim({"bod800"}));
        ASSERT_TRUE(monitor->Ready()) << monitor->Text();
        const std::string pts = sensor->Field(0, "pts"), tcp = sensor->Field(1, "tcp");
        const std::string port = tcp.substr(tcp.rfind(':') + 1), cells = monitor->Field(0, "pts");
        ASSERT_FALSE(pts.empty() || port.empty() || cells.empty()) << sensor->Text() << monitor->Text();
        const std::string rtu = "-m rtu -b 9600 -P none -d 8 -s 1";
        Link sensorRtu{"sensor, RTU on " + pts, rtu, pts, "rtu", pts, {}};
        Link sensorTcp{"sensor, TCP on port " + port, "-m tcp -p " + port, "127.0.0.1", "tcp", port, {}};
        for (const auto& c : kSensorCases) {
            sensorRtu.cases.push_back({c.request, c.rtu});
            sensorTcp.cases.push_back({c.request, c.tcp});
        }
        Link cellMonitor{"cell monitor, RTU on " + cells, rtu, cells, "rtu", cells,
                         std::vector<Case>(std::begin(kCellMonitorCases), std::end(kCellMonitorCases))};
        links = {sensorRtu, sensorTcp, cellMonitor};
    }
    void TearDown() override {
        sensor.reset();
        monitor.reset();
    }

    std::unique_ptr<Devsim> sensor, monitor;
    std::vector<Link> links;
};

std::string Named(const Request& q) {
    return std::string(q.what) + " " + std::to_string(q.first) + ":" + std::to_string(q.count);
}

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

TEST_F(DevsimModbus, MbpollGetsTheExceptionOfTheDevicesRule) {
    if (Shell("command -v mbpoll").rc != 0) GTEST_SKIP() << "mbpoll is not installed";
    for (const Link& l : links)
        for (const Case& c : l.cases)
            EXPECT_EQ(c.answer, Mbpoll(l.mbpollLink, l.mbpollDevice, c.request)) << l.what << ": " << Named(c.request);
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

TEST_F(DevsimModbus, PymodbusGetsTheExceptionOfTheDevicesRule) {
    if (Shell("/usr/bin/python3 -c 'import pymodbus.client'").rc != 0)
        GTEST_SKIP() << "python3-pymodbus (with python3-serial-asyncio) is not installed";
    for (const Link& l : links) {
        std::vector<Request> requests;
        std::vector<std::string> want;
        for (const Case& c : l.cases) {
            requests.push_back(c.request);
            want.push_back(c.answer);
        }
        EXPECT_EQ(want, Pymodbus(l.kind, l.where, requests)) << l.what;
    }
}

}  // namespace
