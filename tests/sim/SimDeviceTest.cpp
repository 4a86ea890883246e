// The device simulator library: framing, table answers and fault injection (without a
// transport), and the pseudo-terminal transport from the port's side.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "PtySim.h"
#include "SimDevice.h"
#include "gtest/gtest.h"

namespace {

using namespace qxsim;

TEST(SimBytes, HexTextRoundTrips) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"01 03 0a ff", "01 03 0A FF"}, {"0103", "01 03"}, {"", ""},
        {"7e 3", "7E"},  // an odd digit is left out
        {"12 zz 34", "12"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.out, ToHex(Hex(c.in))) << c.in;
    EXPECT_EQ("51 31 0D", ToHex(Text("Q1\r")));
}

// The answer a device gives to one request, as the bytes of each piece.
std::vector<std::string> AnswerOf(Device& d, const Bytes& request) {
    std::vector<std::string> out;
    for (const Chunk& c : d.Answer(request)) out.push_back(ToHex(c.data));
    return out;
}
using Pieces = std::vector<std::string>;

TEST(SimDevice, TableAnswersExactRequests) {
    Device d;
    d.SetTable(Table().Add("Q1\r", "(OK\r").Add(Hex("01 02"), Hex("03 04"), 250));
    EXPECT_EQ(Pieces{"28 4F 4B 0D"}, AnswerOf(d, Text("Q1\r")));
    EXPECT_EQ(Pieces{}, AnswerOf(d, Text("Q1")));  // no row: no answer
    auto chunks = d.Answer(Hex("01 02"));
    ASSERT_EQ(1u, chunks.size());
    EXPECT_EQ(250, chunks[0].delayMs);
    d.SetDelay(40);
    EXPECT_EQ(40, d.Answer(Text("Q1\r"))[0].delayMs);
    d.SetTable(Table().Add("A", "B").Otherwise(Hex("EE")));
    EXPECT_EQ(Pieces{"EE"}, AnswerOf(d, Text("zzz")));
    EXPECT_EQ(5u, d.RequestCount());
    EXPECT_EQ("7A 7A 7A", ToHex(d.LastRequest()));
}

TEST(SimDevice, FaultsShapeTheNextAnswers) {
    const Bytes answer = Hex("01 03 04 00 0A 00 0B 5A 31");
    struct Case {
        Fault fault;
        size_t shortLength;
        Pieces pieces;
    } cases[] = {
        {Fault::None, 0, {"01 03 04 00 0A 00 0B 5A 31"}},
        {Fault::Silence, 0, {}},
        {Fault::Short, 0, {"01 03 04 00"}},
        {Fault::Short, 3, {"01 03 04"}},
        {Fault::Short, 50, {"01 03 04 00 0A 00 0B 5A"}},  // never the whole answer
        {Fault::Split, 0, {"01 03 04 00", "0A 00 0B 5A 31"}},
        {Fault::BadCheck, 0, {"01 03 04 00 0A 00 0B 5A CE"}},
        {Fault::Exception, 0, {"01 03 04 00 0A 00 0B 5A 31"}},  // only a protocol knows one
    };
    for (const Case& c : cases) {
        Device d;
        d.SetTable(Table().Add(Hex("AA"), answer));
        d.SetShortLength(c.shortLength);
        d.InjectFault(c.fault);
        EXPECT_EQ(c.pieces, AnswerOf(d, Hex("AA"))) << (int)c.fault;
        EXPECT_EQ(Pieces{ToHex(answer)}, AnswerOf(d, Hex("AA"))) << "only once";
    }
}

TEST(SimDevice, GarbageKeepsTheLengthButNotTheBytes) {
    Device d;
    d.SetTable(Table().Add(Hex("AA"), Hex("01 03 02 00 FA 38 07")).Add(Hex("BB"), Bytes()));
    d.InjectFault(Fault::Garbage, 2);
    Pieces a = AnswerOf(d, Hex("AA"));
    ASSERT_EQ(1u, a.size());
    EXPECT_EQ(ToHex(Hex("01 03 02 00 FA 38 07")).size(), a[0].size());
    EXPECT_NE("01 03 02 00 FA 38 07", a[0]);
    EXPECT_EQ(8u, d.Answer(Hex("BB"))[0].data.size());  // noise where there was no answer
    EXPECT_EQ(Pieces{}, AnswerOf(d, Hex("BB")));
}

TEST(SimDevice, FaultCountsAndResponderHandledFaults) {
    Device d;
    std::vector<Fault> seen;
    d.SetResponder([&](const Bytes& req, Fault f, Reply& r) {
        seen.push_back(f);
        r.data = req;
        if (f == Fault::Exception) {  // a protocol's own form of the fault
            r.data = Hex("01 83 02");
            r.faultDone = true;
        }
        return true;
    });
    d.InjectFault(Fault::Silence, 2);
    EXPECT_EQ(Pieces{}, AnswerOf(d, Hex("01")));
    EXPECT_EQ(Pieces{}, AnswerOf(d, Hex("01")));
    EXPECT_EQ(Pieces{"01"}, AnswerOf(d, Hex("01")));
    d.InjectFault(Fault::Exception, -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Pieces{"01 83 02"}, AnswerOf(d, Hex("01")));
    d.ClearFaults();
    EXPECT_EQ(Pieces{"01"}, AnswerOf(d, Hex("01")));
    EXPECT_EQ((std::vector<Fault>{Fault::Silence, Fault::Silence, Fault::None, Fault::Exception,
                                  Fault::Exception, Fault::Exception, Fault::None}),
              seen);
}

