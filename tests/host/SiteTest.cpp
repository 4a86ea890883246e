// The site file reader of the reference host: what a point gets, and the line every mistake
// is reported at.
#include <stdlib.h>

#include <string>
#include <vector>

#include "Site.h"
#include "gtest/gtest.h"

namespace {

using qxhost::SitePoint;

bool Parse(const std::string& text, std::vector<SitePoint>& points, std::string& error) {
    return qxhost::ParseSite(text, "s.ini", points, error);
}

TEST(Site, PointWithEveryKeyAndDefaults) {
    setenv("QX_SITE_TEST_PORT", "pts/4:2400,N,8,1", 1);
    std::vector<SitePoint> p;
    std::string err;
    ASSERT_TRUE(Parse("; comment\n# another\n\n"
                      "[UPS-1]   ; trailing comment\n"
                      "SID = 010\n type=0x300\nchannel = ${QX_SITE_TEST_PORT}\nchtype=0x100004\n"
                      "addr=2\nvariant=3\next1=-1\next2=120\nwait=0x10\nhost=10.0.0.5:161\n"
                      "timeout = 10, 1000\nshow=.Vin   .Vout\nname=机房 UPS\n"
                      "[TH]\nsid=2\ntype=4608\nchannel=ttyS2:9600,N,8,1\nchtype=0x100002\next1=0xFFFFFFFF\n",
                      p, err))
        << err;
    ASSERT_EQ(2u, p.size());
    const SitePoint& a = p[0];
    EXPECT_EQ("UPS-1", a.label);
    EXPECT_EQ(4, a.line);
    EXPECT_EQ(10, a.sid);  // a leading zero is not octal
    EXPECT_EQ(0x300, a.type);
    EXPECT_EQ("pts/4:2400,N,8,1", a.channel);
    EXPECT_EQ(0x100004, a.chtype);
    EXPECT_EQ(2, a.addr);
    EXPECT_EQ(3, a.variant);
    EXPECT_EQ(-1, a.ext1);
    EXPECT_EQ(120, a.ext2);
    EXPECT_EQ(16, a.wait);
    EXPECT_EQ("10.0.0.5:161", a.host);
    EXPECT_TRUE(a.hasTimeout);
    EXPECT_EQ(10, a.timeoutPerByte);
    EXPECT_EQ(1000, a.timeoutFixed);
    EXPECT_EQ((std::vector<std::string>{".Vin", ".Vout"}), a.show);
    EXPECT_EQ("机房 UPS", a.name);
    EXPECT_EQ("\xbb\xfa\xb7\xbf UPS", a.nameGbk);  // the record carries GBK

    const SitePoint& b = p[1];
    EXPECT_EQ("TH", b.name);  // the section name when no name is given
    EXPECT_EQ(1, b.addr);
    EXPECT_EQ(0, b.variant);
    EXPECT_EQ(0, b.wait);
    EXPECT_FALSE(b.hasTimeout);
    EXPECT_EQ(-1, b.ext1);  // hexadecimal values may use all 32 bits
}

TEST(Site, MistakesNameTheLine) {
    const std::string ok = "sid=1\ntype=0x300\nchannel=ttyS1:2400,N,8,1\nchtype=0x100001\n";
    unsetenv("QX_SITE_TEST_UNSET");
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "s.ini:1: no point: the site names no [section]"},
        {"sid=1\n", "s.ini:1: key outside a [point] section"},
        {"[P\n", "s.ini:1: section header without ']'"},
        {"[P] x\n", "s.ini:1: text after the section header"},
        {"[ ]\n", "s.ini:1: empty section name"},
        {"[P]\n" + ok + "[P]\n", "s.ini:6: section [P] appears twice"},
        {"[P]\nsid\n", "s.ini:2: expected 'key = value'"},
        {"[P]\n=3\n", "s.ini:2: empty key"},
        {"[P]\nsid=1\nSid=2\n", "s.ini:3: key sid given twice"},
        {"[P]\nsid=0\n", "s.ini:2: sid: 0 is below 1"},
        {"[P]\nsid=1x\n", "s.ini:2: sid: '1x' is not an integer"},
        {"[P]\nsid=99999999999\n", "s.ini:2: sid: '99999999999' is not an integer"},
        {"[P]\nsid=0x\n", "s.ini:2: sid: '0x' is not an integer"},
        {"[P]\naddr=-1\n", "s.ini:2: addr: -1 is below 0"},
        {"[P]\nchannel=\n", "s.ini:2: channel: empty definition"},
        {"[P]\nchannel=${QX_SITE_TEST_UNSET}\n", "s.ini:2: environment variable QX_SITE_TEST_UNSET is not set"},
        {"[P]\nchannel=${QX_SITE_TEST_UNSET\n", "s.ini:2: unterminated ${ in value"},
        {"[P]\ntimeout=10\n", "s.ini:2: timeout: expected 'ms per byte, fixed ms', got '10'"},
        {"[P]\ntimeout=10,-1\n", "s.ini:2: timeout: expected 'ms per byte, fixed ms', got '10,-1'"},
        {"[P]\nshow=.Vin Vout\n", "s.ini:2: show: 'Vout' is not a .field reference"},
        {"[P]\nbaud=9600\n", "s.ini:2: unknown key 'baud'"},
        {"[P]\nsid=1\ntype=0x300\nchtype=1\n", "s.ini:1: point [P] lacks the key channel"},
        {"[P]\n" + ok + "[Q]\n" + ok, "s.ini:6: point [Q]: sid 1 is used by another point"},
        {"[P]\n" + ok + "name=一二三四五六七八九十一二三四五六\n",
         "s.ini:6: point [P]: the name takes 32 bytes in GBK, at most 31"},
        {"[P]\nname=\xff\xfe\n" + ok, "s.ini:2: point [P]: the name is not UTF-8 text that GBK can hold"},
        {"[P]\n" + ok + "host=" + std::string(36, 'h') + "\n",
         "s.ini:6: point [P]: host is longer than 35 characters"},
        {"[P]\nsid=1\ntype=1\nchtype=0x200001\nchannel=" + std::string(64, '1') + "\n",
         "s.ini:5: point [P]: a network definition holds at most 63 characters"},
        {"[P]\ntimeout=10,60001\n", "s.ini:2: timeout: at most 60000 ms per value, got '10,60001'"},
        {"[P]\ntimeout=2147483647,2147483647\n",
         "s.ini:2: timeout: at most 60000 ms per value, got '2147483647,2147483647'"},
        {std::string("[P]\nsid=1\0\n", 11), "s.ini:2: NUL byte in the file"},
    };
    for (const Case& c : cases) {
        std::vector<SitePoint> p;
        std::string err;
        EXPECT_FALSE(Parse(c.text, p, err)) << c.text;
        EXPECT_EQ(c.error, err) << c.text;
    }
}

