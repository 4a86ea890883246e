// The Modbus slave simulator: what it answers, and each of its faults, without a transport;
// then its framing on a device.
#include <string>

#include "ModbusSlave.h"
#include "SimDevice.h"
#include "gtest/gtest.h"

namespace {

using namespace qxsim;

Bytes Crc(Bytes b) {
    uint16_t c = ModbusSlave::Crc16(b.data(), b.size());
    b.push_back((uint8_t)(c & 0xFF));
    b.push_back((uint8_t)(c >> 8));
    return b;
}

std::string Rtu(ModbusSlave& s, const char* request) {
    Bytes req = Crc(Hex(request));
    return ToHex(s.HandleRtu(req.data(), req.size()).bytes);
}
std::string Tcp(ModbusSlave& s, const char* request) {
    Bytes req = Hex(request);
    return ToHex(s.HandleTcp(req.data(), req.size()).bytes);
}

TEST(ModbusSlave, Answers) {
    ModbusSlave s(1);
    s.SetHolding(0, 0x00FA);
    s.SetHolding(1, 0x012C);
    s.SetInput(5, 0xFFFF);
    s.SetCoil(10, true);
    s.SetCoil(12, true);
    s.SetDiscrete(0, true);
    struct Case {
        const char* request;  // RTU without CRC
        const char* reply;    // with CRC; "" for none
    } cases[] = {
        {"01 03 00 00 00 02", "01 03 04 00 FA 01 2C"},
        {"01 04 00 05 00 01", "01 04 02 FF FF"},
        {"01 01 00 0A 00 08", "01 01 01 05"},
        {"01 02 00 00 00 09", "01 02 02 01 00"},
        {"01 06 00 10 00 01", "01 06 00 10 00 01"},
        {"01 05 00 02 FF 00", "01 05 00 02 FF 00"},
        {"01 0F 00 20 00 0A 02 FF 03", "01 0F 00 20 00 0A"},
        {"01 10 00 30 00 02 04 00 01 00 02", "01 10 00 30 00 02"},
        {"01 2B 0E 01 00", "01 AB 01"},          // unknown function
        {"01 03 00 00 00 7E", "01 83 03"},       // 126 registers
        {"01 03 FF FF 00 02", "01 83 02"},       // beyond the map
        {"01 05 00 02 12 34", "01 85 03"},       // not a coil value
        {"02 03 00 00 00 01", ""},               // another unit
        {"00 06 00 11 00 07", ""},               // broadcast: done, no answer
    };
    for (const Case& c : cases) {
        std::string want = *c.reply ? ToHex(Crc(Hex(c.reply))) : "";
        EXPECT_EQ(Rtu(s, c.request), want) << c.request;
    }
    EXPECT_EQ(s.Holding(0x10), 1);
    EXPECT_TRUE(s.Coil(2));
    EXPECT_TRUE(s.Coil(0x20));
    EXPECT_TRUE(s.Coil(0x27));
    EXPECT_TRUE(s.Coil(0x29));
    EXPECT_FALSE(s.Coil(0x2A));
    EXPECT_EQ(s.Holding(0x31), 2);
    EXPECT_EQ(s.Holding(0x11), 7);

    Bytes bad = Crc(Hex("01 03 00 00 00 01"));
    bad.back() ^= 1;
    EXPECT_TRUE(s.HandleRtu(bad.data(), bad.size()).bytes.empty());  // a bad request: silence
    EXPECT_EQ(s.RequestCount(), sizeof cases / sizeof cases[0] + 1);

    EXPECT_EQ(Tcp(s, "12 34 00 00 00 06 01 03 00 01 00 01"), "12 34 00 00 00 05 01 03 02 01 2C");
    EXPECT_EQ(Tcp(s, "12 34 00 00 00 06 FF 03 00 01 00 01"), "12 34 00 00 00 05 FF 03 02 01 2C");
    EXPECT_EQ(Tcp(s, "12 34 00 01 00 06 01 03 00 01 00 01"), "");  // protocol id 1
    EXPECT_EQ(Tcp(s, "12 34 00 00 00 07 01 03 00 01 00 01"), "");  // length field wrong
}

// Once the addresses a device has are named, a request that touches any other, read or
// write, is answered with exception 02 and does nothing; counts and values are checked
// first (exception 03). A table with no address named then has none.
TEST(ModbusSlave, AddressesTheDeviceLacksGetExceptionTwo) {
    ModbusSlave s(1);
    s.ServeHolding(10, 4);  // 10-13
    s.ServeHolding(14, 2);  // 14-15: adjoining ranges read as one block
    s.ServeInput(0, 2);
    s.ServeCoils(5);
    s.ServeDiscrete(0, 8);
    s.SetHolding(10, 0x1234);
    s.SetHolding(15, 0x5678);
    struct Case {
        const char* request;  // RTU without CRC
        const char* reply;
    } cases[] = {
        {"01 03 00 0A 00 06", "01 03 0C 12 34 00 00 00 00 00 00 00 00 56 78"},
        {"01 03 00 09 00 02", "01 83 02"},  // starts before the range
        {"01 03 00 0F 00 02", "01 83 02"},  // ends after it
        {"01 03 00 20 00 01", "01 83 02"},
        {"01 03 00 0A 00 7E", "01 83 03"},  // a count beyond the limit first
        {"01 04 00 00 00 02", "01 04 04 00 00 00 00"},
        {"01 04 00 01 00 02", "01 84 02"},
        {"01 04 00 0A 00 01", "01 84 02"},  // a holding register is not an input register
        {"01 01 00 05 00 01", "01 01 01 00"},
        {"01 01 00 04 00 02", "01 81 02"},
        {"01 02 00 00 00 08", "01 02 01 00"},
        {"01 02 00 00 00 09", "01 82 02"},
        {"01 06 00 0B 00 07", "01 06 00 0B 00 07"},
        {"01 06 00 10 00 07", "01 86 02"},
        {"01 05 00 05 FF 00", "01 05 00 05 FF 00"},
        {"01 05 00 06 FF 00", "01 85 02"},
        {"01 05 00 06 12 34", "01 85 03"},  // not a coil value: 03 before the address
        {"01 0F 00 05 00 02 01 03", "01 8F 02"},
        {"01 10 00 0E 00 02 04 00 01 00 02", "01 10 00 0E 00 02"},
        {"01 10 00 0F 00 02 04 00 03 00 04", "01 90 02"},
        {"01 08 00 0C 00 01 00 09", "01 08 00 0C 00 01 00 09"},
        {"01 08 00 20 00 01 00 09", "01 88 02"},
    };
    for (const Case& c : cases) EXPECT_EQ(Rtu(s, c.request), ToHex(Crc(Hex(c.reply)))) << c.request;
    EXPECT_EQ(Tcp(s, "00 09 00 00 00 06 01 03 00 10 00 01"), "00 09 00 00 00 03 01 83 02");
    // The refused writes left the map as it was; the others took effect.
    EXPECT_EQ(s.Holding(0x10), 0);
    EXPECT_EQ(s.Holding(0x0F), 2);
    EXPECT_EQ(s.Holding(0x0B), 7);
    EXPECT_EQ(s.Holding(0x0C), 9);
    EXPECT_FALSE(s.Coil(6));
    EXPECT_TRUE(s.Coil(5));

    ModbusSlave h(1);
    h.ServeHolding(0);
    h.ServeHolding(0);  // named again: still the one register
    EXPECT_EQ(Rtu(h, "01 03 00 00 00 01"), ToHex(Crc(Hex("01 03 02 00 00"))));
    EXPECT_EQ(Rtu(h, "01 03 00 00 00 02"), ToHex(Crc(Hex("01 83 02"))));
    EXPECT_EQ(Rtu(h, "01 01 00 00 00 01"), ToHex(Crc(Hex("01 81 02")))) << "no coil named: none";
    EXPECT_EQ(Rtu(h, "01 04 00 00 00 01"), ToHex(Crc(Hex("01 84 02"))));

    // A slave serving one device after another: ClearMap serves every address again.
    s.ClearMap();
    EXPECT_EQ(Rtu(s, "01 03 00 20 00 01"), ToHex(Crc(Hex("01 03 02 00 00"))));
    EXPECT_EQ(Rtu(s, "01 01 00 06 00 01"), ToHex(Crc(Hex("01 01 01 00"))));
}

TEST(ModbusSlave, Faults) {
    struct Case {
        ModbusFault fault;
        int param;
        bool tcp;
        const char* reply;  // RTU: without CRC unless crc is false
        bool crc;
    } cases[] = {
        {ModbusFault::Silence, -1, false, "", false},
        {ModbusFault::Exception, -1, false, "01 83 04", true},
        {ModbusFault::Exception, 2, false, "01 83 02", true},
        {ModbusFault::Short, -1, false, "01 03 04 00 FA 01", true},
        {ModbusFault::Short, 3, false, "01 03 04", true},
        {ModbusFault::BadCrc, -1, false, "01 03 04 00 FA 01 2C 25 4F", false},  // DA 4F inverted
        {ModbusFault::WrongFunction, -1, false, "01 04 04 00 FA 01 2C", true},
        {ModbusFault::WrongAddress, -1, false, "02 03 04 00 FA 01 2C", true},
        {ModbusFault::WrongCount, -1, false, "01 03 05 00 FA 01 2C", true},
        {ModbusFault::Exception, -1, true, "00 07 00 00 00 03 01 83 04", false},
        {ModbusFault::Short, -1, true, "00 07 00 00 00 06 01 03 04 00 FA 01", false},
        {ModbusFault::WrongTransaction, -1, true, "00 08 00 00 00 07 01 03 04 00 FA 01 2C", false},
        {ModbusFault::WrongProtocol, -1, true, "00 07 00 01 00 07 01 03 04 00 FA 01 2C", false},
        {ModbusFault::WrongAddress, -1, true, "00 07 00 00 00 07 02 03 04 00 FA 01 2C", false},
    };
    for (const Case& c : cases) {
        ModbusSlave s(1);
        s.SetHolding(0, 0x00FA);
        s.SetHolding(1, 0x012C);
        s.FaultOnce(c.fault, c.param);
        std::string got = c.tcp ? Tcp(s, "00 07 00 00 00 06 01 03 00 00 00 02")
                                : Rtu(s, "01 03 00 00 00 02");
        std::string want = !*c.reply ? "" : c.crc ? ToHex(Crc(Hex(c.reply))) : ToHex(Hex(c.reply));
        EXPECT_EQ(got, want) << (int)c.fault << " tcp=" << c.tcp;
        // A fault planned once is used once.
        EXPECT_EQ(Rtu(s, "01 03 00 00 00 01"), ToHex(Crc(Hex("01 03 02 00 FA"))));
    }
}

TEST(ModbusSlave, StandingFaultsLateRepliesAndOneBytePerInput) {
    ModbusSlave s(1);
    s.SetDiscrete(1, true);
    s.SetDiscrete(2, true);
    s.SetFault(ModbusFault::BytePerInput);
    EXPECT_EQ(Rtu(s, "01 02 00 00 00 03"), ToHex(Crc(Hex("01 02 03 00 01 01"))));
    EXPECT_EQ(Rtu(s, "01 02 00 00 00 03"), ToHex(Crc(Hex("01 02 03 00 01 01"))));
    s.ClearFault();
    EXPECT_EQ(Rtu(s, "01 02 00 00 00 03"), ToHex(Crc(Hex("01 02 01 06"))));

    s.FaultOnce(ModbusFault::Late, 700);
    Bytes req = Crc(Hex("01 02 00 00 00 03"));
    ModbusReply r = s.HandleRtu(req.data(), req.size());
    EXPECT_EQ(r.delayMs, 700);
    EXPECT_EQ(ToHex(r.bytes), ToHex(Crc(Hex("01 02 01 06"))));
}

TEST(ModbusSlave, ModuleInputRegistersOneByteEach) {
    ModbusSlave s(1);
    s.SetInput(0, 1);
    s.SetInput(2, 0x0102);
    s.SetFault(ModbusFault::BytePerRegister);
    EXPECT_EQ(Rtu(s, "01 04 00 00 00 03"), ToHex(Crc(Hex("01 04 03 01 00 02"))));
    EXPECT_EQ(Rtu(s, "01 03 00 00 00 01"), ToHex(Crc(Hex("01 03 02 00 00")))) << "holding registers stay two bytes";
    s.SetFault(ModbusFault::BytePerInput);
    EXPECT_EQ(Rtu(s, "01 04 00 00 00 01"), ToHex(Crc(Hex("01 04 02 00 01")))) << "inputs one byte, registers two";
}

TEST(ModbusSlave, ModuleOutputWriteWithoutByteCountIsEchoed) {
    ModbusSlave s(1);
    EXPECT_EQ(Rtu(s, "01 08 00 41 00 01 00 01"), ToHex(Crc(Hex("01 08 00 41 00 01 00 01"))));
    EXPECT_EQ(1, s.Holding(0x41));
    EXPECT_EQ(Rtu(s, "01 08 00 41 00 02 00 01"), ToHex(Crc(Hex("01 88 03"))));
    const Bytes req = Crc(Hex("01 08 00 41 00 02 00 01 00 02"));
    EXPECT_EQ(0u, ModbusSlave::RtuRequestLength(req.data(), 5));
    EXPECT_EQ(req.size(), ModbusSlave::RtuRequestLength(req.data(), 6));
}

TEST(ModbusSlave, ServedOnADeviceCutsRequestsAndAppliesDeviceFaults) {
    ModbusSlave s(1);
    s.SetHolding(0, 9);
    Device rtu;
    ServeModbusRtu(rtu, s);
    std::vector<std::vector<Chunk>> answers;
    Bytes pending = Crc(Hex("01 03 00 00 00 01"));
    Bytes second = Crc(Hex("01 06 00 00 00 05"));
    pending.insert(pending.end(), second.begin(), second.begin() + 3);
    rtu.Feed(pending, answers);  // one whole request and the start of the next
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(pending.size(), 3u);
    pending.insert(pending.end(), second.begin() + 3, second.end());
    rtu.Feed(pending, answers);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(s.Holding(0), 5);

    s.FaultOnce(ModbusFault::Late, 300);  // the device waits before it answers
    std::vector<Chunk> late = rtu.Answer(Crc(Hex("01 03 00 00 00 01")));
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].delayMs, 300);

    rtu.InjectFault(Fault::Exception, 1);
    std::vector<Chunk> a = rtu.Answer(Crc(Hex("01 03 00 00 00 01")));
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(ToHex(a.back().data), ToHex(Crc(Hex("01 83 04"))));

    Device tcp;
    ServeModbusTcp(tcp, s);
    answers.clear();
    pending = Hex("00 01 00 00 00 06 01 03 00 00 00 01 00 02 00 00");
    tcp.Feed(pending, answers);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(pending.size(), 4u);
    std::string all;
    for (const Chunk& c : answers[0]) all += ToHex(c.data);
    EXPECT_EQ(all, "00 01 00 00 00 05 01 03 02 00 05");
}

}  // namespace
