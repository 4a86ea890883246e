// The template engine: request layout, reply checks, field decoding, polls and commands,
// through the static library over a scripted channel and the template device simulator.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "ModbusSlave.h"
#include "ScriptChannel.h"
#include "TemplateDev.h"
#include "engines/SMNormal.h"
#include "gtest/gtest.h"

namespace {

using qxtest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;

const int kType = 0x1601;

uint16_t Crc(const Bytes& b, size_t from, size_t to) {
    return qxsim::ModbusSlave::Crc16(b.data() + from, to - from);
}
Bytes WithCrc(Bytes b, size_t from = 0) {
    uint16_t c = Crc(b, from, b.size());
    b.push_back((uint8_t)c);
    b.push_back((uint8_t)(c >> 8));
    return b;
}

struct Rig {
    BoardRoot root;
    NoSleep nosleep;
    qxtest::ScriptChannel ch;
    std::unique_ptr<CSMNormal, void (*)(CSMNormal*)> h{nullptr, [](CSMNormal* p) { delete p; }};

    CSMNormal* Make(const std::string& def) {
        root.WriteDef(kType, "[comm]\ndelay=0\n" + def);
        h.reset(static_cast<CSMNormal*>(NewNormalHandler(kType)));
        return h.get();
    }
    std::string Val(const std::string& key) { return h->Ini().GetValue(SEC_VALS, key, "<none>"); }
    std::string Vals() {
        std::string s;
        for (auto it = h->Ini().beginKey(SEC_VALS); it != h->Ini().endKey(SEC_VALS); ++it)
            s += (s.empty() ? "" : " ") + it->first + "=" + it->second.value;
        return s;
    }
};

// ---------------------------------------------------------------- requests

TEST(NormalCmd, FramesFromTemplates) {
    // Expected frames written out; "C1 C2" marks where the CRC of the bytes from chk0 up to
    // the check goes (low byte first).
    struct Case {
        const char* tmpl;
        int chk0;
        int adr;
        const char* cmd;
        const char* dat;
        const char* frame;
        int head, tail, kind, dist;
    } cases[] = {
        // The length byte outside the CRC's coverage.
        {"7E len adr cmd dat crc 0D", 2, 1, "03", "0010", "7E 09 01 03 00 10 C1 C2 0D", 1, 1, 1, 3},
        // The length byte inside it: covered as sent (09), not as the 00 reserved for it.
        {"7E len adr cmd dat crc 0D", 1, 1, "03", "0010", "7E 09 01 03 00 10 C1 C2 0D", 1, 1, 1, 3},
        {"AA adr cmd sum", 1, 5, "03", "", "AA 05 03 08", 1, 0, 2, 1},
        {"len adr cmd sum", 0, 5, "03", "", "04 05 03 0C", 0, 0, 2, 1},
        {"01 03 00 00 00 02 crc", 0, 1, "03", "", "01 03 00 00 00 02 C4 0B", 1, 0, 1, 2},
        {"02 adr cmd dat xor 03", 1, 0x21, "42", "0A0B", "02 21 42 0A 0B 62 03", 1, 1, 3, 2},
        {"AA adr cmd dlen dat sum", 1, 1, "10", "0A0B0C", "AA 01 10 03 0A 0B 0C 35", 1, 0, 2, 1},
        {"AA adr cmd dat dlen", 0, 1, "10", "", "AA 01 10 00", 1, 0, 0, 0},
        // Two checks: the CRC covers the sum before it and decides how replies are checked.
        {"AA adr cmd sum crc", 1, 5, "03", "", "AA 05 03 08 C1 C2", 1, 0, 1, 2},
        // Unknown tokens and doubled blanks write nothing; the last token is not a literal.
        {"55  adr foo cmd", 0, 7, "0102", "", "55 07 01 02", 1, 0, 0, 0},
        // The address is its low 8 bits.
        {"adr cmd", 0, 0x1FE, "01", "", "FE 01", 0, 0, 0, 0},
        {"", 0, 1, "01", "", "", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        char def[256];
        snprintf(def, sizeof def, "SND=%s\nchk0=%d\n", c.tmpl, c.chk0);
        ASSERT_NE(r.Make(def), nullptr);
        uint8_t buf[CSMNormal::kMaxRequest];
        int n = r.h->NormalCmd(buf, (uint8_t)c.adr, c.cmd, c.dat);
        Bytes want = HexBytes(c.frame);
        std::string f = c.frame;
        size_t at = f.find("C1 C2");
        if (at != std::string::npos) {
            size_t pos = at / 3;
            uint16_t crc = Crc(want, (size_t)c.chk0, pos);
            want[pos] = (uint8_t)crc;
            want[pos + 1] = (uint8_t)(crc >> 8);
        }
        EXPECT_EQ(Hex(buf, n > 0 ? (size_t)n : 0), Hex(want)) << c.tmpl << " chk0=" << c.chk0;
        EXPECT_EQ(r.h->SendLen(), (int)want.size()) << c.tmpl;
        EXPECT_EQ(r.h->HeadLen(), c.head) << c.tmpl;
        EXPECT_EQ(r.h->TailLen(), c.tail) << c.tmpl;
        EXPECT_EQ(r.h->ChkKind(), c.kind) << c.tmpl;
        EXPECT_EQ(r.h->ChkDist(), c.dist) << c.tmpl;
    }
}

TEST(NormalCmd, RequestsThatCannotBeBuiltAreRefused) {
    std::string long65(130, 'A');
    struct Case {
        std::string tmpl;
        int chk0;
        const char* cmd;
        std::string dat;
    } cases[] = {
        {"7E0 adr cmd", 0, "01", ""},             // odd literal
        {"AZ adr cmd", 0, "01", ""},              // not hexadecimal
        {"adr cmd", 0, "1", ""},                  // odd code
        {"adr cmd", 0, "G1", ""},
        {"adr cmd dat", 0, "01", "123"},          // odd data
        {"adr cmd dat", 0, "01", "0x12"},
        {long65 + " adr", 0, "01", ""},           // 65 bytes
        {"AA adr cmd dat crc", 0, "01", std::string(120, '0')},  // 3 + 60 + 2 bytes
        {"AA adr cmd sum", 5, "03", ""},          // chk0 beyond the check
        {"AA adr cmd sum", -1, "03", ""},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make("SND=" + c.tmpl + "\nchk0=" + std::to_string(c.chk0) + "\n"), nullptr);
        uint8_t buf[CSMNormal::kMaxRequest + 8];
        memset(buf, 0xEE, sizeof buf);
        EXPECT_EQ(r.h->NormalCmd(buf, 1, c.cmd, c.dat.c_str()), 0) << c.tmpl << " / " << c.dat;
        EXPECT_EQ(r.h->SendLen(), 0);
        EXPECT_EQ(r.h->ChkKind(), 0);
        for (size_t i = CSMNormal::kMaxRequest; i < sizeof buf; i++) ASSERT_EQ(buf[i], 0xEE) << c.tmpl;
    }
    // The longest request that fits.
    Rig r;
    ASSERT_NE(r.Make("SND=AA adr cmd dat crc\n"), nullptr);
    uint8_t buf[CSMNormal::kMaxRequest];
    EXPECT_EQ(r.h->NormalCmd(buf, 1, "01", std::string(118, '0').c_str()), 64);
}

// The address byte takes 0..255; any other address is refused, never cut to another device's.
// A template that sends no address takes any.
TEST(NormalCmd, AddressThatDoesNotFitItsByteIsRefused) {
    struct Case {
        const char* tmpl;
        int adr;
        int len;  // 0: refused
    } cases[] = {
        {"AA adr cmd", 1, 3},    {"AA adr cmd", 255, 3}, {"AA adr cmd", 0, 3},
        {"AA adr cmd", 256, 0},  {"AA adr cmd", 65537, 0}, {"AA adr cmd", -1, 0},
        {"AA cmd", 65537, 2},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string("SND=") + c.tmpl + "\n"), nullptr);
        uint8_t buf[CSMNormal::kMaxRequest];
        EXPECT_EQ(r.h->NormalCmd(buf, c.adr, "01", ""), c.len) << c.tmpl << " / " << c.adr;
        if (c.len == 3) {
            EXPECT_EQ(buf[1], c.adr);
        }
    }
}

