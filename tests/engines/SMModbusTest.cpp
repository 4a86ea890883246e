// The Modbus engine's exchange: requests, framing, decoding, reply checks, bounds, commands.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "engines/SMModbus.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace {

using qxtest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;

const int kType = 0x1201;
const int kNet = 0x200000 | 502;  // a network channel's type code

Bytes Crc(Bytes b) {
    uint16_t c = qxsim::ModbusSlave::Crc16(b.data(), b.size());
    b.push_back((uint8_t)(c & 0xFF));
    b.push_back((uint8_t)(c >> 8));
    return b;
}

struct Rig {
    BoardRoot root;
    NoSleep nosleep;
    qxsim::ModbusSlave slave{1};
    qxtest::ScriptChannel ch;
    bool tcp = false;
    std::unique_ptr<CSMModbus, void (*)(CSMModbus*)> h{nullptr, [](CSMModbus* p) { delete p; }};

    Rig() {
        ch.SetResponder([this](const Bytes& req) {
            return tcp ? slave.HandleTcp(req.data(), req.size()).bytes
                       : slave.HandleRtu(req.data(), req.size()).bytes;
        });
    }
    CSMModbus* Make(const std::string& def) {
        root.WriteDef(kType, "[comm]\ndelay=0\n" + def);
        h.reset(static_cast<CSMModbus*>(NewModbusHandler(kType)));
        return h.get();
    }
    std::string Val(const char* key) { return h->Ini().GetValue(SEC_VALS, key, "<none>"); }
    size_t Vals() {
        size_t n = 0;
        for (auto it = h->Ini().beginKey(SEC_VALS); it != h->Ini().endKey(SEC_VALS); ++it) n++;
        return n;
    }
};

TEST(ModbusPoll, HoldingRegistersOnASerialChannel) {
    Rig r;
    ASSERT_NE(r.Make("[regs3]\n0=2\n"), nullptr);
    r.ch.SetResponder(nullptr);
    r.ch.Reply(Crc(HexBytes("01 03 04 00 FA 01 2C")));
    EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    ASSERT_EQ(r.ch.Written().size(), 1u);
    EXPECT_EQ(Hex(r.ch.Written()[0]), "01 03 00 00 00 02 C4 0B");
    EXPECT_EQ(r.Val("40001"), "250");
    EXPECT_EQ(r.Val("40002"), "300");
    EXPECT_EQ(r.Vals(), 2u);
}

TEST(ModbusPoll, BitSplitOfRegisters) {
    struct Case {
        const char* def;
        const char* key;
        int bits;
    } cases[] = {
        {"[regs3]\n0=2\n1bit=2\n", "40002", 16},
        {"[regs3]\n0=2\n1bit=1\n", "40002", 8},
        {"[regs4]\n0=2\n1bit=3\n", "30002", 16},  // at most 16, not 24
        {"[regs4]\n0=2\n1bit=-1\n", "30002", 0},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(c.def), nullptr);
        r.slave.SetHolding(1, 300);  // 0x012C: bits 2, 3, 5, 8
        r.slave.SetInput(1, 300);
        ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1) << c.def;
        EXPECT_EQ(r.ch.Written().size(), 1u) << c.def;  // the bit key sends nothing
        EXPECT_EQ(r.Val(c.key), "300");
        for (int j = 0; j < 17; j++) {
            std::string k = std::string(c.key) + "-" + std::to_string(j);
            std::string want = j >= c.bits ? "<none>" : (j == 2 || j == 3 || j == 5 || j == 8) ? "1" : "0";
            EXPECT_EQ(r.Val(k.c_str()), want) << c.def << " " << k;
        }
    }
}

