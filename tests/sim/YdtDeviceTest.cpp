// The YD/T 1363 device model: frames it builds, what it answers to good and bad requests,
// the faults it plans, and serving it behind a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "PtySim.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

using qxsim::YdtDevice;
using qxsim::YdtFault;
using qxsim::YdtFrame;

namespace {

// RTN (characters 7, 8) of a reply, -1 for none.
int Rtn(const std::string& reply) {
    return reply.size() >= 9 ? std::stoi(reply.substr(7, 2), nullptr, 16) : -1;
}

}  // namespace

TEST(YdtFrames, BuildersWriteTheKnownFrames) {
    struct Case {
        int ver, adr, cid1, cid2;
        const char* info;
        const char* frame;
    } cases[] = {
        {0x20, 1, 0x40, 0x4F, "", "~2001404F0000FD9F\r"},
        {0x21, 1, 0x60, 0x42, "", "~210160420000FDB0\r"},
        {0x00, 1, 0x60, 0x4F, "", "~0001604F0000FD9F\r"},
        {0x20, 1, 0x60, 0x45, "0102", "~20016045C0040102FCD4\r"},
        {0x11, 1, 0x2A, 0x41, "", "~11012A410000FDA5\r"},
        {0x10, 1, 0x2A, 0xE1, "00", "~10012AE1E00200FD1E\r"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.frame, YdtFrame(c.ver, c.adr, c.cid1, c.cid2, c.info)) << c.frame;
    EXPECT_EQ(0xE002, qxsim::YdtLength(2));
    EXPECT_EQ(0xD012, qxsim::YdtLength(0x12));
    EXPECT_EQ("0000803F", qxsim::YdtFloat(1.0f));
    EXPECT_EQ("3333B33F", qxsim::YdtFloat(1.4f));
    EXPECT_EQ("01F4", qxsim::YdtWord(500));
    EXPECT_EQ("00800000", qxsim::YdtDword(1u << 23));
}

TEST(YdtDeviceModel, AnswersRequestsAsAUnitDoes) {
    YdtDevice d(1, 0x2A, 0x21);
    d.SetInfo(0x42, "00112233");
    d.SetRtn(0x44, 0x05);
    d.SetInfo(0x44, "FFFF");
    std::string good = YdtFrame(0x21, 1, 0x2A, 0x42, "");
    std::string badSum = good;
    badSum[good.size() - 2] = badSum[good.size() - 2] == '0' ? '1' : '0';
    std::string badLen = YdtFrame(0x21, 1, 0x2A, 0x42, "01");
    badLen[9] = 'F';  // LCHKSUM wrong (the checksum is made right again below)
    {
        std::string body = badLen.substr(1, badLen.size() - 6);
        char sum[8];
        snprintf(sum, sizeof sum, "%04X", qxsim::YdtChecksum(body));
        badLen = "~" + body + sum + "\r";
    }
    struct Case {
        const char* what;
        std::string request;
        int rtn;          // -1: no reply
        const char* info;
    } cases[] = {
        {"known command", good, 0, "00112233"},
        {"version query of any VER", YdtFrame(0x00, 1, 0x2A, 0x4F, ""), 0, ""},
        {"another VER", YdtFrame(0x20, 1, 0x2A, 0x42, ""), 0x01, ""},
        {"bad CHKSUM", badSum, 0x02, ""},
        {"bad LCHKSUM", badLen, 0x03, ""},
        {"unknown command", YdtFrame(0x21, 1, 0x2A, 0x47, ""), 0x04, ""},
        {"command set to answer RTN 05", YdtFrame(0x21, 1, 0x2A, 0x44, ""), 0x05, ""},
        {"another address", YdtFrame(0x21, 2, 0x2A, 0x42, ""), -1, ""},
        {"another device class", YdtFrame(0x21, 1, 0x60, 0x42, ""), -1, ""},
        {"no frame", "Q1\r", -1, ""},
    };
    for (const Case& c : cases) {
        std::string r = d.Handle(c.request);
        if (c.rtn < 0) {
            EXPECT_EQ("", r) << c.what;
            continue;
        }
        EXPECT_EQ(YdtFrame(0x21, 1, 0x2A, c.rtn, c.info), r)
            << c.what;
        EXPECT_EQ(c.rtn, Rtn(r)) << c.what;
    }
    EXPECT_EQ(0x42, d.Commands().at(0));
    EXPECT_EQ(cases[0].request.substr(0, cases[0].request.size() - 1), d.Requests().at(0));
}

TEST(YdtDeviceModel, ServesSeveralCid1AtOneAddress) {
    YdtDevice d(1, 0x40, 0x21);
    d.SetInfo(0x41, "0101");             // CID1 40
    d.SetInfo(0x42, 0x41, "0202");       // CID1 42, the same CID2 with its own INFO
    struct Case {
        const char* what;
        int cid1, cid2;
        int rtn;  // -1: no reply
        const char* info;
    } cases[] = {
        {"its own CID1", 0x40, 0x41, 0, "0101"},
        {"the added CID1", 0x42, 0x41, 0, "0202"},
        {"a command the added CID1 lacks", 0x42, 0x44, 0x04, ""},
        {"a CID1 it does not serve", 0x2A, 0x41, -1, ""},
    };
    for (const Case& c : cases) {
        std::string r = d.Handle(YdtFrame(0x21, 1, c.cid1, c.cid2, ""));
        if (c.rtn < 0)
            EXPECT_EQ("", r) << c.what;
        else
            EXPECT_EQ(YdtFrame(0x21, 1, c.cid1, c.rtn, c.info), r) << c.what;
    }
    EXPECT_EQ((std::vector<int>{0x41, 0x41, 0x44, 0x41}), d.Commands());
}

TEST(YdtDeviceModel, PlannedFaultsShapeTheNextReplies) {
    YdtDevice d(1, 0x2A, 0x21);
    d.SetInfo(0x42, "00112233");
    const std::string req = YdtFrame(0x21, 1, 0x2A, 0x42, "");
    const std::string good = YdtFrame(0x21, 1, 0x2A, 0, "00112233");
    d.FaultOnce(YdtFault::Silence);
    d.FaultOnce(YdtFault::Rtn, 0x06);
    d.FaultOnce(YdtFault::BadChecksum);
    d.FaultOnce(YdtFault::BadLength);
    d.FaultOnce(YdtFault::Short, 10);
    d.FaultOnce(YdtFault::OtherAddress);
    d.FaultOnce(YdtFault::Lowercase);
    EXPECT_EQ("", d.Handle(req));
    EXPECT_EQ(YdtFrame(0x21, 1, 0x2A, 0x06, ""), d.Handle(req));
    std::string r = d.Handle(req);
    EXPECT_EQ(good.substr(0, good.size() - 5), r.substr(0, r.size() - 5));
    EXPECT_NE(good, r);
    r = d.Handle(req);
    EXPECT_NE(good.substr(9, 1), r.substr(9, 1));
    EXPECT_EQ(good.substr(10), r.substr(10));
    EXPECT_EQ(good.substr(0, 10), d.Handle(req));
    EXPECT_EQ(YdtFrame(0x21, 2, 0x2A, 0, "00112233"), d.Handle(req));
    r = d.Handle(req);
    EXPECT_EQ("~21012a00", r.substr(0, 9));
    EXPECT_EQ(good, d.Handle(req));  // the plan is used up
    d.SetFault(YdtFault::Silence);
    EXPECT_EQ("", d.Handle(req));
    EXPECT_EQ("", d.Handle(req));
    d.ClearFault();
    EXPECT_EQ(good, d.Handle(req));
    EXPECT_EQ((std::vector<std::string>{"0102"}),
              (d.Handle(YdtFrame(0x21, 1, 0x2A, 0x45, "0102")), d.Infos(0x45)));
}

TEST(YdtDeviceModel, ServedBehindAPseudoTerminal) {
    YdtDevice d(1, 0x2A, 0x21);
    d.SetInfo(0x42, "0011");
    qxsim::PtySim pty;
    qxsim::ServeYdt(pty, d);
    if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
    int fd = open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    std::string req = YdtFrame(0x21, 1, 0x2A, 0x42, "");
    ASSERT_EQ((ssize_t)req.size(), write(fd, req.data(), req.size()));
    std::string got;
    const std::string want = YdtFrame(0x21, 1, 0x2A, 0, "0011");
    for (int i = 0; i < 50 && got.size() < want.size(); i++) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[128];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, (size_t)n);
    }
    close(fd);
    EXPECT_EQ(want, got);
}