// ---------------------------------------------------------------- reply checks

TEST(NormalChk, RepliesAgainstTheRequestSentLast) {
    struct Case {
        const char* def;
        const char* cmd;
        const char* reply;  // "CRC" appends the CRC of the bytes from chk0
        int dataStart;
        int want;
    } cases[] = {
        {"SND=AA adr cmd sum\nchk0=1\n", "03", "AA 05 03 10 20 38", 0, 0},
        {"SND=AA adr cmd sum\nchk0=1\n", "03", "AA 05 03 10 20 39", 0, CSMNormal::kChkSum},
        {"SND=AA adr cmd sum\nchk0=1\nchk=1\n", "03", "BB 05 03 10 20 38", 0, CSMNormal::kChkHead},
        {"SND=AA adr cmd sum\nchk0=1\nchk=0\n", "03", "BB 05 03 10 20 38", 0, 0},
        {"SND=AA adr cmd xor\nchk0=1\n", "03", "AA 05 03 10 20 36", 0, 0},
        {"SND=AA adr cmd xor\nchk0=1\n", "03", "AA 05 03 10 20 37", 0, CSMNormal::kChkXor},
        {"SND=01 03 00 00 00 02 crc\n", "03", "01 03 04 00 64 01 F4 CRC", 0, 0},
        {"SND=adr cmd crc\n", "03", "01 03 04 00 64 01 F4 00 00", 0, CSMNormal::kChkCrc},
        {"SND=7E adr cmd crc 0D\nchk0=1\nchk=2\n", "03", "7E 01 03 CRC 0D", 0, 0},
        {"SND=7E adr cmd sum 0D\nchk0=1\nchk=2\n", "03", "7E 01 03 04 0A", 0, CSMNormal::kChkTail},
        {"SND=7E adr cmd\nchk=3\n", "03", "7E", 0, 0},  // the tail is not a literal
        // Too short for the check, the head or the tail: refused, nothing read outside.
        {"SND=AA adr cmd sum\nchk0=1\n", "03", "", 0, CSMNormal::kChkShort},
        {"SND=AA adr cmd sum\nchk0=1\n", "03", "AA", 0, CSMNormal::kChkShort},
        {"SND=AA adr cmd crc\nchk0=2\n", "03", "AA 05 03", 0, CSMNormal::kChkShort},
        {"SND=adr cmd crc\n", "03", "01", 0, CSMNormal::kChkShort},
        {"SND=AABB adr cmd\nchk=1\n", "03", "AA", 0, CSMNormal::kChkHead},
        {"SND=adr cmd AABB\nchk=2\n", "03", "BB", 0, CSMNormal::kChkTail},
        // Without a check an empty reply still fails; any other passes.
        {"SND=adr cmd\n", "03", "", 0, CSMNormal::kChkShort},
        {"SND=adr cmd\n", "03", "42", 0, 0},
        // The data part must reach the data start.
        {"SND=adr cmd crc\n", "03", "01 03 04 CRC", 3, 0},
        {"SND=adr cmd crc\n", "03", "01 03 CRC", 3, CSMNormal::kChkShort},
        {"SND=adr cmd\n", "03", "01 03", 3, CSMNormal::kChkShort},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(c.def), nullptr);
        int chk0 = r.h->Ini().GetValue<int>(SEC_COMM, "chk0", 0);
        ASSERT_GT(r.h->NormalCmd(r.h->m_cmd, 5, c.cmd, ""), 0) << c.def;
        std::string text = c.reply;
        size_t crcAt = text.find("CRC");
        Bytes reply = HexBytes(text.substr(0, crcAt));
        if (crcAt != std::string::npos) {
            reply = WithCrc(reply, (size_t)chk0);
            Bytes rest = HexBytes(text.substr(crcAt + 3));
            reply.insert(reply.end(), rest.begin(), rest.end());
        }
        EXPECT_EQ(r.h->NormalChk(reply.data(), (int)reply.size(), c.dataStart), c.want)
            << c.def << " reply " << c.reply;
    }
}