TEST(ModbusPoll, CoilsAndInputsKeepTheirBitValue) {
    for (int f : {1, 2}) {
        Rig r;
        ASSERT_NE(r.Make(f == 1 ? "[regs1]\n10=8\n" : "[regs2]\n10=8\n"), nullptr);
        r.ch.SetResponder(nullptr);
        r.ch.Reply(Crc({0x01, (uint8_t)f, 0x01, 0x05}));
        ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
        EXPECT_EQ(Hex(r.ch.Written()[0]).substr(0, 17), f == 1 ? "01 01 00 0A 00 08" : "01 02 00 0A 00 08");
        const char* p = f == 1 ? "0" : "1";
        EXPECT_EQ(r.Val((std::string(p) + "0011").c_str()), "1");
        EXPECT_EQ(r.Val((std::string(p) + "0012").c_str()), "0");
        EXPECT_EQ(r.Val((std::string(p) + "0013").c_str()), "4");
        for (int n = 14; n <= 18; n++)
            EXPECT_EQ(r.Val((std::string(p) + "00" + std::to_string(n)).c_str()), "0");
        EXPECT_EQ(r.Vals(), 8u);
    }
}

TEST(ModbusPoll, AllBitsOfTheLastByteGetKeys) {
    Rig r;
    ASSERT_NE(r.Make("[regs1]\n0=3\n"), nullptr);
    r.slave.SetCoil(0, true);
    r.slave.SetCoil(2, true);
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    EXPECT_EQ(r.Vals(), 8u);
    EXPECT_EQ(r.Val("00003"), "4");
    EXPECT_EQ(r.Val("00008"), "0");
}

TEST(ModbusPoll, RequestsInSectionAndKeyOrder) {
    Rig r;
    ASSERT_NE(r.Make("[regs4]\n5=1\n[regs3]\n2=1\n10=1\n[regs1]\n0=1\n[regs2]\n7=0\n"), nullptr);
    r.slave.SetHolding(65535, 0xFFFF);
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    std::vector<std::string> heads;
    for (const Bytes& w : r.ch.Written()) heads.push_back(Hex(w).substr(0, 11));
    // Count 0 sends nothing; keys in byte order ("10" before "2").
    EXPECT_EQ(heads, (std::vector<std::string>{"01 01 00 00", "01 03 00 0A", "01 03 00 02", "01 04 00 05"}));
}

TEST(ModbusPoll, FullWordRange) {
    Rig r;
    ASSERT_NE(r.Make("[regs3]\n65535=1\n"), nullptr);
    r.slave.SetHolding(65535, 0xFFFF);
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    EXPECT_EQ(r.Val("465536"), "65535");
}

TEST(ModbusPoll, TcpFramingAndTransactionIds) {
    Rig r;
    r.tcp = true;
    ASSERT_NE(r.Make("[regs3]\n0=2\n"), nullptr);
    r.ch.SetType(kNet);
    r.slave.SetHolding(0, 250);
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    ASSERT_EQ(r.ch.Written().size(), 2u);
    EXPECT_EQ(Hex(r.ch.Written()[0]), "00 01 00 00 00 06 01 03 00 00 00 02");
    EXPECT_EQ(Hex(r.ch.Written()[1]), "00 02 00 00 00 06 01 03 00 00 00 02");
    EXPECT_EQ(r.Val("40001"), "250");

    // RTU on the same network channel with the flag.
    r.tcp = false;
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, CSMModbus::kRtuOnNet), 1);
    EXPECT_EQ(Hex(r.ch.Written()[2]), "01 03 00 00 00 02 C4 0B");
    EXPECT_EQ(r.h->TransId(), 3);
}

TEST(ModbusPoll, TcpCoilsStartAtTheFirstDataByte) {
    Rig r;
    ASSERT_NE(r.Make("[regs1]\n16=8\n"), nullptr);
    r.ch.SetType(kNet);
    r.ch.SetResponder(nullptr);
    r.ch.Reply(HexBytes("00 01 00 00 00 04 01 01 01 81"));
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    EXPECT_EQ(r.Val("00017"), "1");
    EXPECT_EQ(r.Val("00024"), "128");
    EXPECT_EQ(r.Vals(), 8u);
}

