// The Modbus RTU air-conditioners on the air-conditioner shape (SCA, HST12/HST26JF, HaiRuiFu,
// RDA, Canatal): request frames, decodes, waits, refused replies per request and what a
// partly answered poll keeps, over a scripted channel answered by their register maps.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AircHostPoll.h"
#include "BufHelper.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "aircon/SMCanatal.h"
#include "aircon/SMCyberHSTXX.h"
#include "aircon/SMCyberHaiRuiFu.h"
#include "aircon/SMCyberRDAx.h"
#include "aircon/SMCyberSCA.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using qxtest::Hex;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// A handler of one of the five, a unit at address 1 behind a scripted channel and a point.
struct Rig {
    explicit Rig(int type, int variant = 0) : item(40, type) {
        switch (type) {
        case 0x81B: h.reset(new CSMCyberSCA); break;
        case 0x819: h.reset(new CSMCyberHSTXX); break;
        case 0x815: h.reset(new CSMCyberHaiRuiFu); break;
        case 0x80F: h.reset(new CSMCyberRDAx); break;
        default: h.reset(new CSMCanatal); break;
        }
        ch.SetResponder([this](const Bytes& q) { return unit.HandleRtu(q.data(), q.size()).bytes; });
        item.Port(1).Addr(1).Variant(variant).Ser(&ch);
        h->DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0) { return h->DataGet(&ch, 1, wait); }
    std::vector<int> Vals(int from, int to) {
        std::vector<int> v;
        for (int f = from; f <= to; f++) v.push_back(h->DataVal(f));
        return v;
    }

    qxsim::ModbusSlave unit{1};
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    std::unique_ptr<CSMAircShape> h;
};

std::string Frame(const std::string& head) {
    Bytes b = qxtest::HexBytes(head);
    const uint16_t c = CBufHelper::crc16(b.data(), (int)b.size());
    b.push_back((uint8_t)c);
    b.push_back((uint8_t)(c >> 8));
    return Hex(b);
}

std::vector<std::string> Sent(const Rig& r) {
    std::vector<std::string> s;
    for (const Bytes& b : r.ch.Written()) s.push_back(Hex(b));
    return s;
}

}  // namespace

TEST(CyberAirc, NotesCodesAndSizes) {
    struct Case {
        int type;
        const char* note;
        int size;
    } cases[] = {{0x81B, "QX-Cyber-SCA", 67}, {0x819, "QX-Cyber-HST-XX", 27},
                 {0x815, "QX-Cyber-Hairf", 24}, {0x80F, "QX-Cyber-RDAxxx", 15},
                 {0x807, "AIRC-CANATAL", 16}};
    for (const Case& c : cases) {
        Rig r(c.type);
        EXPECT_EQ(c.type, r.h->GetType());
        EXPECT_STREQ(c.note, r.h->GetNote());
        EXPECT_EQ(c.size, r.h->DataSize());
        EXPECT_EQ(c.type == 0x815 ? 0 : -1, r.h->DataVal(0)) << c.note;
        EXPECT_EQ(c.type == 0x815 ? 0 : -1, r.h->DataVal(c.size + 1)) << c.note;
        // No commands: nothing is sent and the result says so.
        int32_t v = 1;
        EXPECT_EQ(0, r.h->DoFunc(&r.ch, 1, 1, &v, 4)) << c.note;
        EXPECT_TRUE(r.ch.Written().empty()) << c.note;
    }
}

TEST(CyberAirc, RequestFrames) {
    struct Case {
        int type, variant;
        std::vector<std::string> frames;
    } cases[] = {
        {0x81B, 0, {Frame("01 03 00 01 00 24")}},
        {0x819, 1, {Frame("01 03 00 00 00 18")}},
        // HST12 reads registers 0..15: the set point's float ends in register 15.
        {0x819, 0, {Frame("01 03 00 00 00 10")}},
        {0x819, 7, {Frame("01 03 00 00 00 10")}},
        {0x815, 0,
         {Frame("01 04 00 01 00 02"), Frame("01 04 00 1E 00 0D"), Frame("01 02 00 00 00 07"),
          Frame("01 02 00 14 00 03")}},
        // Holding registers 0..3: the temperature is register 3.
        {0x80F, 0, {Frame("01 02 00 0E 00 34"), Frame("01 03 00 00 00 04"), Frame("01 04 00 09 00 04")}},
        {0x807, 0,
         {Frame("01 01 00 01 00 01"), Frame("01 02 27 11 00 07"), Frame("01 02 27 25 00 04"),
          Frame("01 04 75 32 00 02"), Frame("01 03 9C 4F 00 08")}},
    };
    for (const Case& c : cases) {
        Rig r(c.type, c.variant);
        EXPECT_EQ(1, r.Poll()) << std::hex << c.type;
        EXPECT_EQ(c.frames, Sent(r)) << std::hex << c.type << " variant " << c.variant;
        // An address beyond the address byte is refused: nothing is sent.
        Rig far(c.type, c.variant);
        EXPECT_EQ(0, far.h->DataGet(&far.ch, 0x101, 0));
        EXPECT_TRUE(far.ch.Written().empty());
    }
    // HST12 without a current point.
    CSMCyberHSTXX h;
    qxtest::ScriptChannel ch;
    h.DataGet(&ch, 1, 0);
    ASSERT_EQ(1u, ch.Written().size());
    EXPECT_EQ(Frame("01 03 00 00 00 10"), Hex(ch.Written()[0]));
}

