// The Modbus RTU UPS drivers GX, HR7000, IPGuard (tbUps), HTxx (tbUpsEx) and the 9E on Modbus:
// the requests and waits of each, their register maps, the fault words and input bytes, which
// replies are refused on which exchange and what a refusal leaves, the refused address, the
// commands, and what registration and storing write.
#include <stdint.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "UpsModbusMaps.h"
#include "gtest/gtest.h"
#include "ups/SMUPS9EModbus.h"
#include "ups/SMUpsGX.h"
#include "ups/SMUpsHR7000.h"
#include "ups/SMUpsHTxx.h"
#include "ups/SMUpsIPGuard.h"

using qxsim::ModbusFault;
using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

const int kGX = 0x30C, kHR7000 = 0x30B, kIPGuard = 0x305, kHTxx = 0x315, k9E = 0x312;

CSMBase* Make(int type) {
    switch (type) {
    case kGX: return new CSMUpsGX;
    case kHR7000: return new CSMUpsHR7000;
    case kIPGuard: return new CSMUpsIPGuard;
    case kHTxx: return new CSMUpsHTxx;
    default: return new CSMUPS9EModbus;
    }
}

// Distinct readings, so that every field shows which register it came from.
qxsim::UpsReadings Readings(int base = 0) {
    qxsim::UpsReadings r;
    r.vin1 = (uint16_t)(2301 + base), r.vin2 = 2302, r.vin3 = 2303, r.fin = 501;
    r.vout = 2311, r.aout = 121, r.fout = 502, r.pout = 555, r.tem = 251;
    r.vbatt = 2721, r.pbatt = 999, r.mbatt = 301;
    r.ved = 2200, r.aed = 122, r.vaed = 3000, r.vdc = 2722, r.fed = 503;
    r.v2 = 2312, r.v3 = 2313, r.v4 = 123;
    return r;
}

qxsim::UpsExReadings ExReadings(int base = 0) {
    qxsim::UpsExReadings r;
    for (int p = 0; p < 3; p++) {
        r.vin[p] = (uint16_t)(2301 + p + base), r.iin[p] = (uint16_t)(101 + p);
        r.fin[p] = (uint16_t)(5003 + p * 10), r.vout[p] = (uint16_t)(2311 + p);
        r.iout[p] = (uint16_t)(111 + p), r.fout[p] = (uint16_t)(4999 + p * 10);
    }
    r.vbatt = 2721, r.tem = 251, r.mbatt = 301, r.pbatt = 999;
    return r;
}

// Lays the readings on the slave the way the model holds them.
void Lay(int type, qxsim::ModbusSlave& s, int base = 0) {
    static const bool kNoInputs[21] = {};
    switch (type) {
    case kGX: qxsim::SetUpsGx(s, Readings(base)); break;
    case kHR7000: qxsim::SetUpsHr7000(s, Readings(base)); break;
    case kIPGuard: qxsim::SetUpsIpGuard(s, Readings(base), kNoInputs); break;
    case kHTxx: qxsim::SetUpsHtxx(s, ExReadings(base)); break;
    default: qxsim::SetUps9E(s, Readings(base), 0); break;
    }
}

// One UPS of the type at Modbus unit 1 behind a scripted channel, one point of it.
struct Rig {
    explicit Rig(int type, int variant = 0) : h(Make(type)), item(51, type) {
        ch.SetResponder([this](const Bytes& req) {
            return slave.HandleRtu(req.data(), req.size()).bytes;
        });
        Lay(type, slave);
        item.Name("UPS-M").Port(2).Addr(1).Variant(variant).Ser(&ch);
        h->DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0, int addr = 1) { return h->DataGet(&ch, addr, wait); }
    std::vector<std::string> Sent() const {
        std::vector<std::string> s;
        for (const Bytes& w : ch.Written()) s.push_back(qxtest::Hex(w));
        return s;
    }

    std::unique_ptr<CSMBase> h;
    qxsim::ModbusSlave slave{1};
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
};