// Replies that are not a good answer to the request: the poll fails where they come, keeps
// what the earlier blocks gave and takes nothing from them.
TEST(ModbusPoll, RepliesThatFailThePoll) {
    struct Case {
        const char* name;
        bool tcp;
        qxsim::ModbusFault fault;
        int param;
    } cases[] = {
        {"silence", false, qxsim::ModbusFault::Silence, -1},
        {"exception", false, qxsim::ModbusFault::Exception, 2},
        {"short with good CRC", false, qxsim::ModbusFault::Short, -1},
        {"header only", false, qxsim::ModbusFault::Short, 3},
        {"bad CRC", false, qxsim::ModbusFault::BadCrc, -1},
        {"wrong function", false, qxsim::ModbusFault::WrongFunction, -1},
        {"wrong address", false, qxsim::ModbusFault::WrongAddress, -1},
        {"wrong byte count", false, qxsim::ModbusFault::WrongCount, -1},
        {"tcp silence", true, qxsim::ModbusFault::Silence, -1},
        {"tcp exception", true, qxsim::ModbusFault::Exception, 4},
        {"tcp short", true, qxsim::ModbusFault::Short, -1},
        {"tcp transaction", true, qxsim::ModbusFault::WrongTransaction, -1},
        {"tcp protocol", true, qxsim::ModbusFault::WrongProtocol, -1},
        {"tcp unit", true, qxsim::ModbusFault::WrongAddress, -1},
        {"tcp function", true, qxsim::ModbusFault::WrongFunction, -1},
    };
    for (const Case& c : cases) {
        Rig r;
        r.tcp = c.tcp;
        ASSERT_NE(r.Make("[regs3]\n0=1\n[regs4]\n0=2\n5=1\n"), nullptr);
        if (c.tcp) r.ch.SetType(kNet);
        r.slave.SetHolding(0, 11);
        r.slave.SetInput(0, 21);
        r.slave.SetInput(1, 22);
        r.slave.FaultOnce(qxsim::ModbusFault::None);
        r.slave.FaultOnce(c.fault, c.param);  // the second request's reply
        EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 0) << c.name;
        EXPECT_EQ(r.ch.Written().size(), 2u) << c.name;  // nothing after the failure
        EXPECT_EQ(r.Val("40001"), "11") << c.name;
        EXPECT_EQ(r.Val("30001"), "<none>") << c.name;
        EXPECT_EQ(r.Val("30002"), "<none>") << c.name;
        EXPECT_EQ(r.Vals(), 1u) << c.name;
    }
}

TEST(ModbusPoll, StaleBytesAreNotTakenForTheReply) {
    Rig r;
    ASSERT_NE(r.Make("[regs3]\n0=1\n"), nullptr);
    r.slave.SetHolding(0, 7);
    r.ch.Inject(Crc(HexBytes("01 03 02 00 63")));  // a late answer to an earlier request
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    EXPECT_EQ(r.Val("40001"), "7");
}

TEST(ModbusPoll, SplitReplyIsGathered) {
    Rig r;
    ASSERT_NE(r.Make("[regs3]\n0=2\n"), nullptr);
    r.ch.SetType(kNet);
    r.ch.SetResponder(nullptr);
    r.ch.ReplyChunks({HexBytes("00 01 00 00"), HexBytes("00 07 01 03 04 00 FA 01 2C")});
    ASSERT_EQ(r.h->DataGet(&r.ch, 1, 0), 1);
    EXPECT_EQ(r.Val("40002"), "300");
}

