// Serial definitions: what a text makes of the settings, the note, the code and the path.
#include <stdint.h>
#include <string.h>
#include <termios.h>

#include <string>

#include "SerCom.h"
#include "gtest/gtest.h"

namespace {

struct ComProbe : CSerCom {
    explicit ComProbe(const char* def) : CSerCom(def) {}
    explicit ComProbe(int port) : CSerCom(port) {}
    std::string prefix() const { return m_prefix; }
    int port() const { return m_iPort; }
    int baud() const { return m_iBaud; }
    int parity() const { return m_iParity; }
    int dataBits() const { return m_iDataBits; }
    int stopBits() const { return m_iStopBits; }
    std::string path() const {
        char buf[64];
        DevicePath(buf, sizeof(buf));
        return buf;
    }
};

#if QX_SER_REDUCED
#define BY_BUILD(normal, reduced) reduced
#else
#define BY_BUILD(normal, reduced) normal
#endif

struct DefCase {
    const char* def;
    const char* prefix;
    int port;
    int code;
    const char* path;
    const char* note;
    int baud, parity, dataBits, stopBits;
};

// Stop codes: 0 for "1", 1 for "1.5", 2 for "2"; a fresh channel holds code 1.
const DefCase kDefs[] = {
    {"ttyS1:9600,N,8,1", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:9600,n,8,1", 9600, 0, 8, 0},
    {"ttyUSB0:115200,E,8,2", "ttyUSB", 0, 0x120000, "/dev/ttyUSB0", "ttyUSB0:115200,e,8,2", 115200, 2, 8, 2},
    {"ESL2:4800,O,7,1", "ESL", 2, 0x110002, "/dev/ESL2", "ESL2:4800,O,7,1", 4800, 1, 7, 0},
    {"ttySBC2:19200,o,8,1", "ttySBC", 2, 0x110002, "/dev/ttySBC2", "ttySBC2:19200,O,8,1", 19200, 1, 8, 0},
    {"esl3:2400,n,8,1", "esl", 3, 0x110003, "/dev/esl3", "esl3:2400,n,8,1", 2400, 0, 8, 0},
    {"TTYusb4:9600,N,8,1", "TTYusb", 4, 0x120004, "/dev/TTYusb4", "TTYusb4:9600,n,8,1", 9600, 0, 8, 0},
    {"COM1:9600,N,8,1", "COM", 1, 0x100001, "/dev/COM1", "COM1:9600,n,8,1", 9600, 0, 8, 0},
    // The port is the one digit before the first ':'; the device path still reads COM12.
    {"COM12:9600,N,8,1", BY_BUILD("COM1", "COM"), BY_BUILD(2, 12), BY_BUILD(0x100002, 0x10000C),
     BY_BUILD("/dev/COM12", "\\\\.\\COM12"), "COM12:9600,n,8,1", 9600, 0, 8, 0},
    {"pts/12:9600,N,8,1", BY_BUILD("pts/1", "pts/"), BY_BUILD(2, 12), BY_BUILD(0x100002, 0x10000C),
     BY_BUILD("/dev/pts/12", "\\\\.\\pts/12"), "pts/12:9600,n,8,1", 9600, 0, 8, 0},
    {"ttyS1:300,M,8,1", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:300,m,8,1", 300, 3, 8, 0},
    {"ttyS1:9600,S,8,1.5", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:9600,s,8,1.5", 9600, 4, 8, 1},
    // Unknown parity letters mean none; other stop texts and missing numbers keep the value.
    {"ttyS1:9600,X,8,3", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:9600,n,8,1.5", 9600, 0, 8, 1},
    {"ttyS1:fast,E,x,2", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:9600,e,8,2", 9600, 2, 8, 2},
    {"ttyS1:9600", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:9600,n,8,1.5", 9600, 0, 8, 1},
    {"ttyS1:9600,E,7,2,extra", "ttyS", 1, 0x100001, "/dev/ttyS1", "ttyS1:9600,e,7,2", 9600, 2, 7, 2},
    // No port digit before the first separator: the text before it is ignored, the prefix
    // stays, and every later field moves up one place.
    {"xx:5:4800,E,7,2", "COM", 5, 0x100005, "/dev/COM5", "COM5:4800,e,7,2", 4800, 2, 7, 2},
    {"net:12,9600,N,8,1", "COM", 12, 0x10000C, "\\\\.\\COM12", "COM12:9600,n,8,1", 9600, 0, 8, 0},
    // A port digit with no separator after it.
    {"ttyS1", BY_BUILD("COM", "ttyS"), 1, 0x100001, BY_BUILD("/dev/COM1", "/dev/ttyS1"),
     BY_BUILD("COM1:9600,n,8,1.5", "ttyS1:9600,n,8,1.5"), 9600, 0, 8, 1},
    // A prefix of 15 characters, the most the channel holds.
    {"abcdefghijklmno1:9600,N,8,1", "abcdefghijklmno", 1, 0x100001, "/dev/abcdefghijklmno1",
     "abcdefghijklmno1:9600,n,8,1", 9600, 0, 8, 0},
    {"7:1200,N,8,1", "", 7, 0x100007, "/dev/7", "7:1200,n,8,1", 1200, 0, 8, 0},
};

TEST(SerComDefinition, ParsesEveryField) {
    for (const DefCase& c : kDefs) {
        ComProbe ch(c.def);
        EXPECT_EQ(c.prefix, ch.prefix()) << c.def;
        EXPECT_EQ(c.port, ch.port()) << c.def;
        EXPECT_EQ(c.code, ch.GetType()) << c.def;
        EXPECT_EQ(c.path, ch.path()) << c.def;
        EXPECT_STREQ(c.note, ch.GetNote()) << c.def;
        EXPECT_EQ(c.baud, ch.baud()) << c.def;
        EXPECT_EQ(c.parity, ch.parity()) << c.def;
        EXPECT_EQ(c.dataBits, ch.dataBits()) << c.def;
        EXPECT_EQ(c.stopBits, ch.stopBits()) << c.def;
        EXPECT_FALSE(ch.DefRejected()) << c.def;
        EXPECT_EQ(0, ch.IsOpened());
        EXPECT_EQ(-1, ch.GetHandle());
    }
}

TEST(SerComDefinition, DefinitionTypeMatchesTheChannelItDescribes) {
    for (const DefCase& c : kDefs) {
        // A text without a port digit describes no category.
        int expected = c.code;
        if (strncmp(c.def, "xx:", 3) == 0 || strncmp(c.def, "net:", 4) == 0) expected = 0;
        if (strcmp(c.def, "ttyS1") == 0) expected = BY_BUILD(0, 0x100001);
        EXPECT_EQ(expected, CSerCom::GetDefType(c.def)) << c.def;
    }
    EXPECT_EQ(0, CSerCom::GetDefType(nullptr));
    EXPECT_EQ(0, CSerCom::GetDefType(""));
    // No port digit: the first field's value alone (the reduced build takes it as the port).
    EXPECT_EQ(BY_BUILD(12, 0x10000C), CSerCom::GetDefType("12,9600,N,8,1"));
    EXPECT_EQ(BY_BUILD(0x100005, 0x10000A), CSerCom::GetDefType("10.0.0.5:502"));
}

TEST(SerComDefinition, PortsAtTheEndsOfTheIntRangeGiveTheWrappedCode) {
    // The code is the 32-bit sum of the category and the port; a port the definition takes
    // to the end of the int range must not overflow it (the sanitizer build stops there).
    struct Case {
        const char* def;
        int port;
        uint32_t code;
    } cases[] = {
        {"x,2147483647", 2147483647, 0x100000u + 2147483647u},
        {"x,99999999999", 2147483647, 0x100000u + 2147483647u},
        {"x,-2147483648", INT32_MIN, 0x100000u + 0x80000000u},
        {"x,-1", -1, 0xFFFFFu},
    };
    for (const Case& c : cases) {
        ComProbe ch(c.def);
        EXPECT_EQ(c.port, ch.port()) << c.def;
        EXPECT_EQ((int)c.code, ch.GetType()) << c.def;
    }
#if QX_SER_REDUCED
    // The reduced build takes the run of digits as the port of the definition's type.
    EXPECT_EQ((int)(0x100000u + 2147483647u), CSerCom::GetDefType("COM99999999999:9600"));
#endif
}

TEST(SerComDefinition, PortOnlyChannelsUseTheDefaults) {
    struct Case {
        int port;
        const char* note;
        const char* path;
        int code;
    } cases[] = {
        {3, "COM3:9600,n,8,1.5", "/dev/COM3", 0x100003},
        {0, "COM0:9600,n,8,1.5", "/dev/COM0", 0x100000},
        {9, "COM9:9600,n,8,1.5", "/dev/COM9", 0x100009},
        {10, "COM10:9600,n,8,1.5", "\\\\.\\COM10", 0x10000A},
    };
    for (const Case& c : cases) {
        ComProbe ch(c.port);
        EXPECT_STREQ(c.note, ch.GetNote()) << c.port;
        EXPECT_EQ(c.path, ch.path()) << c.port;
        EXPECT_EQ(c.code, ch.GetType()) << c.port;
        EXPECT_EQ(9600, ch.baud());
        EXPECT_EQ(1, ch.stopBits());  // described as 1.5, runs one stop bit
    }
}

TEST(SerComDefinition, EmptyTextsChangeNothing) {
    for (const char* def : {(const char*)nullptr, ""}) {
        ComProbe ch(def);
        EXPECT_STREQ("COM1:9600,n,8,1.5", ch.GetNote());
        EXPECT_EQ(0x100001, ch.GetType());
        ch.UpdParams("ttyUSB3:19200,E,7,2");
        ch.UpdParams(def);
        ch.SetDef(def);
        EXPECT_STREQ("ttyUSB3:19200,e,7,2", ch.GetNote());
        EXPECT_EQ(0x120003, ch.GetType());
    }
}

TEST(SerComDefinition, LaterDefinitionsReplaceTheSettings) {
    ComProbe ch("ESL2:4800,O,7,1");
    EXPECT_EQ(1, ch.SetDef("ttyS3:38400,E,8,2"));
    EXPECT_EQ(0x100003, ch.GetType());  // the sub-kind follows the text
    EXPECT_STREQ("ttyS3:38400,e,8,2", ch.GetNote());
    EXPECT_EQ(1, ch.SetBaud(57600));     // for the next Open; the note keeps its text
    EXPECT_EQ(57600, ch.baud());
    ch.SetDef("x:4");  // no port digit: the prefix stays, the port moves
    EXPECT_EQ("ttyS", ch.prefix());
    EXPECT_EQ(0x100004, ch.GetType());
}

TEST(SerComDefinition, DeviceNameTooLongIsRefusedNotTruncated) {
    const char* tooLong = "abcdefghijklmnop1:9600,N,8,1";  // 16 characters before the digit
    ComProbe ch(tooLong);
    EXPECT_TRUE(ch.DefRejected());
    EXPECT_STREQ("COM1:9600,n,8,1.5", ch.GetNote());
    EXPECT_EQ(0, ch.Open(nullptr));  // opens nothing it was not told to
    EXPECT_EQ(0, ch.IsOpened());

    ComProbe ok("ttyS2:4800,E,8,1");
    ok.UpdParams(tooLong);
    EXPECT_TRUE(ok.DefRejected());
    EXPECT_STREQ("ttyS2:4800,e,8,1", ok.GetNote());
    EXPECT_EQ("ttyS", ok.prefix());
    ok.UpdParams("ttyS3:4800,E,8,1");
    EXPECT_FALSE(ok.DefRejected());
}

TEST(SerComDefinition, SetOptRefusesWhatIsNotATerminal) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    testing::internal::CaptureStdout();
    EXPECT_EQ(-1, CSerCom::set_opt(fds[0], 9600, 8, 'N', 1, 'N'));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("tcgetattr error"));
    close(fds[0]);
    close(fds[1]);
}

// ---------------------------------------------------------------- hexadecimal dump

TEST(SerComHexDump, FormatsBytesWithGaps) {
    const unsigned char bytes[] = {0x01, 0xAB, 0x00, 0xFF};
    struct Case {
        int count, gap, outSize, result;
        const char* text;
    } cases[] = {
        {4, 1, 64, 12, "01 AB 00 FF "},
        {4, 0, 64, 8, "01AB00FF"},
        {2, 2, 64, 8, "01  AB  "},
        {0, 1, 1, 0, ""},
        {4, 1, 13, 12, "01 AB 00 FF "},  // exactly fits with its terminator
        {4, 1, 12, -1, nullptr},         // one short
        {4, 0, 8, -1, nullptr},
        {-1, 1, 64, -1, nullptr},
        {1, -1, 64, -1, nullptr},
    };
    for (const Case& c : cases) {
        char out[64];
        memset(out, 'x', sizeof(out));
        EXPECT_EQ(c.result, BufToHexStr(bytes, c.count, out, c.outSize, c.gap))
            << c.count << "/" << c.gap << "/" << c.outSize;
        if (c.text) {
            EXPECT_STREQ(c.text, out);
        } else {
            EXPECT_EQ('x', out[c.outSize > 0 ? c.outSize - 1 : 0]);  // nothing written
        }
    }
    char out[8];
    EXPECT_EQ(-1, BufToHexStr(nullptr, 1, out, sizeof(out), 1));
    EXPECT_EQ(-1, BufToHexStr(bytes, 1, nullptr, 8, 1));
}

TEST(SerComHexDump, SharedDumpReplacesLongTextsByANotice) {
    unsigned char bytes[400];
    for (int i = 0; i < 400; ++i) bytes[i] = (unsigned char)i;
#if QX_SER_REDUCED
    const int fits = 84, tooLong = 85;  // (gap + 2) x count + 1 up to 255
    const char* notice = "msg.len > 256";
#else
    const int fits = 340, tooLong = 341;  // (gap + 2) x count + 1 up to 1023
    const char* notice = "msg.len > 1024";
#endif
    std::string text = BufToHexStr(bytes, fits, 1);
    EXPECT_EQ((size_t)(3 * fits), text.size());
    EXPECT_EQ("00 01 02 ", text.substr(0, 9));
    EXPECT_STREQ(notice, BufToHexStr(bytes, tooLong, 1));
    EXPECT_STREQ("", BufToHexStr(bytes, 0, 1));
    EXPECT_STREQ("", BufToHexStr(nullptr, 3, 1));
    EXPECT_EQ('0', _TOHEX(0x10));
    EXPECT_EQ('F', _TOHEX(0x1F));
    EXPECT_EQ('A', _TOHEX(0xFA));
}

}  // namespace