// ---------------------------------------------------------------- fields

TEST(NormalVal, FormatsAndFloats) {
    struct Case {
        const char* bytes;
        const char* format;
        int factor;
        int want;
        bool ok;
    } cases[] = {
        {"00 00 20 41", "F", 10, 100, true},   // 10.0
        {"00 00 20 C1", "f", 3, -30, true},
        {"66 66 26 C1", "F", 1, -10, true},    // -10.4 toward zero
        {"00 00 C0 7F", "F", 1, 0, false},     // NaN
        {"00 00 80 7F", "F", 1, 0, false},     // infinity
        {"F9 02 15 50", "F", 1, 0, false},     // 1e10
        {"00 00 00 4F", "F", 1, 0, false},     // 2^31
        {"00 00 00 CF", "F", 1, INT32_MIN, true},
        {"01 F4", "I", 1, 500, true},
        {"FF FF", "i", 1, 65535, true},
        {"81", "B", 1, 129, true},
        {"81", "", 1, 129, true},
    };
    for (const Case& c : cases) {
        Bytes b = HexBytes(c.bytes);
        bool ok = !c.ok;
        EXPECT_EQ(CSMNormal::NormalVal(b.data(), c.format, c.factor, &ok), c.want) << c.bytes;
        EXPECT_EQ(ok, c.ok) << c.bytes;
        EXPECT_EQ(CSMNormal::NormalSize(c.format), (int)b.size()) << c.format;
    }
}

