// The control commands of smhost's command line: SID:CMD[:DATA], DATA as int:, hex: or text:.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "DoCommand.h"
#include "gtest/gtest.h"

namespace {

using qxhost::DoCommand;

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    std::vector<uint8_t> v;
    for (int x : b) v.push_back((uint8_t)x);
    return v;
}
std::vector<uint8_t> IntBytes(int32_t v) {
    std::vector<uint8_t> b(4);
    memcpy(b.data(), &v, 4);
    return b;
}

TEST(DoCommand, CommandsAndTheirData) {
    struct Case {
        std::string arg;
        int sid, command;
        bool hasData;
        std::vector<uint8_t> data;
    } cases[] = {
        {"5:16", 5, 16, false, {}},
        {"0x0A:0x50001:hex:01", 10, 0x50001, true, Bytes({1})},
        {"5:16:hex:01 ff 0A", 5, 16, true, Bytes({1, 0xFF, 0x0A})},
        {"5:16:int:22", 5, 16, true, IntBytes(22)},
        {"5:8001:int:0x7F", 5, 8001, true, IntBytes(0x7F)},
        {"5:1:int:-1", 5, 1, true, IntBytes(-1)},
        {"5:0xFFFFFFFF", 5, -1, false, {}},
        {"3:1:text:AT:OK", 3, 1, true, Bytes({'A', 'T', ':', 'O', 'K'})},  // only the first two ':' split
        {"3:1:text:机房", 3, 1, true, Bytes({0xBB, 0xFA, 0xB7, 0xBF})},   // handed over in GBK
        {"3:1:text:", 3, 1, true, {}},
    };
    for (const Case& c : cases) {
        DoCommand d;
        std::string err;
        ASSERT_TRUE(qxhost::ParseDoCommand(c.arg, d, err)) << c.arg << ": " << err;
        EXPECT_EQ(c.arg, d.text);
        EXPECT_EQ(c.sid, d.sid) << c.arg;
        EXPECT_EQ(c.command, d.command) << c.arg;
        EXPECT_EQ(c.hasData, d.hasData) << c.arg;
        EXPECT_EQ(c.data, d.data) << c.arg;
    }
}

TEST(DoCommand, MistakesAreNamed) {
    struct Case {
        std::string arg;
        std::string error;
    } cases[] = {
        {"5", "expected SID:CMD[:DATA]"},
        {"x:1", "'x' is not a sid (an integer above 0)"},
        {"0:1", "'0' is not a sid (an integer above 0)"},
        {"5:", "'' is not a command code (a 32-bit integer)"},
        {"5:on", "'on' is not a command code (a 32-bit integer)"},
        {"5:1:22", "data '22' is not int:N, hex:BYTES or text:TEXT"},
        {"5:1:", "data '' is not int:N, hex:BYTES or text:TEXT"},
        {"5:1:int:1x", "'1x' after int: is not a 32-bit integer"},
        {"5:1:int:4294967296", "'4294967296' after int: is not a 32-bit integer"},
        {"5:1:hex:0", "hex: takes pairs of hex digits, not '0'"},
        {"5:1:hex:0g", "hex: takes pairs of hex digits, not '0g'"},
        {"5:1:hex:", "hex: names no byte"},
        {"5:1:text:\xff", "the text after text: is not UTF-8 that GBK can hold"},
        {"5:1:hex:" + std::string(2050, 'a'), "data of 1025 bytes, at most 1024"},
    };
    for (const Case& c : cases) {
        DoCommand d;
        std::string err;
        EXPECT_FALSE(qxhost::ParseDoCommand(c.arg, d, err)) << c.arg;
        EXPECT_EQ(c.error, err) << c.arg.substr(0, 40);
    }
}

}  // namespace
