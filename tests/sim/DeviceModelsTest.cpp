// Simulated devices' own rules, without a transport: the Modbus exception codes of the
// BOD-800 cell monitor, what the UPS simulators record of a long run, and the Q1 status reply
// of a UPS at rest and in trouble.
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "BattMonitor.h"
#include "EdxUps.h"
#include "ModbusSlave.h"
#include "Q1Ups.h"
#include "RecentLog.h"
#include "Ups9EBlock.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace {

using namespace qxsim;

Bytes WithCrc(Bytes b) {
    const uint16_t crc = ModbusSlave::Crc16(b.data(), b.size());
    b.push_back((uint8_t)crc);
    b.push_back((uint8_t)(crc >> 8));
    return b;
}

TEST(Bod800Model, AnswersItsCellReadsAndRefusesTheRestWithTheirExceptionCodes) {
    // Unit 1, cell 0: status 0, 12.0 V, 25.0 C; cell 127 the last one.
    struct Case {
        const char* request;  // without its CRC
        const char* answer;   // without its CRC; "" for none
        const char* what;
    } cases[] = {
        {"01 04 00 80 00 03", "01 04 06 00 78 00 FA 00 00", "cell 0"},
        {"01 04 00 FF 00 03", "01 04 06 00 00 00 00 00 00", "cell 127"},
        {"01 03 00 80 00 03", "01 83 01", "holding registers: no such function"},
        {"01 01 00 00 00 01", "01 81 01", "coils: no such function"},
        {"01 06 00 80 00 05", "01 86 01", "a register write: no such function"},
        {"01 10 00 80 00 01 02 00 05", "01 90 01", "a write of registers: no such function"},
        {"01 04 00 7F 00 03", "01 84 02", "below the first cell"},
        {"01 04 01 00 00 03", "01 84 02", "past the last cell"},
        {"01 04 00 80 00 02", "01 84 02", "part of a cell"},
        {"01 04 00 80 00 00", "01 84 03", "no register"},
        {"01 04 00 80 00 7E", "01 84 03", "more registers than Modbus reads"},
        {"02 04 00 80 00 03", "", "another unit"},
    };
    Bod800 bod(1);
    bod.SetHealthy(1);
    for (const Case& c : cases) {
        const Bytes want = *c.answer ? WithCrc(Hex(c.answer)) : Bytes();
        EXPECT_EQ(ToHex(want), ToHex(bod.Answer(WithCrc(Hex(c.request)), Fault::None))) << c.what;
    }
    Bytes corrupt = WithCrc(Hex("01 04 00 80 00 03"));
    corrupt.back() ^= 0x01;
    EXPECT_TRUE(bod.Answer(corrupt, Fault::None).empty()) << "a request whose CRC is wrong";
    EXPECT_EQ(ToHex(WithCrc(Hex("01 84 04"))),
              ToHex(bod.Answer(WithCrc(Hex("01 04 00 80 00 03")), Fault::Exception)))
        << "the exception fault: a device failure";
}

TEST(Bod800Model, ALineOfRequestsIsCutByTheirFunctions) {
    // A write of registers is longer than a read: it is one request, refused as a whole, and
    // the read after it is answered.
    Bod800 bod(1);
    bod.SetHealthy(1);
    Device device;
    bod.Serve(device);
    Bytes line = WithCrc(Hex("01 10 00 80 00 01 02 00 05"));
    const Bytes read = WithCrc(Hex("01 04 00 80 00 03"));
    line.insert(line.end(), read.begin(), read.end());
    std::vector<std::vector<Chunk>> answers;
    device.Feed(line, answers);
    std::vector<std::string> got;
    for (const auto& answer : answers)
        for (const Chunk& c : answer) got.push_back(ToHex(c.data));
    EXPECT_EQ((std::vector<std::string>{ToHex(WithCrc(Hex("01 90 01"))),
                                        ToHex(WithCrc(Hex("01 04 06 00 78 00 FA 00 00")))}),
              got);
    EXPECT_TRUE(line.empty());
}