// ---------------------------------------------------------------- polls

TEST(NormalPoll, FieldsOfOneCommand) {
    const std::string modbus = "SND=01 03 00 00 00 02 crc\ncmds=01\ndat0=3\n";
    struct Case {
        const char* name;
        std::string def;
        const char* data;  // reply 01 03 <n> <data> CRC
        const char* vals;
    } cases[] = {
        {"two words", modbus, "00 64 01 F4", "01H01=100 01H02=500"},
        {"skipped field", modbus + "[01H]\n1=-\n", "00 64 01 F4", "01H02=500"},
        {"own formats", modbus + "[01H]\n1=B\n2=f\ndfac=10\n", "07 00 00 20 41", "01H01=7 01H02=100"},
        {"section dinfo", modbus + "[01H]\ndinfo=B\n", "00 64 01", "01H01=0 01H02=100 01H03=1"},
        {"bits", modbus + "[01H]\ndinfo=B\n1bit=1\n", "81",
         "01H01=129 01H01-0=1 01H01-1=0 01H01-2=0 01H01-3=0 01H01-4=0 01H01-5=0 01H01-6=0 01H01-7=1"},
        // A field that would run into the check is not decoded.
        {"cut field", modbus, "00 64 01", "01H01=100"},
        {"float not finite", modbus + "[01H]\ndinfo=F\n", "00 00 C0 7F 00 00 20 41", "01H02=10"},
        {"no data", modbus, "", ""},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(c.def), nullptr) << c.name;
        Bytes data = HexBytes(c.data);
        Bytes reply = {0x01, 0x03, (uint8_t)data.size()};
        reply.insert(reply.end(), data.begin(), data.end());
        r.ch.Reply(WithCrc(reply));
        EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 1) << c.name;
        ASSERT_EQ(r.ch.Written().size(), 1u);
        EXPECT_EQ(Hex(r.ch.Written()[0]), "01 03 00 00 00 02 C4 0B");
        EXPECT_EQ(r.Vals(), c.vals) << c.name;
    }
}

TEST(NormalPoll, BitSplitsAreBounded) {
    for (int bytes : {2, 4, 9, -1}) {
        Rig r;
        ASSERT_NE(r.Make("SND=adr cmd\ncmds=01\ndat0=2\n[01H]\ndinfo=I\n1bit=" + std::to_string(bytes) + "\n"), nullptr);
        r.ch.Reply(HexBytes("01 01 80 01"));
        ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
        int bits = bytes < 0 ? 0 : bytes >= 4 ? 32 : 8 * bytes;
        for (int j = 0; j <= 33; j++) {
            std::string want = j >= bits ? "<none>" : (j == 0 || j == 15) ? "1" : "0";
            EXPECT_EQ(r.Val("01H01-" + std::to_string(j)), want) << bytes << " " << j;
        }
    }
}