TEST(CyberAirc, WaitsAndPurges) {
    struct Case {
        int type, wait;
        std::vector<int> sleeps;
        int purges;
    } cases[] = {
        {0x81B, 100, {300}, 1}, {0x81B, 101, {101}, 1},
        {0x819, 100, {300}, 1}, {0x819, 101, {101}, 1},
        {0x815, 0, {100, 100, 100, 100}, 1}, {0x815, 250, {250, 250, 250, 250}, 1},
        {0x80F, 1, {1, 1, 1}, 0}, {0x80F, 0, {100, 100, 100}, 0}, {0x80F, -5, {100, 100, 100}, 0},
        {0x807, 5000, {100, 100, 100, 100, 100}, 0},
    };
    for (const Case& c : cases) {
        Rig r(c.type);
        ASSERT_EQ(1, r.Poll(c.wait)) << std::hex << c.type;
        EXPECT_EQ(c.sleeps, g_sleeps) << std::hex << c.type << " wait " << std::dec << c.wait;
        EXPECT_EQ(c.purges, r.ch.Purges()) << std::hex << c.type;
    }
}

TEST(CyberAirc, ScaStatusBitsAndWords) {
    struct Case {
        uint16_t reg7;
        int comp1Hp, comp1Hpl, comp2Hp;
    } cases[] = {{0x0100, 0, 1, 0}, {0x8000, 0, 0, 1}, {0x0080, 1, 0, 0}};
    for (const Case& c : cases) {
        Rig r(0x81B);
        qxsim::ScaAirc a;
        a.alarms[1] = c.reg7;
        qxsim::SetScaAirc(r.unit, a);
        r.unit.SetHolding(21, 0x9ABC);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(c.comp1Hp, r.h->DataVal(21)) << c.reg7;
        EXPECT_EQ(c.comp1Hpl, r.h->DataVal(22)) << c.reg7;
        EXPECT_EQ(c.comp2Hp, r.h->DataVal(27)) << c.reg7;
        EXPECT_EQ(0x9ABC, r.h->DataVal(61)) << "register 21, unsigned";
        EXPECT_EQ(1, r.h->DataVal(3));
        EXPECT_EQ(251, r.h->DataVal(11));
        EXPECT_EQ(75, r.h->DataVal(67));
    }
}

TEST(CyberAirc, HstFloatsAndBits) {
    struct Case {
        int variant;
        float temIn;
        uint16_t alarm, err;
        std::vector<std::pair<int, int>> expect;  // field, value
    } cases[] = {
        {0, 23.46f, 0, 0, {{16, 234}, {26, 240}, {27, 500}}},
        {1, -5.25f, 0, 0, {{16, -52}, {26, 240}, {27, 500}}},
        {1, 23.46f, 0x0200, 0, {{24, 1}, {20, 1}, {25, 0}}},
        {1, 23.46f, 0x0400, 0, {{25, 1}, {24, 0}, {20, 0}}},
        {0, 23.46f, 0, 0x0008, {{25, 1}, {24, 0}}},
        // Not a number, or tenths beyond 16 bits: the field stays 0 for this poll.
        {0, NAN, 0, 0, {{16, 0}, {17, 550}}},
        {1, INFINITY, 0, 0, {{16, 0}}},
        {0, 3276.8f, 0, 0, {{16, 0}}},
        {0, 3276.75f, 0, 0, {{16, 32767}}},
        {0, -3276.8f, 0, 0, {{16, -32768}}},
    };
    for (const Case& c : cases) {
        Rig r(0x819, c.variant);
        qxsim::HstAirc a;
        a.temIn = c.temIn;
        a.alarm = c.alarm;
        a.err = c.err;
        qxsim::SetHstAirc(r.unit, a, c.variant);
        ASSERT_EQ(1, r.Poll()) << c.temIn;
        for (auto& e : c.expect)
            EXPECT_EQ(e.second, r.h->DataVal(e.first)) << "field " << e.first << " of " << c.temIn;
    }
    // HST26JF: the fan outputs are not in its map.
    Rig r(0x819, 1);
    qxsim::HstAirc a;
    a.out = 0xFFFF;
    qxsim::SetHstAirc(r.unit, a, 1);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h->DataVal(6));
    EXPECT_EQ(0, r.h->DataVal(7));
    EXPECT_EQ(1, r.h->DataVal(5));
}