TEST(SimulatorLogs, ALongRunKeepsTheLatestRequestsInOrder) {
    // Three times as many requests as are kept, for identifiers that run through every byte.
    const size_t kept = RecentLog<uint8_t>::kKept;
    const size_t sent = 3 * kept + 7;
    Ups9EBlock block;
    EdxUps edx;
    for (size_t i = 0; i < sent; i++) {
        const Bytes frame = EdxUps::Request((uint8_t)i);  // the 9E block frame is the same
        block.Answer(frame);
        edx.Answer(frame);
    }
    std::vector<uint8_t> latest;
    for (size_t i = sent - kept; i < sent; i++) latest.push_back((uint8_t)i);
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>()> seen;
    } cases[] = {
        {"9E block identifiers", [&] { return block.Identifiers(); }},
        {"9E block requests",
         [&] {
             std::vector<uint8_t> ids;
             for (const Bytes& r : block.Received()) ids.push_back(r.size() > 4 ? r[4] : 0);
             return ids;
         }},
        {"EDX identifiers", [&] { return edx.Asked(); }},
    };
    for (const Case& c : cases) EXPECT_EQ(latest, c.seen()) << c.what;
}

// The request logs every device keeps (the generic device's, the Modbus slave's, the YD/T
// device's) hold the latest requests in order and count them all, so that a simulator left
// running for hours stays bounded.
TEST(SimulatorLogs, EveryDevicesRequestLogKeepsTheLatestAndCountsThemAll) {
    const size_t kept = 4096;
    const size_t sent = 2 * kept + 5;
    Device dev;
    dev.SetResponder([](const Bytes&, Fault, Reply&) { return false; });
    ModbusSlave slave(1);
    slave.ServeHolding(0, 1);
    YdtDevice ydt(1, 0x2A, 0x21);
    for (size_t i = 0; i < sent; i++) {
        dev.Answer(Bytes{(uint8_t)i, (uint8_t)(i >> 8)});
        const Bytes read = WithCrc(Bytes{1, 3, 0, 0, 0, 1});
        slave.HandleRtu(read.data(), read.size());
        ydt.Handle(std::string("~21012A42E00200FD") + std::to_string(i) + "\r");
    }
    const std::vector<Bytes> devSeen = dev.Requests();
    EXPECT_EQ(sent, dev.RequestCount());
    ASSERT_EQ(kept, devSeen.size());
    EXPECT_EQ((Bytes{(uint8_t)(sent - kept), (uint8_t)((sent - kept) >> 8)}), devSeen.front());
    EXPECT_EQ((Bytes{(uint8_t)(sent - 1), (uint8_t)((sent - 1) >> 8)}), devSeen.back());
    EXPECT_EQ(devSeen.back(), dev.LastRequest());
    EXPECT_TRUE(dev.WaitRequests(sent, 0));  // waits count every request, not the kept ones

    EXPECT_EQ(sent, slave.RequestCount());
    EXPECT_EQ(kept, slave.Requests().size());

    const std::vector<std::string> ydtSeen = ydt.Requests();
    ASSERT_EQ(kept, ydtSeen.size());
    EXPECT_EQ("~21012A42E00200FD" + std::to_string(sent - kept), ydtSeen.front());
    EXPECT_EQ("~21012A42E00200FD" + std::to_string(sent - 1), ydtSeen.back());

    dev.ClearLog();
    EXPECT_EQ(0u, dev.RequestCount());
    EXPECT_TRUE(dev.Requests().empty());
}

TEST(Q1StatusModel, RepliesAtRestAndInEachAlarmState) {
    // At rest: the reply a sound Q1 unit gives (as the sound site polls it); in trouble the
    // bits and readings of the state, in the same field widths.
    struct Case {
        int state;
        const char* reply;
    } cases[] = {
        {0, "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001000\r"},
        {1, "(000.0 000.0 220.0 045 50.0 1.75 42.0 11001001\r"},
        {2, "(230.0 000.0 230.0 095 50.0 2.25 45.0 00111001\r"},
    };
    for (const Case& c : cases) {
        Q1Status s;
        AlarmQ1Status(s, c.state);
        EXPECT_EQ(c.reply, s.Text()) << c.state;
    }
}

}  // namespace