TEST(NormalPoll, CommandsInOrderAndAFailureKeepsEarlierFields) {
    Rig r;
    ASSERT_NE(r.Make("SND=AA adr cmd sum\nchk0=1\ncmds=01,02,03\ndat0=3\ndinfo=B\n"), nullptr);
    r.ch.Reply(HexBytes("AA 05 01 07 0D"));
    r.ch.Reply(HexBytes("AA 05 02 09 11"));  // wrong sum
    r.ch.Reply(HexBytes("AA 05 03 01 09"));
    EXPECT_EQ(r.h->DataGet(&r.ch, 5, 0), 0);
    ASSERT_EQ(r.ch.Written().size(), 2u);  // 03 is not sent
    EXPECT_EQ(Hex(r.ch.Written()[0]), "AA 05 01 06");
    EXPECT_EQ(Hex(r.ch.Written()[1]), "AA 05 02 07");
    EXPECT_EQ(r.Vals(), "01H01=7");
}

TEST(NormalPoll, NothingSentOrNothingKept) {
    struct Case {
        const char* name;
        std::string def;
        int setup;  // 0 none, 1 null channel, 2 closed, 3 short write, 4 silence, 5 unloadable
        int result;
        size_t writes;
    } cases[] = {
        {"empty cmds", "SND=adr cmd\n", 0, 1, 0},
        {"null channel", "SND=adr cmd\ncmds=01\n", 1, 0, 0},
        {"closed channel", "SND=adr cmd\ncmds=01\n", 2, 0, 0},
        {"short write", "SND=adr cmd\ncmds=01,02\n", 3, 0, 1},
        {"silence without a check", "SND=adr cmd\ncmds=01\n", 4, 0, 1},
        {"bad command code", "SND=adr cmd\ncmds=0G\n", 0, 0, 0},
        {"unloaded", "", 5, 0, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(c.def + "[vals]\nold=1\n"), nullptr) << c.name;
        if (c.setup == 5) {
            // A file that exists but cannot be read leaves the handler unloaded.
            r.root.WriteDef(kType, "");
            chmod(r.root.DefPath(kType).c_str(), 0);
            r.h.reset(static_cast<CSMNormal*>(NewNormalHandler(kType)));
            chmod(r.root.DefPath(kType).c_str(), 0644);
            ASSERT_NE(r.h, nullptr);
            if (r.h->Loaded()) continue;  // running as root: every file is readable
            r.h->Ini().SetValue(SEC_VALS, "old", "1");
        }
        if (c.setup == 2) r.ch.SetOpen(false);
        if (c.setup == 3) r.ch.ShortWrite(1);
        if (c.setup == 4) r.ch.Silence();
        EXPECT_EQ(r.h->DataGet(c.setup == 1 ? nullptr : &r.ch, 1, 0), c.result) << c.name;
        EXPECT_EQ(r.ch.Written().size(), c.writes) << c.name;
        EXPECT_EQ(r.Vals(), "") << c.name;  // the file's [vals] went with the poll
    }
}

TEST(NormalPoll, ReadsAreBoundedAndGathered) {
    struct Case {
        const char* def;
        int asked;
    } cases[] = {
        {"dmax=1000\n", CSMNormal::kMaxReply},
        {"dmax=0\n", 1},
        {"dmax=-5\n", 1},
        {"[01H]\ndmax=300\n", CSMNormal::kMaxReply},
        {"dmax=20\n[01H]\ndmax=7\n", 7},
        {"", 200},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string("SND=adr cmd\ncmds=01\n") + c.def), nullptr) << c.def;
        r.ch.Reply(HexBytes("01"));
        EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 1) << c.def;
        ASSERT_GE(r.ch.ReadLengths().size(), 1u);
        EXPECT_EQ(r.ch.ReadLengths()[0], c.asked) << c.def;
    }

    // A reply in parts is gathered until it checks; stale input is dropped first.
    Rig r;
    ASSERT_NE(r.Make("SND=01 03 00 00 00 02 crc\ncmds=01\ndat0=3\n"), nullptr);
    r.ch.Inject(HexBytes("FF FF"));
    Bytes reply = WithCrc(HexBytes("01 03 04 00 64 01 F4"));
    r.ch.ReplyChunks({Bytes(reply.begin(), reply.begin() + 3), Bytes(reply.begin() + 3, reply.end())});
    EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    EXPECT_EQ(r.Vals(), "01H01=100 01H02=500");
    EXPECT_GE(r.ch.Purges(), 1);
}