TEST(ModbusPoll, NothingSentWithoutLoadedFileOrOpenChannel) {
    Rig r;
    ASSERT_NE(r.Make("[regs3]\n0=1\n[vals]\nold=1\n"), nullptr);
    EXPECT_EQ(r.h->DataGet(nullptr, 1, 0), 0);
    EXPECT_EQ(r.Vals(), 0u);  // emptied before the checks
    r.ch.SetOpen(false);
    EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 0);
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(ModbusPoll, ShortWriteStopsThePoll) {
    Rig r;
    ASSERT_NE(r.Make("[regs3]\n0=1\n1=1\n"), nullptr);
    r.ch.ShortWrite(3);
    EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), 0);
    EXPECT_EQ(r.ch.Written().size(), 1u);
}

TEST(ModbusPoll, BlockBounds) {
    struct Case {
        const char* def;
        bool sent;  // the block is read
    } cases[] = {
        {"[regs3]\n0=125\n", true},   {"[regs3]\n0=126\n", false}, {"[regs4]\n0=-1\n", false},
        {"[regs1]\n0=2000\n", true},  {"[regs2]\n0=2001\n", false},
        {"[regs3]\n65535=2\n", false}, {"[regs3]\n65534=2\n", true},
        {"[regs3]\n65536=1\n", false}, {"[regs3]\nx=1\n", false},
    };
    for (bool tcp : {false, true}) {
        for (const Case& c : cases) {
            Rig r;
            r.tcp = tcp;
            ASSERT_NE(r.Make(c.def), nullptr);
            if (tcp) r.ch.SetType(kNet);
            EXPECT_EQ(r.h->DataGet(&r.ch, 1, 0), c.sent ? 1 : 0) << c.def << tcp;
            EXPECT_EQ(r.ch.Written().size(), c.sent ? 1u : 0u) << c.def << tcp;
        }
    }
}

TEST(ModbusCommand, WriteRegisterOnSerialAndNetwork) {
    Rig r;
    r.slave.SetUnit(2);
    ASSERT_NE(r.Make("[comm]\nYk03=0600100001\n"), nullptr);
    EXPECT_EQ(r.h->DoFunc(&r.ch, 2, 3, nullptr, 0), 1);
    EXPECT_EQ(Hex(r.ch.Written()[0]), Hex(Crc(HexBytes("02 06 00 10 00 01"))));
    EXPECT_EQ(r.slave.Holding(0x10), 1);

    r.tcp = true;
    r.ch.SetType(kNet);
    EXPECT_EQ(r.h->DoFunc(&r.ch, 2, 3, nullptr, 0), 1);
    EXPECT_EQ(Hex(r.ch.Written()[1]), "00 01 00 00 00 06 02 06 00 10 00 01");
    r.tcp = false;
    EXPECT_EQ(r.h->DoFunc(&r.ch, 2, 3, nullptr, CSMModbus::kRtuOnNet), 1);
    EXPECT_EQ(r.ch.Written()[2].size(), 8u);
}

TEST(ModbusCommand, RepliesThatFailTheCommand) {
    struct Case {
        const char* name;
        const char* reply;  // without CRC; null: the slave with a fault
        bool crc;
        bool ok;
    } cases[] = {
        {"echo", "02 06 00 10 00 01", true, true},
        {"exception", "02 86 02", true, false},
        {"bad CRC", "02 06 00 10 00 01 00 00", false, false},
        {"other unit", "03 06 00 10 00 01", true, false},
        {"no echo", "02 06 00 10 00 02", true, false},
        {"silence", "", false, false},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make("[comm]\nYk03=0600100001\n"), nullptr);
        r.ch.SetResponder(nullptr);
        Bytes reply = HexBytes(c.reply);
        r.ch.Reply(c.crc ? Crc(reply) : reply);
        EXPECT_EQ(r.h->DoFunc(&r.ch, 2, 3, nullptr, 0), c.ok ? 1 : 0) << c.name;
    }
}