// A reply with its CRC appended, low byte first.
Bytes Rtu(const std::string& hex) {
    Bytes b = qxtest::HexBytes(hex);
    uint16_t c = qxsim::ModbusSlave::Crc16(b.data(), b.size());
    b.push_back((uint8_t)(c & 0xFF));
    b.push_back((uint8_t)(c >> 8));
    return b;
}

// "01 04 66" and n data bytes of `fill`.
std::string Head(const char* head, int n, const char* fill = "00") {
    std::string s = head;
    for (int i = 0; i < n; i++) s += std::string(" ") + fill;
    return s;
}

}  // namespace

// ---------------------------------------------------------------- requests and waits

TEST(UpsModbusRequests, FramesAndWaitsOfEachDriver) {
    const std::string gx = "01 03 00 01 00 38 15 D8", gxCheck = "01 04 00 51 00 01 60 1B";
    const std::string ipg = "01 04 00 19 00 33 61 D8", ipgIn = "01 02 00 11 00 15 E9 C0";
    const std::string ht1 = "01 03 00 0D 00 39 14 1B", ht2 = "01 04 00 53 00 39 C0 09";
    const std::vector<std::string> e9 = {"01 04 01 01 00 52 21 CB", "01 02 04 68 00 08 F9 20",
                                         "01 02 04 91 00 08 29 11", "01 02 04 C2 00 08 D9 00",
                                         "01 02 04 91 00 08 29 11"};
    struct Case {
        int type, variant, wait;
        std::vector<std::string> sent;
        std::vector<int> sleeps;
    } const cases[] = {
        // GX reads at once, whatever the host's wait.
        {kGX, 0, 0, {gx, gxCheck}, {}},
        {kGX, 0, 500, {gx, gxCheck}, {}},
        {kHR7000, 0, 0, {"01 04 00 01 00 42 21 FB"}, {100}},
        {kHR7000, 0, 100, {"01 04 00 01 00 42 21 FB"}, {100}},
        {kHR7000, 0, 101, {"01 04 00 01 00 42 21 FB"}, {101}},
        // IPGuard's 100 ms are fixed.
        {kIPGuard, 0, 0, {ipg, ipgIn}, {100, 100}},
        {kIPGuard, 0, 500, {ipg, ipgIn}, {100, 100}},
        {kHTxx, 0, 0, {ht1, ht2}, {200, 200}},
        {kHTxx, 0, 150, {ht1, ht2}, {150, 150}},
        {k9E, 0, 0, e9, {100, 100, 100, 100, 100}},
        {k9E, 2, 300, e9, {300, 300, 300, 300, 300}},
    };
    for (const Case& c : cases) {
        Rig r(c.type, c.variant);
        const std::string what = "type " + std::to_string(c.type) + " wait " + std::to_string(c.wait);
        EXPECT_EQ(1, r.Poll(c.wait)) << what;
        EXPECT_EQ(c.sent, r.Sent()) << what;
        EXPECT_EQ(c.sleeps, g_sleeps) << what;
    }
    // The bus address is the point's: unit 7.
    Rig r(kGX);
    r.slave.SetUnit(7);
    EXPECT_EQ(1, r.Poll(0, 7));
    EXPECT_EQ("07 03 00 01 00 38 15 BE", r.Sent()[0]);
}

TEST(UpsModbusRequests, AnAddressBeyondOneByteIsRefusedWithNothingSent) {
    for (int type : {kGX, kHR7000, kIPGuard, kHTxx, k9E}) {
        for (int addr : {256, 257, -1}) {
            Rig r(type);
            EXPECT_EQ(0, r.Poll(0, addr)) << type << " at " << addr;
            EXPECT_TRUE(r.ch.Written().empty()) << type << " at " << addr;
        }
        Rig r(type);
        r.slave.SetUnit(255);
        EXPECT_EQ(1, r.Poll(0, 255)) << type;
    }
}

// ---------------------------------------------------------------- decoding