// A serial definition whose line settings the serial channel does not take would be polled
// with the channel's defaults: it is refused at its line, whatever line chtype is on.
TEST(Site, SerialSettingsTheChannelDoesNotTakeAreRefused) {
    struct Case {
        std::string channel;
        std::string error;  // after "s.ini:3: point [P]: serial channel "; "" = accepted
    } cases[] = {
        {"pts/12:abc,Q,99,7", "speed 'abc' is not one the serial channel takes"},
        {"ttyS1:" + std::string(300, '9') + ",N,8,1",
         "speed '99999999999999999999...' is not one the serial channel takes"},
        {"ttyS1:9600,Q,8,1", "parity 'Q' is not one the serial channel takes"},
        {"ttyS1:9600,NN,8,1", "parity 'NN' is not one the serial channel takes"},
        {"ttyS1:9600,N,99,1", "data bits '99' is not one the serial channel takes"},
        {"ttyS1:9600,N,8,7", "stop bits '7' is not one the serial channel takes"},
        {"ttyS1:9600,N,8,1,5", "more than speed, parity, data bits and stop bits after ':'"},
        {"ttyS1:9600,,8,1", ""},  // a field left out keeps its default
        {"ttyS1:2400,N,8,1", ""},
        {"ttyUSB0:115200,e,7,2", ""},
        {"pts/12:9600,O,5,1.5", ""},
        {"ttyS1:19200", ""},
        {"ttyS1", ""},
    };
    for (const Case& c : cases) {
        std::vector<SitePoint> p;
        std::string err;
        bool ok = Parse("[P]\nsid=1\nchannel=" + c.channel + "\ntype=0x300\nchtype=0x100002\n", p, err);
        EXPECT_EQ(c.error.empty(), ok) << c.channel << ": " << err;
        if (!c.error.empty()) {
            EXPECT_EQ("s.ini:3: point [P]: serial channel " + c.error, err);
        }
    }
    // A network definition is not a serial one.
    std::vector<SitePoint> p;
    std::string err;
    EXPECT_TRUE(Parse("[P]\nsid=1\nchannel=127.0.0.1:502\ntype=1\nchtype=0x2001F6\n", p, err)) << err;
}