TEST(ModbusCommand, CommandsNotSent) {
    struct Case {
        const char* def;
        int cmd;
        int flags;
    } cases[] = {
        {"[comm]\nYk03=0600100001\n", 0x10003, 0},  // bits 16..23
        {"[comm]\nYk03=0600100001\n", 4, 0},        // no entry
        {"[comm]\nYk03=060010000\n", 3, 0},         // odd digit count
        {"[comm]\nYk03=06001000GG\n", 3, 0},        // not hexadecimal
        {"", 3, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(c.def), nullptr);
        EXPECT_EQ(r.h->DoFunc(&r.ch, 1, c.cmd, nullptr, c.flags), 0) << c.def << c.cmd;
        EXPECT_TRUE(r.ch.Written().empty()) << c.def << c.cmd;
    }
}

TEST(ModbusCommand, PduMustFitTheRequestBuffer) {
    struct Case {
        int bytes;
        bool tcp;
        bool sent;
    } cases[] = {{61, false, true}, {62, false, false}, {57, true, true}, {58, true, false}};
    for (const Case& c : cases) {
        Rig r;
        // Function 0x41 (user-defined): the slave answers exception 1, but it was sent.
        ASSERT_NE(r.Make("[comm]\nYk01=" + std::string("41") + std::string(2 * (c.bytes - 1), '0') + "\n"),
                  nullptr);
        if (c.tcp) r.ch.SetType(kNet);
        r.h->DoFunc(&r.ch, 1, 1, nullptr, 0);
        ASSERT_EQ(r.ch.Written().size(), c.sent ? 1u : 0u) << c.bytes << c.tcp;
        if (c.sent) {
            EXPECT_EQ(r.ch.Written()[0].size(), (size_t)c.bytes + (c.tcp ? 7 : 3));
        }
    }
}

TEST(ModbusCommand, NotLoadedOrChannelClosed) {
    Rig r;
    ASSERT_NE(r.Make("[comm]\nYk00=0600100001\n"), nullptr);
    EXPECT_EQ(r.h->DoFunc(nullptr, 1, 0, nullptr, 0), 0);
    r.ch.SetOpen(false);
    EXPECT_EQ(r.h->DoFunc(&r.ch, 1, 0, nullptr, 0), 0);
    // The three-argument form goes through the current point's channel.
    r.ch.SetOpen(true);
    qxhost::PointItem item(1, kType);
    item.Addr(1).Ser(&r.ch);
    r.h->DoItem(item, 0);
    EXPECT_EQ(r.h->DoFunc(0, nullptr, 0), 1);
}

}  // namespace

// The unit is one byte on both framings: an address beyond it is refused, never cut to the
// unit its low bits name (257 would read unit 1 into this point). 255 and 1 are sent.
TEST(ModbusPoll, AddressThatDoesNotFitTheUnitByteSendsNothing) {
    struct Case {
        int addr;
        bool sent;
    } cases[] = {{1, true}, {255, true}, {0, true}, {256, false}, {257, false}, {65537, false}, {-1, false}};
    for (bool tcp : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE((tcp ? "TCP, addr " : "RTU, addr ") + std::to_string(c.addr));
            Rig r;
            r.tcp = tcp;
            ASSERT_NE(r.Make("[regs3]\n0=1\n[comm]\nYk03=0600100001\n"), nullptr);
            if (tcp) r.ch.SetType(kNet);
            r.slave.SetHolding(0, 250);
            int got = r.h->DataGet(&r.ch, c.addr, 0);
            if (!c.sent) {
                EXPECT_EQ(0, got);
                EXPECT_EQ(0, r.h->DoFunc(&r.ch, c.addr, 3, nullptr, 0));
                EXPECT_TRUE(r.ch.Written().empty());
                continue;
            }
            if (c.addr == 1) {
                EXPECT_EQ(1, got);
            }
            ASSERT_EQ(1u, r.ch.Written().size());
            EXPECT_EQ(c.addr, r.ch.Written()[0][tcp ? 6 : 0]);
        }
    }
}