TEST(NormalPoll, AgainstTheTemplateDevice) {
    const char* tmpl = "7E len adr cmd dat crc 0D";
    Rig r;
    ASSERT_NE(r.Make(std::string("SND=") + tmpl + "\nchk0=1\nchk=3\ndat0=4\ncmds=01,02\n"
                     "[01H]\ncdat=0010\n[02H]\ndinfo=B\n"), nullptr);
    qxsim::TemplateDev dev(3);
    dev.SetRequest(tmpl, 1);
    dev.SetReply(tmpl, 1);
    dev.SetData(0x01, HexBytes("00 FA 01 2C"));
    dev.SetData(0x02, HexBytes("05 06"));
    r.ch.SetResponder([&dev](const Bytes& req) { return dev.Answer(req); });
    ASSERT_EQ(r.h->DataGet(&r.ch, 3, 0), 1);
    EXPECT_EQ(r.Vals(), "01H01=250 01H02=300 02H01=5 02H02=6");
    ASSERT_EQ(dev.Commands().size(), 2u);
    EXPECT_EQ(Hex(dev.Commands()[0].data), "00 10");

    // Another address goes unanswered; a bad check fails the poll.
    EXPECT_EQ(r.h->DataGet(&r.ch, 4, 0), 0);
    r.ch.SetResponder([&dev](const Bytes& req) { return dev.Answer(req, qxsim::Fault::BadCheck); });
    EXPECT_EQ(r.h->DataGet(&r.ch, 3, 0), 0);
    EXPECT_EQ(r.Vals(), "");
}

// ---------------------------------------------------------------- control commands

TEST(NormalFunc, ControlCommands) {
    const std::string def = "SND=AA adr cmd dat sum\nchk0=1\nYk03=05,0102\nYk04=06\nYk05=0G\nYk06=07,\n";
    struct Case {
        int cmd;
        const char* reply;
        int result;
        const char* sent;  // "" nothing
    } cases[] = {
        {3, "AA 01 05 01 02 09", 1, "AA 01 05 01 02 09"},
        {4, "AA 01 06 07", 1, "AA 01 06 07"},
        {6, "AA 01 07 08", 1, "AA 01 07 08"},
        {4, "AA 01 06 08", 0, "AA 01 06 07"},
        {4, "", 0, "AA 01 06 07"},
        {2, "", 0, ""},   // no such key
        {5, "", 0, ""},   // not hexadecimal
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(def), nullptr);
        r.ch.Reply(HexBytes(c.reply));
        EXPECT_EQ(r.h->DoFunc(&r.ch, 1, c.cmd, nullptr, 0), c.result) << c.cmd << " " << c.reply;
        EXPECT_EQ(Hex(r.ch.LastWritten()), c.sent) << c.cmd;
        if (*c.sent) {
            EXPECT_EQ(r.ch.ReadLengths()[0], 2 * (int)HexBytes(c.sent).size());
        }
    }
    // No channel, or a closed one: nothing sent.
    Rig r;
    ASSERT_NE(r.Make(def), nullptr);
    EXPECT_EQ(r.h->DoFunc(nullptr, 1, 3, nullptr, 0), 0);
    r.ch.SetOpen(false);
    EXPECT_EQ(r.h->DoFunc(&r.ch, 1, 3, nullptr, 0), 0);
    EXPECT_EQ(r.ch.Written().size(), 0u);
}

// ---------------------------------------------------------------- the skeleton's part

TEST(NormalEngine, IdentityAndDefaults) {
    Rig r;
    ASSERT_NE(r.Make("SND=adr cmd\n"), nullptr);
    EXPECT_EQ(r.h->GetType(), kType);
    EXPECT_STREQ(r.h->GetNote(), "QXYD-base");
    EXPECT_EQ(r.h->DataSize(), 0);
    EXPECT_NE(r.h->Data(), nullptr);
    EXPECT_EQ(NewNormalHandler(0x1700), nullptr);  // no file
}

}  // namespace