TEST(CyberAirc, HaiRuiFuKeepsAlarmCodesAndLogsExceptions) {
    Rig r(0x815);
    qxsim::HaiRuiFuAirc a;
    a.alarms[0] = 2;
    a.alarms[12] = 1;
    a.tem = 0x8001;  // unsigned
    qxsim::SetHaiRuiFuAirc(r.unit, a);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0x8001, r.h->DataVal(1));
    EXPECT_EQ(2, r.h->DataVal(3));
    EXPECT_EQ(1, r.h->DataVal(15));
    EXPECT_EQ((std::vector<int>{0, 1, 1, 0, 0, 0, 0, 0, 1}), r.Vals(16, 24));
    EXPECT_EQ(0, r.h->DataVal(25));
    EXPECT_EQ(0, r.h->DataVal(-1));

    // An exception on the third exchange: its line, the registers of this poll, fields 16..24 0.
    r.unit.FaultOnce(qxsim::ModbusFault::None);
    r.unit.FaultOnce(qxsim::ModbusFault::None);
    r.unit.FaultOnce(qxsim::ModbusFault::Exception, 2);
    a.alarms[0] = 1;
    qxsim::SetHaiRuiFuAirc(r.unit, a);
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ("[CSMCyberHaiRuiFu::DataGet] Do 2, 1: ErrCode = 02H\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(1, r.h->DataVal(3));
    EXPECT_EQ(std::vector<int>(9, 0), r.Vals(16, 24));
    EXPECT_EQ(3u, r.unit.RequestCount() - 4);

    // An exception reply is told by its function code also when its CRC is wrong.
    Rig e(0x815);
    e.ch.Reply(qxtest::HexBytes("01 84 04 00 00"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, e.Poll());
    EXPECT_EQ("[CSMCyberHaiRuiFu::DataGet] Do 4, 2: ErrCode = 04H\n",
              testing::internal::GetCapturedStdout());
}

// The HaiRuiFu's alarm registers and its common alarm reach the host, an acknowledged alarm
// (2) as well as a new one: its limit check marks them, the point is in alarm and the summary
// names them (three at most). Running states and modes are states.
TEST(CyberAirc, HaiRuiFuAlarmCodesReachTheHost) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, uint16_t>> codes;  // alarm register 30 + k: code
        uint8_t states;
        std::vector<int> out;
        const char* alarms;  // the summary's words after the readings
    } cases[] = {
        {"running", {}, 0x76, {}, ""},
        {"high pressure", {{1, 1}}, 0x07, {4, 16}, "告警:压缩机高压 通用警报"},
        {"acknowledged leak", {{6, 2}}, 0x07, {9, 16}, "告警:溢水报警 通用警报"},
        {"sensor broken, common alarm off", {{12, 1}}, 0x06, {15}, "告警:温度传感器坏"},
        {"fan overload, high temperature", {{0, 1}, {8, 1}}, 0x01, {3, 11, 16},
         "告警:风机过载 温度上限报警 通用警报..."},
    };
    for (const Case& c : cases) {
        AircHostPoll<CSMCyberHaiRuiFu> p(0x815);
        qxsim::ModbusSlave slave(1);
        qxsim::HaiRuiFuAirc a;
        for (const auto& code : c.codes) a.alarms[code.first] = code.second;
        a.states = c.states;
        a.modes = 0x07;
        qxsim::SetHaiRuiFuAirc(slave, a);
        p.ch.SetResponder([&](const Bytes& q) { return slave.HandleRtu(q.data(), q.size()).bytes; });
        ASSERT_EQ(1, p.Poll()) << c.what;
        EXPECT_EQ(c.out, p.out) << c.what;
        EXPECT_EQ(c.out.empty() ? 0 : 1, p.State()) << c.what;
        EXPECT_EQ(Hex(std::string("现场温度:23.5, 现场湿度:45.6") + c.alarms), Hex(p.Brief())) << c.what;
    }
}