TEST(UpsModbusDecode, RegisterMapsOfTheSinglePhaseDrivers) {
    const qxsim::UpsReadings in = Readings();
    const std::map<int, int> reading = {
        {kUpsVin1, in.vin1}, {kUpsVin2, in.vin2}, {kUpsVin3, in.vin3}, {kUpsFin, in.fin},
        {kUpsVout, in.vout}, {kUpsAout, in.aout}, {kUpsFout, in.fout}, {kUpsPout, in.pout},
        {kUpsTem, in.tem},   {kUpsVbatt, in.vbatt}, {kUpsPbatt, in.pbatt}, {kUpsMbatt, in.mbatt},
        {kUpsVed, in.ved},   {kUpsAed, in.aed},   {kUpsVAed, in.vaed}, {kUpsVdc, in.vdc},
        {kUpsFed, in.fed},   {kUpsV1, 0},         {kUpsV2, in.v2},     {kUpsV3, in.v3},
        {kUpsV4, in.v4},
    };
    const std::vector<int> gxFields = {kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin,   kUpsVout,
                                       kUpsV2,   kUpsV3,   kUpsAout, kUpsAed,   kUpsV4,
                                       kUpsFout, kUpsTem,  kUpsVbatt, kUpsMbatt, kUpsPbatt};
    struct Case {
        int type;
        std::vector<int> decoded;  // fields that hold their reading; the others are 0
    } const cases[] = {
        {kGX, gxFields},
        {kHR7000, gxFields},  // the same fields at other registers
        {kIPGuard, {kUpsVdc, kUpsMbatt, kUpsVbatt, kUpsFin, kUpsVin1, kUpsVin2, kUpsVin3,
                    kUpsFout, kUpsVout, kUpsAout, kUpsFed, kUpsVed, kUpsAed, kUpsVAed, kUpsPout,
                    kUpsPbatt, kUpsTem}},
        {k9E, {kUpsVin1, kUpsVin2, kUpsVin3, kUpsAout, kUpsAed, kUpsV4, kUpsVout, kUpsV2, kUpsV3,
               kUpsVbatt, kUpsFin, kUpsFout, kUpsMbatt, kUpsPbatt}},
    };
    for (const Case& c : cases) {
        Rig r(c.type);
        ASSERT_EQ(1, r.Poll()) << c.type;
        for (const auto& f : reading) {
            bool decoded = false;
            for (int d : c.decoded) decoded = decoded || d == f.first;
            EXPECT_EQ(decoded ? f.second : 0, r.h->DataVal(f.first))
                << "type " << c.type << " field " << f.first;
        }
        EXPECT_EQ(0, r.h->DataVal(kUpsStatus)) << c.type;
        EXPECT_STREQ("", qxhost::TextOfVal(r.h->DataVal(kUpsCompany))) << c.type;
    }
}

TEST(UpsModbusDecode, Hr7000FaultWordsMakeB4) {
    for (int reg = 57; reg <= 67; reg++) {
        Rig r(kHR7000);
        r.slave.SetInput(58, 0);
        r.slave.SetInput((uint16_t)reg, 0x8000);
        ASSERT_EQ(1, r.Poll()) << reg;
        const bool fault = reg >= 58 && reg <= 66;  // 57 is no fault word, 67 is not read
        EXPECT_EQ(fault ? 1 : 0, r.h->DataVal(kUpsB4)) << reg;
        EXPECT_EQ(fault ? 16 : 0, r.h->DataVal(kUpsStatus)) << reg;
        for (int f = kUpsB7; f <= kUpsB0; f++)
            if (f != kUpsB4) {
                EXPECT_EQ(0, r.h->DataVal(f)) << reg << " field " << f;
            }
    }
}