// A point whose handler reaches its device itself has no channel: no chtype, and the address
// text its handler reads.
TEST(Site, PointWithoutChannel) {
    std::vector<SitePoint> p;
    std::string err;
    ASSERT_TRUE(Parse("[SNMP]\nsid=1\ntype=0x31B\nchannel=none\naddrtext=udp:10.0.0.5:161:public\n"
                      "[TCP]\nsid=2\ntype=0x1200\nchannel=127.0.0.1:502\nchtype=0x2001F6\n",
                      p, err))
        << err;
    EXPECT_TRUE(p[0].noChannel);
    EXPECT_EQ(0, p[0].chtype);
    EXPECT_EQ("udp:10.0.0.5:161:public", p[0].addrText);
    EXPECT_FALSE(p[1].noChannel);
    EXPECT_EQ("", p[1].addrText);  // the host gives a network point its definition

    const std::string none = "[P]\nsid=1\ntype=0x31B\nchannel=none\n";
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {none + "chtype=0x200001\n", "s.ini:5: point [P]: channel none takes no chtype"},
        {none + "addrtext=udp:" + std::string(60, '1') + "\n",
         "s.ini:5: point [P]: addrtext holds at most 63 characters"},
        {"[P]\nsid=1\ntype=0x31B\nchannel=None\n", "s.ini:1: point [P] lacks the key chtype"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Parse(c.text, p, err)) << c.text;
        EXPECT_EQ(c.error, err) << c.text;
    }
}

// The network channel reads its host by the first letter and its port with atoi: a definition
// it would read as some other host or port is refused at its line.
TEST(Site, NetworkDefinitionsTheChannelDoesNotTakeAreRefused) {
    const std::string host =
        "' is not one the network channel takes (a dotted IPv4 address, u and one for UDP, b for "
        "broadcast); a point whose handler reaches its device itself takes channel = none";
    struct Case {
        std::string channel;
        std::string error;  // after "s.ini:3: point [P]: network channel "; "" = accepted
    } cases[] = {
        {"udp:127.0.0.1", "'udp:127.0.0.1': host 'udp" + host},  // UDP to "dp", port 127
        {"localhost:502", "'localhost:502': host 'localhost" + host},
        {"1.2.3.4.5:502", "'1.2.3.4.5:502': host '1.2.3.4.5" + host},
        {"u:161", "'u:161': host 'u" + host},
        {":502", "':502': host '" + host},
        {"192.168.100.200x:502", "'192.168.100.200x:502': host '192.168.100.200x" + host},  // 16
        {"127.0.0.1:abc", "'127.0.0.1:abc': port 'abc' is not a number from 1 to 65535"},
        {"127.0.0.1:", "'127.0.0.1:': port '' is not a number from 1 to 65535"},
        {"127.0.0.1:0", "'127.0.0.1:0': port '0' is not a number from 1 to 65535"},
        {"127.0.0.1:65536", "'127.0.0.1:65536': port '65536' is not a number from 1 to 65535"},
        {"127.0.0.1:502:x", "'127.0.0.1:502:x': port '502:x' is not a number from 1 to 65535"},
        {"127.0.0.1:502", ""},
        {"10.0.0.5", ""},
        {"u192.168.1.20:161", ""},
        {"b:5000", ""},
        {"127.0.0.1:65535", ""},
    };
    for (const Case& c : cases) {
        std::vector<SitePoint> p;
        std::string err;
        bool ok = Parse("[P]\nsid=1\nchannel=" + c.channel + "\ntype=0x1200\nchtype=0x2001F6\n", p, err);
        EXPECT_EQ(c.error.empty(), ok) << c.channel << ": " << err;
        if (!c.error.empty()) {
            EXPECT_EQ("s.ini:3: point [P]: network channel " + c.error, err);
        }
    }
}

TEST(Site, ByteOrderMarkAtTheStartIsSkipped) {
    std::vector<SitePoint> p;
    std::string err;
    ASSERT_TRUE(Parse("\xEF\xBB\xBF[P]\nsid=1\ntype=1\nchannel=c\nchtype=1\n", p, err)) << err;
    EXPECT_EQ("P", p[0].label);
    // Only at the start: elsewhere it is text like any other.
    EXPECT_FALSE(Parse("[P]\n\xEF\xBB\xBFsid=1\ntype=1\nchannel=c\nchtype=1\n", p, err));
    EXPECT_EQ("s.ini:2: unknown key '\xEF\xBB\xBFsid'", err);
}

TEST(Site, FifteenGbkCharactersFitTheName) {
    std::vector<SitePoint> p;
    std::string err;
    ASSERT_TRUE(Parse("[P]\nsid=1\ntype=1\nchannel=c\nchtype=1\nname=一二三四五六七八九十一二三四五x\n", p, err))
        << err;
    EXPECT_EQ(31u, p[0].nameGbk.size());
}

TEST(Site, MissingFileIsNamed) {
    std::vector<SitePoint> p;
    std::string err;
    EXPECT_FALSE(qxhost::LoadSite("/nonexistent/site.ini", p, err));
    EXPECT_EQ("/nonexistent/site.ini: No such file or directory", err);
}

}  // namespace