TEST(CyberAirc, RdaFieldNumbersAndInputs) {
    Rig r(0x80F);
    qxsim::RdaAirc a;
    a.states = 0;
    a.yhbj = true;
    qxsim::SetRdaAirc(r.unit, a);
    r.unit.FaultOnce(qxsim::ModbusFault::None);
    r.unit.FaultOnce(qxsim::ModbusFault::Silence);
    EXPECT_EQ(0, r.Poll());
    // The first reply alone: yhbj, every other field 0.
    std::vector<int> only(15, 0);
    only[13] = 1;
    EXPECT_EQ(only, r.Vals(1, 15));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<int>{262, 540, 220, 500}), r.Vals(1, 4));
    // The block is in storage order: temset first.
    uint32_t first;
    memcpy(&first, r.h->Data(), 4);
    EXPECT_EQ(220u, first);
    a.states = 0x1F;
    a.yhbj = false;
    a.sjbj = a.gsbj = a.dwbj = true;
    qxsim::SetRdaAirc(r.unit, a);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 1}), r.Vals(5, 15));
}

TEST(CyberAirc, CanatalKeepsEachPointsOwnValues) {
    Rig r(0x807);
    qxsim::CanatalAirc a;
    qxsim::SetCanatalAirc(r.unit, a);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<int>{1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 245, 513, 230, 500}),
              r.Vals(1, 16));
    // A CRC error on reply 4: status and bits new, tem..humset from the previous poll.
    a.on = false;
    a.s = 0x7F;
    a.tem = 111;
    a.humset = 222;
    qxsim::SetCanatalAirc(r.unit, a);
    for (int i = 0; i < 3; i++) r.unit.FaultOnce(qxsim::ModbusFault::None);
    r.unit.FaultOnce(qxsim::ModbusFault::BadCrc);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1}), r.Vals(1, 8));
    EXPECT_EQ((std::vector<int>{245, 513, 230, 500}), r.Vals(13, 16));

    // Another point of the type starts from its own (empty) values, and its failed poll
    // never shows the first point's.
    qxhost::PointItem other(41, 0x807);
    other.Port(1).Addr(2).Ser(&r.ch);
    r.h->DoItem(other, 0);
    EXPECT_EQ(0, r.h->DataGet(&r.ch, 2, 0));  // no unit 2
    EXPECT_EQ(std::vector<int>(16, 0), r.Vals(1, 16));
    // The first point again, silent this time: its own values stay.
    r.h->DoItem(r.item, 0);
    r.unit.FaultOnce(qxsim::ModbusFault::Silence);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(245, r.h->DataVal(13));
    EXPECT_EQ(1, r.h->DataVal(2));
}

TEST(CyberAirc, MalformedRepliesFailTheirRequest) {
    struct Kind {
        int type, requests;
    } kinds[] = {{0x81B, 1}, {0x819, 1}, {0x815, 4}, {0x80F, 3}, {0x807, 5}};
    const qxsim::ModbusFault faults[] = {
        qxsim::ModbusFault::Silence, qxsim::ModbusFault::Short, qxsim::ModbusFault::BadCrc,
        qxsim::ModbusFault::Exception, qxsim::ModbusFault::WrongCount,
        qxsim::ModbusFault::WrongFunction, qxsim::ModbusFault::WrongAddress};
    for (const Kind& k : kinds) {
        for (int at = 0; at < k.requests; at++) {
            for (qxsim::ModbusFault f : faults) {
                Rig r(k.type);
                for (int i = 0; i < at; i++) r.unit.FaultOnce(qxsim::ModbusFault::None);
                r.unit.FaultOnce(f);
                testing::internal::CaptureStdout();
                EXPECT_EQ(0, r.Poll()) << std::hex << k.type << std::dec << " request " << at
                                       << " fault " << (int)f;
                testing::internal::GetCapturedStdout();
                EXPECT_EQ((size_t)at + 1, r.ch.Written().size()) << "the poll stops there";
            }
            // A reply cut short but with a valid CRC.
            Rig s(k.type);
            for (int i = 0; i < at; i++) s.unit.FaultOnce(qxsim::ModbusFault::None);
            s.unit.FaultOnce(qxsim::ModbusFault::Short, 3);  // head and CRC only
            EXPECT_EQ(0, s.Poll()) << std::hex << k.type << " short CRC-valid reply";
        }
    }
}