TEST(UpsModbusDecode, IpGuardInputBytes) {
    struct Case {
        std::vector<int> on;          // data bytes (input 17 + k) that are 1
        std::vector<int> b7to0;       // b7, b6, ..., b0
    } const cases[] = {
        {{}, {0, 0, 0, 0, 0, 0, 0, 0}},
        {{6, 14}, {1, 1, 0, 0, 0, 0, 0, 0}},
        {{13}, {0, 128, 0, 0, 0, 0, 0, 0}},
        {{20}, {64, 0, 0, 0, 0, 0, 0, 0}},
        {{0, 1, 2, 3, 4, 5}, {0, 0, 1, 1, 1, 1, 1, 1}},
        {{2, 7, 15}, {2, 2, 0, 0, 0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        Rig r(kIPGuard);
        bool inputs[21] = {};
        for (int k : c.on) inputs[k] = true;
        qxsim::SetUpsIpGuard(r.slave, Readings(), inputs);
        ASSERT_EQ(1, r.Poll());
        for (int i = 0; i < 8; i++)
            EXPECT_EQ(c.b7to0[i], r.h->DataVal(kUpsB7 + i)) << "b" << 7 - i << " of " << c.on.size();
        EXPECT_EQ(0, r.h->DataVal(kUpsStatus));
    }
    // b0..b5 are the bytes as the UPS sends them.
    Rig r(kIPGuard);
    r.ch.Reply(r.slave.HandleRtu(qxtest::HexBytes("01 04 00 19 00 33 61 D8").data(), 8).bytes);
    r.ch.Reply(Rtu("01 02 15 00 00 00 05 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(5, r.h->DataVal(kUpsB3));
}

TEST(UpsModbusDecode, HtxxPhasesFrequenciesAndStatusWords) {
    Rig r(kHTxx);
    qxsim::UpsExReadings in = ExReadings();
    in.states[0] = 1;  // b15 alone
    qxsim::SetUpsHtxx(r.slave, in);
    ASSERT_EQ(1, r.Poll());
    CSMUpsHTxx& h = static_cast<CSMUpsHTxx&>(*r.h);
    const UpsExRecord& rec = h.m_rec;
    EXPECT_EQ(32768, rec.status);
    EXPECT_EQ(1, rec.b15);
    EXPECT_EQ(500, rec.Fin1) << "5003 hundredths of a hertz";
    EXPECT_EQ(501, rec.Fin2);
    EXPECT_EQ(502, rec.Fin3);
    EXPECT_EQ(499, rec.Fout1);
    EXPECT_EQ(500, rec.Fout2);
    EXPECT_EQ(501, rec.Fout3);
    const int32_t want[][2] = {
        {rec.Vin1, 2301}, {rec.Vin2, 2302}, {rec.Vin3, 2303}, {rec.Iin1, 101}, {rec.Iin3, 103},
        {rec.Vout1, 2311}, {rec.Vout3, 2313}, {rec.Iout1, 111}, {rec.Iout3, 113},
        {rec.Vbatt, 2721}, {rec.Tem, 251}, {rec.Mbatt, 301}, {rec.Pbatt, 999},
        {rec.VB1, 0}, {rec.Pout1, 0},
    };
    for (const auto& w : want) EXPECT_EQ(w[1], w[0]);

    // The status words as they come, their weighted sum in 32 bits.
    static const uint16_t kRegs[16] = {83, 84, 85, 86, 87, 88, 91, 96,
                                       97, 99, 107, 108, 110, 111, 112, 113};
    for (int k = 0; k < 16; k++) r.slave.SetInput(kRegs[k], (uint16_t)(k == 15 ? 3 : 1));
    r.slave.SetInput(89, 1);  // between the named words: not read
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(3, rec.b0) << "stored raw";
    EXPECT_EQ(65535 + 2, rec.status);
}

TEST(UpsModbusDecode, HtxxKeepsWhatIsNoReadingOfIt) {
    Rig r(kHTxx);
    CSMUpsHTxx& h = static_cast<CSMUpsHTxx&>(*r.h);
    h.m_rec.Vdc = 7, h.m_rec.v4 = 8, h.m_rec.VAed = 9, h.m_rec.Pout2 = 10;
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(7, h.m_rec.Vdc);
    EXPECT_EQ(8, h.m_rec.v4);
    EXPECT_EQ(0, h.m_rec.VAed);
    EXPECT_EQ(0, h.m_rec.Pout2);
}

// ---------------------------------------------------------------- refused replies

// Each exchange of each driver answered wrongly in each way: the first exchange keeps the
// last poll's record; later ones end the poll as the device's protocol says, with the values
// of the exchanges before them already new.
TEST(UpsModbusRefusal, EachFaultOnEachExchange) {
    struct Fault {
        const char* name;
        ModbusFault kind;
        int param;
    } const faults[] = {
        {"silence", ModbusFault::Silence, -1},     {"exception", ModbusFault::Exception, 4},
        {"short", ModbusFault::Short, -1},         {"bad CRC", ModbusFault::BadCrc, -1},
        {"wrong count", ModbusFault::WrongCount, -1}, {"wrong unit", ModbusFault::WrongAddress, -1},
        {"wrong function", ModbusFault::WrongFunction, -1},
    };
    struct Case {
        int type;
        int exchange;  // the exchange that fails (0 first)
        int result;
    } const cases[] = {
        {kGX, 0, 0},      {kGX, 1, 0},  {kHR7000, 0, 0}, {kIPGuard, 0, 0}, {kIPGuard, 1, 1},
        {kHTxx, 0, 0},    {kHTxx, 1, 0}, {k9E, 0, 0},    {k9E, 1, 0},      {k9E, 2, 0},
        {k9E, 3, 0},      {k9E, 4, 0},
    };
    for (const Case& c : cases) {
        for (const Fault& f : faults) {
            const std::string what = "type " + std::to_string(c.type) + " exchange " +
                                     std::to_string(c.exchange) + ": " + f.name;
            Rig r(c.type);
            ASSERT_EQ(1, r.Poll()) << what;
            Lay(c.type, r.slave, 1000);  // the next poll's readings
            if (c.type == k9E) r.slave.SetDiscrete(1128, true);
            if (c.type == kIPGuard) r.slave.SetDiscrete(17, true);
            for (int i = 0; i < c.exchange; i++) r.slave.FaultOnce(ModbusFault::None);
            r.slave.FaultOnce(f.kind, f.param);
            const size_t before = r.ch.Written().size();
            EXPECT_EQ(c.result, r.Poll()) << what;
            // Nothing is asked after a refused exchange that ends the poll.
            if (c.result == 0) {
                EXPECT_EQ((size_t)c.exchange + 1, r.ch.Written().size() - before) << what;
            }
            const int vin1 = r.h->DataVal(1);
            EXPECT_EQ(c.exchange == 0 ? 2301 : 3301, vin1) << what;
            if (c.type == k9E && c.exchange > 1) {
                EXPECT_EQ(1, r.h->DataVal(kUpsB7)) << what;
            }
            if (c.type == kIPGuard) {
                EXPECT_EQ(0, r.h->DataVal(kUpsB0)) << what;
            }
        }
    }
}

TEST(UpsModbusRefusal, IpGuardRepliesNeedEveryByteTheyCarry) {
    // First reply: 51 registers are 107 bytes; 106 with a good CRC is refused.
    Rig r(kIPGuard);
    r.slave.FaultOnce(ModbusFault::Short, 104);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());

    // Input reply: 21 data bytes, 26 in all. Shorter ones with a good CRC, or the standard
    // three bytes of 21 inputs, give the values with the bits at 0.
    struct Case {
        const char* name;
        Bytes reply;
    } const cases[] = {
        {"25 bytes", Rtu(Head("01 02 15", 20, "01"))},
        {"count 20", Rtu(Head("01 02 14", 20, "01"))},
        {"one bit per input", Rtu("01 02 03 FF FF 1F")},
        {"bad CRC", [] { Bytes b = Rtu(Head("01 02 15", 21, "01")); b.back() ^= 1; return b; }()},
        {"function 4", Rtu(Head("01 04 15", 21, "01"))},
    };
    for (const Case& c : cases) {
        Rig q(kIPGuard);
        q.ch.Reply(q.slave.HandleRtu(qxtest::HexBytes("01 04 00 19 00 33 61 D8").data(), 8).bytes);
        q.ch.Reply(c.reply);
        EXPECT_EQ(1, q.Poll()) << c.name;
        EXPECT_EQ(2301, q.h->DataVal(kUpsVin1)) << c.name;
        for (int f = kUpsStatus; f <= kUpsB0; f++) EXPECT_EQ(0, q.h->DataVal(f)) << c.name;
    }
    Rig q(kIPGuard);
    q.ch.Reply(q.slave.HandleRtu(qxtest::HexBytes("01 04 00 19 00 33 61 D8").data(), 8).bytes);
    q.ch.Reply(Rtu(Head("01 02 15", 21, "01")));
    EXPECT_EQ(1, q.Poll());
    EXPECT_EQ(255, q.h->DataVal(kUpsB6)) << "26 bytes: taken";
}

TEST(UpsModbusRefusal, ClosedOrMissingChannel) {
    for (int type : {kGX, kHR7000, kIPGuard, kHTxx, k9E}) {
        Rig r(type);
        EXPECT_EQ(0, r.h->DataGet(nullptr, 1, 0)) << type;
        r.ch.SetOpen(false);
        EXPECT_EQ(0, r.Poll()) << type;
        EXPECT_TRUE(r.ch.Written().empty()) << type;
    }
}

// ---------------------------------------------------------------- commands

TEST(UpsModbusCommands, OnlyIpGuardHasOne) {
    struct Case {
        int type, command, result;
        std::string sent;
    } const cases[] = {
        {kIPGuard, 1, 1, "51 0D"},
        {kIPGuard, 2, 0, ""},
        {kIPGuard, 0, 0, ""},
        {kGX, 1, 0, ""},
        {kGX, 7, 0, ""},
        {kHR7000, 1, 0, ""},
        {kHTxx, 1, 0, ""},
        {k9E, 1, 0, ""},
    };
    for (const Case& c : cases) {
        Rig r(c.type);
        EXPECT_EQ(c.result, r.h->DoFunc(&r.ch, 1, c.command, nullptr, 0)) << c.type << "/" << c.command;
        EXPECT_EQ(c.sent, qxtest::Hex(r.ch.LastWritten())) << c.type << "/" << c.command;
    }
    Rig r(kIPGuard);
    EXPECT_EQ(1, r.h->DoFunc(1, nullptr, 0)) << "through the point's channel";
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h->DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_EQ(0, r.h->DoFunc(nullptr, 1, 1, nullptr, 0));
}

// ---------------------------------------------------------------- values, texts, storing

TEST(UpsModbusValues, SizesFlagsAndDisplayTexts) {
    struct Case {
        int type, size, flag34;
        const char* vin;  // VarEval(".Vin") after a poll, null for none
    } const cases[] = {
        {kGX, 38, 0, nullptr},       {kHR7000, 38, 0, nullptr}, {kIPGuard, 33, -1, "230.1"},
        {k9E, 33, -1, "230.1"},
    };
    for (const Case& c : cases) {
        Rig r(c.type);
        ASSERT_EQ(1, r.Poll()) << c.type;
        EXPECT_EQ(c.size, r.h->DataSize()) << c.type;
        EXPECT_EQ(c.flag34, r.h->DataVal(34)) << c.type;
        EXPECT_EQ(c.flag34, r.h->DataVal(35)) << c.type;
        EXPECT_EQ(-1, r.h->DataVal(36)) << c.type;
        char text[64] = ".Vin";
        if (c.vin) {
            EXPECT_LT(0, r.h->VarEval(text)) << c.type;
            EXPECT_STREQ(c.vin, text) << c.type;
        } else {
            EXPECT_EQ(-1, r.h->VarEval(text)) << c.type;
        }
    }
    // The three-phase record's 63 fields, its display keys those of the base.
    Rig r(kHTxx);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(63, r.h->DataSize());
    char text[64] = ".Fin1";
    EXPECT_LT(0, r.h->VarEval(text));
    EXPECT_STREQ("50.0", text);
}

// Registration, tables and the rows of a poll in the main and a fresh history database.
struct Stored : ::testing::Test {
    void Bind(CSMBase& h) {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
    }
    TestDb db, hist;
};

TEST_F(Stored, TypeAndDefinitionRows) {
    struct Case {
        int type;
        const char* name;
        const char* desc;
        std::string flds;  // Fld of the rows in registration order
    } const cases[] = {
        {kGX, "GX UPS UPS-GX", "232接口...", "1,4,5,6,7,11,13,14"},
        {kHR7000, "SENTRY UPS UPS-HR7000", "232接口...", "1,4,5,6,7,14"},
        {kIPGuard, "QX-UPSIPG", "UPS-IPGUARD", "1,2,3,4,5,6,7,8,11,12,13,14,15,16,17,18,19,20,21"},
        {k9E, "UPS QX-9E", "UPS 9E...", "1,2,3,4,5,28,29,6,23,30,7,11,12,13,14,15,16,17,18,19,20"},
        {kHTxx, "UPS QXUPS-HTxx-RMX", "UPS 三相输入输出...",
         "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,22,24,25,26,27,28,29,30,31,32,33,34,35,"
         "36,37,38,39,40,41,42"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CSMBase> h(Make(c.type));
        Bind(*h);
        const std::string t = std::to_string(c.type);
        EXPECT_EQ(Hex(c.name), Hex(db.Str("select Name from tbSMType where Type=" + t))) << t;
        EXPECT_EQ(Hex(c.desc), Hex(db.Str("select Note from tbSMType where Type=" + t))) << t;
        EXPECT_EQ(c.flds, db.Str("select group_concat(Fld) from (select Fld from tbSMDef where "
                                 "Type=" + t + " order by rowid)")) << t;
    }
}

TEST_F(Stored, RowsTheDriversOwnSpelledOut) {
    std::unique_ptr<CSMBase> ipg(Make(kIPGuard)), e9(Make(k9E)), ht(Make(kHTxx)), gx(Make(kGX));
    for (CSMBase* h : {ipg.get(), e9.get(), ht.get(), gx.get()}) Bind(*h);
    struct Case {
        int type, fld;
        const char* row;  // FldName|Note|divisor|alarm kind|low|low note|high|high note
    } const cases[] = {
        {kGX, 7, "Fout|输出频率|10|0|490|最小值|允许最低输出频率,低于此值告警|2350|"
                 "最大值|允许最高输出频率,超过此值告警"},
        {kGX, 13, "b5|b5旁路模式|1|1|0|1表示旁路模式|0|"},
        {kIPGuard, 2, "Vin2|输入电压2|10|6|2000|最小值|允许最低输入电压,低于此值告警|2450|"
                      "最大值|允许最高输入电压,超过此值告警"},
        {kIPGuard, 8, "Pout|输出负载|10|0|2000|最小值|允许最低输出负载,低于此值告警|2350|"
                      "最大值|允许最高输出负载,超过此值告警"},
        {kIPGuard, 16, "b2|b2输出故障|1|1|0|0正常|0|0"},
        {kIPGuard, 21, "Mbatt|电池时间|10|0|300|最小值|允许最低时间,低于此值告警|0|"},
        {k9E, 30, "v4|输出电流C|10|10|0|最小值|允许最低输出电流,低于此值告警|1500|"
                  "最大值|允许最高输出电流,超过此值告警"},
        {k9E, 15, "b3|b3MBS或旁路运行|1|0|0|1表示后旁路|0|"},
        {k9E, 17, "b1|b1整流故障|1|1|0|1表示故障|0|"},
        {k9E, 20, "Pbatt|电池容量|10|10|300|最小值|允许最低容量,低于此值告警|0|"},
        {kHTxx, 22, "Tem|电池温度|10|10|200|最小值|允许最低温度,低于此值告警|650|"
                    "最大值|允许最高温度,超过此值告警"},
        {kHTxx, 26, "b13|EPO状态|1|1|0|0:无紧急关机，1:紧急关机|0|"},
        {kHTxx, 24, "b15|电池连接状态|1|0|0|0:未连接，1:已连接|0|"},
        {kHTxx, 33, "b6|电池自检状态|1|0|0|0:未自检，1:成功|0|"},
        {kHTxx, 39, "b0|EOD系统禁止|1|1|0|0:否，1:是|0|0"},
        {kHTxx, 42, "Mbatt|电池剩于时间|10|10|2000|最小值|允许最低电池剩于时间,低于此值告警|2350|"
                    "最大值|允许最高电池剩于时间,超过此值告警"},
    };
    for (const Case& c : cases) {
        const std::string sql =
            "select FldName||'|'||Note||'|'||Ratio||'|'||AlmKind||'|'||vref||'|'||LoText||'|'||"
            "HiLmt||'|'||HiText from tbSMDef where Type=" + std::to_string(c.type) +
            " and Fld=" + std::to_string(c.fld);
        EXPECT_EQ(Hex(c.row), Hex(db.Str(sql))) << c.type << " Fld " << c.fld;
    }
}

TEST_F(Stored, PollRowsInBothDatabasesAndSummaries) {
    struct Case {
        int type;
        const char* table;
        std::vector<const char*> columns;  // value columns the rows must carry (non-zero)
        const char* brief;                 // with no field out of limits
    } const cases[] = {
        {kGX, "tbUps", {"Vin1", "Fin", "Mbatt", "v2", "v3", "v4", "Aed"},
         "输入频率:50.1Hz,输入电压1:230.1V,输入电压2:230.2V,输入电压3:230.3V"},
        {kHR7000, "tbUps", {"Vin1", "Fin", "Mbatt", "v2", "v4"},
         "输入频率:50.1Hz,输入电压1:230.1V,输入电压2:230.2V,输入电压3:230.3V"},
        {kIPGuard, "tbUps", {"Vin1", "Pout", "Mbatt", "Vdc", "Fed"}, ""},
        {k9E, "tbUps", {"Vin1", "Vout", "v2", "v3", "v4", "Aed", "Mbatt"},
         "输入电压:230.1V, 输出电压:231.1V, 输出负载:12.1A"},
        {kHTxx, "tbUpsEx", {"Vin1", "Fin1", "Vout3", "Iout3", "Mbatt"}, nullptr},
    };
    for (const Case& c : cases) {
        Rig r(c.type);
        TestDb main, history;  // a history database no other driver prepared
        r.h->SetDb(&main, 0);
        r.h->SetDb(&history, 1);
        r.h->RegDb(&main, 0);
        ASSERT_EQ(1, r.h->ChkDb(r.item)) << c.type;
        const std::string t = c.table;
        EXPECT_EQ(1, history.Int("select count(*) from sqlite_master where name='" + t + "'"))
            << c.type << ": the table in the history database too";
        main.Run("insert into tbSubSysDetail(SID,Type,State) values(51," + std::to_string(c.type) + ",-1)");
        ASSERT_EQ(1, r.Poll()) << c.type;
        int bits[2] = {0, 0};
        EXPECT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, &history)) << c.type;
        for (const char* col : c.columns) {
            const std::string q = std::string("select ") + col + " from " + t + " where SID=51";
            EXPECT_LT(0, main.Int(q)) << c.type << " current " << col;
            EXPECT_EQ(main.Int(q), history.Int(q)) << c.type << " history " << col;
        }
        EXPECT_EQ(0, main.Int("select State from tbSubSysDetail where SID=51")) << c.type;
        if (c.brief) {
            EXPECT_EQ(Hex(c.brief), Hex(main.Str("select Brief from tbSMBrief where SID=51"))) << c.type;
        }
    }
}

TEST_F(Stored, IpGuardSummaryIsTheAlarmTextAlone) {
    Rig r(kIPGuard);
    r.h->SetDb(&db, 0);
    r.h->RegDb(&db, 0);
    ASSERT_EQ(1, r.h->ChkDb(r.item));
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {1 << (kUpsVin2 - 1), 0};
    EXPECT_EQ(1, r.h->DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(Hex("告警:输入电压2"), Hex(db.Str("select Brief from tbSMBrief where SID=51")));
}
