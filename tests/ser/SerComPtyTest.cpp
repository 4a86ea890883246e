// The serial channel against a simulated device behind a pseudo-terminal: opening and
// configuring the terminal, exchanges, the read loop's waits, purging and closing.
#include <fcntl.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "PtySim.h"
#include "SerCom.h"
#include "SerTestUtil.h"
#include "gtest/gtest.h"

namespace {

using qxsim::Bytes;
using qxsim::Fault;
using qxsim::Hex;
using Clock = std::chrono::steady_clock;

struct PtyFixture : ::testing::Test {
    void SetUp() override {
        if (!sim.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        def = sertest::PtyDefinition(sim, dir, cwd);
        ASSERT_FALSE(def.empty());
        ch.reset(new CSerCom(def.c_str()));
    }
    // Opens the channel; a device that answers at once is given time to do so before Read.
    void Open() { ASSERT_EQ(1, ch->Open(nullptr)) << def; }
    int Pending() {
        int n = -1;
        ioctl(ch->GetHandle(), FIONREAD, &n);
        return n;
    }
    bool WaitPending(int n) {
        for (int i = 0; i < 200 && Pending() < n; ++i) usleep(10000);
        return Pending() >= n;
    }
    // Purges, asks "R\r" of a device that answers `answer`, and waits until the whole answer
    // is in the channel's input queue.
    void Ask(const char* answer) {
        sim.SetTable(qxsim::Table().Add(qxsim::Text("R\r"), Hex(answer)));
        ASSERT_EQ(1, ch->Purge());
        sim.ClearLog();
        ASSERT_EQ(2, ch->Write((const unsigned char*)"R\r"));
        ASSERT_TRUE(sim.WaitAnswers(1, 5000));
        ASSERT_TRUE(WaitPending((int)Hex(answer).size()));
    }
    Bytes ReadBytes(int length, int timeout) {
        unsigned char buf[256] = {};
        int n = ch->Read(buf, length, timeout);
        return n < 0 ? Bytes() : Bytes(buf, buf + n);
    }

    sertest::TempDir dir;
    sertest::ScopedCwd cwd;
    qxsim::PtySim sim;
    std::string def;
    std::unique_ptr<CSerCom> ch;
};

TEST_F(PtyFixture, OpensTheTerminalRawWithTheDefinitionsLineSettings) {
    // A pseudo-terminal always reports eight bits without a parity bit, so the character
    // size and PARENB cannot be seen here; everything else the channel sets can.
    struct Case {
        const char* line;
        speed_t speed;
        int odd;  // -1: no parity, so PARODD means nothing
        bool check, twoStops;
    } cases[] = {
        {"9600,N,8,1", B9600, -1, false, false},
        {"300,M,8,1", B115200, -1, false, false},  // unknown rate; mark runs without parity
        {"4800,E,7,2", B4800, 0, true, true},
        {"230400,O,6,1", B230400, 1, true, false},
        {"1200,S,5,1.5", B1200, -1, false, false},  // space, too, runs without parity
        {"57600,n,9,2", B57600, -1, false, true},
    };
    for (const Case& c : cases) {
        std::string d = sertest::PtyDefinition(sim, dir, cwd, c.line);
        ASSERT_EQ(1, ch->Open(d.c_str())) << c.line;
        struct termios tio;
        ASSERT_EQ(0, tcgetattr(ch->GetHandle(), &tio));
        EXPECT_EQ(c.speed, cfgetospeed(&tio)) << c.line;
        EXPECT_EQ(c.speed, cfgetispeed(&tio)) << c.line;
        if (c.odd >= 0) {
            EXPECT_EQ(c.odd == 1, (tio.c_cflag & PARODD) != 0) << c.line;
        }
        EXPECT_EQ(c.check, (tio.c_iflag & INPCK) != 0) << c.line;
        EXPECT_EQ(c.twoStops, (tio.c_cflag & CSTOPB) != 0) << c.line;
        EXPECT_TRUE(tio.c_cflag & CLOCAL);
        EXPECT_TRUE(tio.c_cflag & CREAD);
        EXPECT_FALSE(tio.c_cflag & CRTSCTS);
        EXPECT_EQ(0u, tio.c_lflag & (ICANON | ECHO | ECHOE | ISIG)) << c.line;
        EXPECT_EQ(0u, tio.c_iflag & (IXON | IXOFF | IXANY | INLCR | IGNCR | ICRNL)) << c.line;
        EXPECT_EQ(0u, tio.c_oflag & (OPOST | ONLCR | OCRNL)) << c.line;
        EXPECT_EQ(2, tio.c_cc[VTIME]);
        EXPECT_EQ(0, tio.c_cc[VMIN]);
        // Reads and writes block (within VTIME).
        EXPECT_EQ(0, fcntl(ch->GetHandle(), F_GETFL) & O_NONBLOCK);
        EXPECT_EQ(1, ch->Close());
    }
}

TEST_F(PtyFixture, WritesReachTheDevice) {
    Open();
    const Bytes req = Hex("01 03 00 00 00 02 C4 0B");
    EXPECT_EQ(8, ch->Write(req.data(), (int)req.size()));
    ASSERT_TRUE(sim.WaitRequests(1, 5000));
    EXPECT_EQ(qxsim::ToHex(req), qxsim::ToHex(sim.LastRequest()));

    // A text goes without its terminator; an empty one writes nothing.
    EXPECT_EQ(3, ch->Write((const unsigned char*)"Q1\r"));
    ASSERT_TRUE(sim.WaitRequests(2, 5000));
    const Bytes last = sim.LastRequest();
    EXPECT_EQ("Q1\r", std::string(last.begin(), last.end()));
    EXPECT_EQ(0, ch->Write((const unsigned char*)""));
    EXPECT_EQ(-1, ch->Write(nullptr, 3));
    EXPECT_EQ(-1, ch->Write(req.data(), -1));
}

TEST_F(PtyFixture, ReadsTheAnswerAndDropsOneLeadingZeroByte) {
    struct Case {
        const char* answer;
        int length;
        const char* got;
    } cases[] = {
        {"01 03 04 00 FA 01 C2 5B 99", 9, "01 03 04 00 FA 01 C2 5B 99"},
        {"00 41 42 43", 4, "41 42 43"},        // a leading 0x00 is line noise
        {"00 00 41", 3, "00 41"},              // only the first byte is dropped
        {"00", 1, ""},
        {"41 42 43 44 45 46", 4, "41 42 43 44"},  // the rest stays for the next read
        {"7E", 1, "7E"},
        {"00 7E", 1, "7E"},
    };
    Open();
    sim.SetFramer(qxsim::FrameByTerminator('\r'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ASSERT_NO_FATAL_FAILURE(Ask(c.answer));
        EXPECT_EQ(c.got, qxsim::ToHex(ReadBytes(c.length, 0)));
        if (strcmp(c.answer, "41 42 43 44 45 46") == 0) {
            EXPECT_EQ("45 46", qxsim::ToHex(ReadBytes(8, 0)));
        }
    }
}

TEST_F(PtyFixture, ZeroBytesAfterTheFirstByteOfAReplyAreKeptWhateverTheReadSize) {
    // A reply gathered a piece at a time (a picture in 1024-byte reads, a frame head and then
    // its rest): only the byte that opens the reply can be line noise.
    struct Case {
        const char* answer;
        int piece;
        const char* got;
    } cases[] = {
        {"41 00 42 00 00 43", 1, "41 00 42 00 00 43"},
        {"41 42 00 43 44 00", 2, "41 42 00 43 44 00"},
        {"00 00 41 00", 1, "00 41 00"},  // the opening zero alone is dropped
        {"7E 00", 1, "7E 00"},
    };
    Open();
    sim.SetFramer(qxsim::FrameByTerminator('\r'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ASSERT_NO_FATAL_FAILURE(Ask(c.answer));
        Bytes got;
        for (int i = 0; i < 16; ++i) {
            Bytes piece = ReadBytes(c.piece, 0);
            if (piece.empty()) break;
            got.insert(got.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(c.got, qxsim::ToHex(got));
    }
}

TEST_F(PtyFixture, PurgeLetsBytesAlreadyWrittenGoOut) {
    // An acknowledgement written just before the next transaction's purge still reaches the
    // device, every time.
    Open();
    const int kAcks = 40;
    for (int i = 0; i < kAcks; ++i) {
        ASSERT_EQ(1, ch->Write(Hex("06").data(), 1));
        ASSERT_EQ(1, ch->Purge());
    }
    size_t seen = 0;
    for (int i = 0; i < 300 && seen < (size_t)kAcks; ++i) {
        usleep(10000);
        seen = 0;
        for (const Bytes& r : sim.Requests()) {
            for (unsigned char b : r) {
                EXPECT_EQ(0x06, b);
                ++seen;
            }
        }
    }
    EXPECT_EQ((size_t)kAcks, seen);
}

TEST_F(PtyFixture, AnswerSplitInTwoWritesIsReadWhole) {
    Open();
    sim.SetTable(qxsim::Table().Add(Hex("01 04"), Hex("01 04 02 01 2C B8 09")));
    sim.SetSplitGap(50);
    sim.InjectFault(Fault::Split);
    ASSERT_EQ(2, ch->Write(Hex("01 04").data(), 2));
    EXPECT_EQ("01 04 02 01 2C B8 09", qxsim::ToHex(ReadBytes(7, 1000)));
}

TEST_F(PtyFixture, SilentDeviceCostsTwoShortWaits) {
    Open();
    unsigned char buf[8];
    auto t0 = Clock::now();
    EXPECT_EQ(0, ch->Read(buf, 8, 0));
    double took = sertest::SecondsSince(t0);
    // Two reads of at most 0.2 s each; bounds left wide for a loaded machine.
    EXPECT_GE(took, 0.3);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(1, ch->IsOpened());
}

TEST_F(PtyFixture, TimeoutInSecondsBuysMoreReadsThroughEmptyOnes) {
    Open();
    sim.SetTable(qxsim::Table().Add(Hex("AA"), Hex("55 01 02")));
    unsigned char buf[8];

    // Three retries: four reads in all, about 0.8 s, however silent the device.
    auto t0 = Clock::now();
    EXPECT_EQ(0, ch->Read(buf, 3, 3000));
    double took = sertest::SecondsSince(t0);
    EXPECT_GE(took, 0.7);
    EXPECT_LT(took, 6.0);

    // An answer that comes after half a second is caught by the later reads...
    sim.SetDelay(500);
    ASSERT_EQ(1, ch->Write(Hex("AA").data(), 1));
    EXPECT_EQ("55 01 02", qxsim::ToHex(ReadBytes(3, 3000)));

    // ...but one that comes after 1.5 s is missed by a read without retries.
    sim.SetDelay(1500);
    ASSERT_EQ(1, ch->Write(Hex("AA").data(), 1));
    EXPECT_EQ(0, ch->Read(buf, 3, 0));
    ASSERT_TRUE(sim.WaitAnswers(2, 5000));
    EXPECT_EQ("55 01 02", qxsim::ToHex(ReadBytes(3, 3000)));
}

TEST_F(PtyFixture, ShortTimeOutWaitsThatLongForAByteInPlaceOfThePorts) {
    // A time-out below one second: what is there is read whole, across reads...
    Open();
    Ask("55 01 02 03");
    EXPECT_EQ("55 01 02 03", qxsim::ToHex(ReadBytes(4, 10)));

    // ...but an answer 300 ms away, which a read of the port's own waits would still catch, is
    // not waited for; the next read finds it.
    sim.SetTable(qxsim::Table().Add(Hex("AA"), Hex("55 01 02")));
    sim.SetDelay(300);
    ASSERT_EQ(1, ch->Write(Hex("AA").data(), 1));
    unsigned char buf[8];
    EXPECT_EQ(0, ch->Read(buf, 3, 10));
    ASSERT_TRUE(sim.WaitAnswers(2, 5000));
    ASSERT_TRUE(WaitPending(3));
    EXPECT_EQ("55 01 02", qxsim::ToHex(ReadBytes(3, 10)));
    EXPECT_EQ(1, ch->IsOpened());
}

TEST_F(PtyFixture, PurgeDiscardsPendingInput) {
    Open();
    ASSERT_TRUE(sim.Send(Hex("11 22 33 44")));
    ASSERT_TRUE(WaitPending(4));
    EXPECT_EQ(1, ch->Purge());
    EXPECT_EQ(0, Pending());
    unsigned char buf[4];
    EXPECT_EQ(0, ch->Read(buf, 4, 0));
}

TEST_F(PtyFixture, ClosedChannelRefusesEveryExchange) {
    unsigned char buf[4] = {1, 2, 3, 4};
    for (int round = 0; round < 2; ++round) {  // before the first Open, and after Close
        SCOPED_TRACE(round);
        EXPECT_EQ(0, ch->IsOpened());
        EXPECT_EQ(-1, ch->GetHandle());
        EXPECT_EQ(-1, ch->Read(buf, 4, 0));
        EXPECT_EQ(-1, ch->Write(buf, 4));
        EXPECT_EQ(-1, ch->Write((const unsigned char*)"AT\r"));
        EXPECT_EQ(0, ch->Purge());
        EXPECT_EQ(1, ch->Close());
        Open();
        EXPECT_EQ(1, ch->IsOpened());
        EXPECT_GE(ch->GetHandle(), 0);
        EXPECT_EQ(1, ch->Close());
    }
    EXPECT_EQ(0u, sim.RequestCount());
}

TEST_F(PtyFixture, ReadRefusesBadBuffersWithoutTouchingTheDevice) {
    Open();
    ASSERT_TRUE(sim.Send(Hex("41")));
    ASSERT_TRUE(WaitPending(1));
    unsigned char buf[2] = {0xEE, 0xEE};
    EXPECT_EQ(-1, ch->Read(nullptr, 4, 0));
    EXPECT_EQ(-1, ch->Read(buf, -1, 0));
    EXPECT_EQ(0, ch->Read(buf, 0, 0));  // room for nothing: nothing is read
    EXPECT_EQ(0xEE, buf[0]);
    EXPECT_EQ(1, Pending());
}

TEST_F(PtyFixture, ReopeningKeepsOneDescriptorAndTheDeviceAnswers) {
    sim.SetTable(qxsim::Table().Add(Hex("01"), Hex("02")));
    Open();
    int fds = sertest::OpenFdCount();
    Open();  // again while open: the old descriptor is given up
    Open();
    EXPECT_EQ(fds, sertest::OpenFdCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(1, ch->Close());
        Open();
        ASSERT_EQ(1, ch->Write(Hex("01").data(), 1));
        EXPECT_EQ("02", qxsim::ToHex(ReadBytes(1, 3000))) << "round " << i;
    }
    EXPECT_EQ(1, ch->Close());
    EXPECT_EQ(fds - 1, sertest::OpenFdCount());
}

TEST(SerComOpen, MissingDeviceOrNonTerminalFailsAndStaysClosed) {
    CSerCom missing("ttyQX9:9600,N,8,1");
    EXPECT_EQ(0, missing.Open(nullptr));
    EXPECT_EQ(0, missing.IsOpened());
    EXPECT_EQ(-1, missing.GetHandle());

    // Port 10 names the path \\.\COM10, relative to the working folder: a plain file
    // there opens but cannot be configured, and its descriptor is closed again.
    sertest::TempDir dir;
    sertest::ScopedCwd cwd;
    ASSERT_TRUE(cwd.Enter(dir.Path()));
    FILE* f = fopen("\\\\.\\COM10", "w");
    ASSERT_NE(nullptr, f);
    fclose(f);
    CSerCom ch(10);
    int fds = sertest::OpenFdCount();
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, ch.Open(nullptr));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("tcgetattr error"));
    EXPECT_EQ(0, ch.IsOpened());
    EXPECT_EQ(fds, sertest::OpenFdCount());
}

}  // namespace

// A device that goes away (the far end of its terminal closes, as a USB adapter unplugged)
// closes the channel's descriptor, and IsOpened opens the definition again once the device
// is back on its name: it answers again at once. An explicit Close is never undone.
TEST_F(PtyFixture, DeviceThatWentAwayIsOpenedAgainWhenItIsBack) {
    sim.SetTable(qxsim::Table().Add(Hex("01"), Hex("02")));
    Open();
    ASSERT_EQ(1, ch->Write(Hex("01").data(), 1));
    EXPECT_EQ("02", qxsim::ToHex(ReadBytes(1, 1000)));
    int handle = ch->GetHandle();
    int number = sim.Number();

    sim.Stop();
    // Gone: an exchange fails, the descriptor is given back, and while the device is
    // missing every test of the channel says so.
    unsigned char buf[4];
    bool failed = ch->Write(Hex("01").data(), 1) < 0;
    failed = ch->Read(buf, 1, 0) <= 0 || failed;
    EXPECT_TRUE(failed);
    EXPECT_EQ(0, ch->IsOpened());
    EXPECT_EQ(-1, ch->GetHandle());
    EXPECT_EQ(-1, fcntl(handle, F_GETFD));  // closed, not leaked
    EXPECT_EQ(0, ch->IsOpened());

    qxsim::PtySim back;
    if (!back.StartAs(number)) GTEST_SKIP() << "/dev/pts/" << number << " was taken meanwhile";
    back.SetTable(qxsim::Table().Add(Hex("01"), Hex("03")));
    ASSERT_EQ(1, ch->IsOpened());
    ASSERT_EQ(1, ch->Write(Hex("01").data(), 1));
    EXPECT_EQ("03", qxsim::ToHex(ReadBytes(1, 1000)));

    // The hang-up alone (no exchange tried) is seen by IsOpened too.
    back.Stop();
    EXPECT_EQ(0, ch->IsOpened());
    qxsim::PtySim again;
    if (!again.StartAs(number)) GTEST_SKIP() << "/dev/pts/" << number << " was taken meanwhile";
    EXPECT_EQ(1, ch->IsOpened());

    // Closed on purpose: stays closed.
    EXPECT_EQ(1, ch->Close());
    EXPECT_EQ(0, ch->IsOpened());
    EXPECT_EQ(-1, ch->GetHandle());
}