TEST(SimDevice, FramersCutTheStreamIntoRequests) {
    Device d;
    d.SetTable(Table().Add("A\r", "1").Add("B\r", "2"));
    d.SetFramer(FrameByTerminator('\r'));
    Bytes pending = Text("A\rB\rA");
    std::vector<std::vector<Chunk>> answers;
    d.Feed(pending, answers);
    EXPECT_EQ(2u, answers.size());
    EXPECT_EQ("41", ToHex(pending));  // the incomplete third request waits
    d.Quiet(pending, answers);        // and is dropped when the line stays quiet
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(2u, d.RequestCount());

    Device f;
    f.SetFramer(FrameByLength(3));
    pending = Hex("01 02 03 04 05 06 07");
    answers.clear();
    f.Feed(pending, answers);
    EXPECT_EQ(2u, f.RequestCount());
    EXPECT_EQ("07", ToHex(pending));

    Device q;  // no framer: the quiet line ends the request
    pending = Hex("01 02 03");
    answers.clear();
    q.Feed(pending, answers);
    EXPECT_EQ(0u, q.RequestCount());
    q.Quiet(pending, answers);
    EXPECT_EQ("01 02 03", ToHex(q.LastRequest()));
}

// ---------------------------------------------------------------- pseudo-terminal transport

struct Port {
    explicit Port(const std::string& path) {
        fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        struct termios tio;
        if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~Port() {
        if (fd >= 0) close(fd);
    }
    void Put(const Bytes& b) { ASSERT_EQ((ssize_t)b.size(), write(fd, b.data(), b.size())); }
    // Whatever arrives until the line has been quiet for quietMs.
    Bytes Get(int quietMs = 300) {
        Bytes out;
        uint8_t buf[256];
        struct pollfd p = {fd, POLLIN, 0};
        while (poll(&p, 1, quietMs) > 0) {
            ssize_t n = read(fd, buf, sizeof(buf));
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    int fd;
};

TEST(PtySim, AnswersThroughTheTerminalAndSurvivesReopening) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    EXPECT_GE(sim.Number(), 0);
    EXPECT_EQ("/dev/pts/" + std::to_string(sim.Number()), sim.Path());
    EXPECT_EQ("pts/" + std::to_string(sim.Number()) + ":4800,E,7,1", sim.Definition("4800,E,7,1"));
    sim.SetFramer(FrameByTerminator('\r'));
    sim.SetTable(Table().Add("Q1\r", "(230.0\r"));
    for (int round = 0; round < 3; ++round) {
        Port port(sim.Path());
        ASSERT_GE(port.fd, 0);
        port.Put(Text("Q1\r"));
        EXPECT_EQ("(230.0\r", [&] { Bytes b = port.Get(); return std::string(b.begin(), b.end()); }())
            << "round " << round;
    }
    EXPECT_EQ(3u, sim.AnswerCount());
}

TEST(PtySim, UnsolicitedBytesAndSplitAnswers) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    Port port(sim.Path());
    ASSERT_TRUE(sim.Send(Text("RING\r\n")));
    EXPECT_EQ("52 49 4E 47 0D 0A", ToHex(port.Get()));

    sim.SetTable(Table().Add(Hex("01"), Hex("0A 0B 0C 0D")));
    sim.SetSplitGap(150);
    sim.InjectFault(Fault::Split);
    port.Put(Hex("01"));
    EXPECT_EQ("0A 0B", ToHex(port.Get(100)));  // the second half is not there yet
    EXPECT_EQ("0C 0D", ToHex(port.Get()));
}

TEST(PtySim, RunningSimulatorsEndInDifferentDigits) {
    // Hold ten terminals, start one simulator after them, then free the held terminal that
    // ends in the same digit: the lowest free number is now that one, and the next
    // simulator must pass it by.
    int held[10];
    for (int& fd : held) fd = posix_openpt(O_RDWR | O_NOCTTY);
    PtySim first;
    ASSERT_TRUE(first.Start());
    int digit = first.Number() % 10;
    for (int& fd : held) {
        unsigned int n = 0;
        if (fd >= 0 && ioctl(fd, TIOCGPTN, &n) == 0 && (int)n % 10 == digit) {
            close(fd);
            fd = -1;
        }
    }
    PtySim second, third;
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(third.Start());
    EXPECT_NE(digit, second.Number() % 10);
    EXPECT_NE(digit, third.Number() % 10);
    EXPECT_NE(second.Number() % 10, third.Number() % 10);
    first.Stop();
    PtySim fourth;  // the digit is free again once its simulator stops
    ASSERT_TRUE(fourth.Start());
    for (int fd : held)
        if (fd >= 0) close(fd);
}

TEST(PtySim, StopDoesNotWaitForADelayedAnswer) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    sim.SetTable(Table().Add(Hex("01"), Hex("02"), 60000));
    Port port(sim.Path());
    port.Put(Hex("01"));
    ASSERT_TRUE(sim.WaitRequests(1, 5000));
    auto t0 = std::chrono::steady_clock::now();
    sim.Stop();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 30.0);
    EXPECT_FALSE(sim.Running());
    EXPECT_EQ(0u, sim.AnswerCount());
}

}  // namespace
