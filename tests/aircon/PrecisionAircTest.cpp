// The precision air-conditioners on links of their own: the JADC0110 control-character link,
// the Delta over Modbus ASCII, the Sunrise over GOS or Modbus RTU and the Stulz C5000/C7000.
// Frames, decodes, replies that are refused, commands and what an update stores, over the
// scripted channel answered by the device models.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "AircHostPoll.h"
#include "BufHelper.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "PrecisionAirc.h"
#include "ReplyCheck.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "aircon/SMCyberDelta.h"
#include "aircon/SMCyberJADC0110.h"
#include "aircon/SMCyberSunrise.h"
#include "aircon/SMStulzC7000.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

std::string H(const std::string& s) { return qxtest::Hex(Bytes(s.begin(), s.end())); }
std::string H(const Bytes& b) { return qxtest::Hex(b); }
Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A Modbus slave behind the scripted channel, RTU or ASCII.
qxtest::ScriptChannel::Responder RtuOf(qxsim::ModbusSlave& s) {
    return [&s](const Bytes& r) { return s.HandleRtu(r.data(), r.size()).bytes; };
}
qxtest::ScriptChannel::Responder AsciiOf(qxsim::ModbusSlave& s) {
    return [&s](const Bytes& line) {
        const Bytes rtu = qxsim::ModbusRtuOfLine(line);
        if (rtu.empty()) return Bytes();
        const Bytes reply = s.HandleRtu(rtu.data(), rtu.size()).bytes;
        return reply.empty() ? Bytes() : qxsim::ModbusAsciiLine(reply);
    };
}

// Modbus RTU replies every poll must refuse.
struct ModbusFaultCase {
    const char* what;
    qxsim::ModbusFault fault;
};
const ModbusFaultCase kModbusFaults[] = {
    {"silence", qxsim::ModbusFault::Silence},
    {"exception", qxsim::ModbusFault::Exception},
    {"bad CRC", qxsim::ModbusFault::BadCrc},
    {"short", qxsim::ModbusFault::Short},
    {"byte count", qxsim::ModbusFault::WrongCount},
    {"function", qxsim::ModbusFault::WrongFunction},
    {"address", qxsim::ModbusFault::WrongAddress},
};

// A handler of the shape with its databases, a point and the point's detail row, polled with
// the alarm bits a test gives (AircHostPoll's own poll takes the host's check).
template <typename Handler>
struct DbRig : AircHostPoll<Handler> {
    explicit DbRig(int sid, int type, int variant = 0) : AircHostPoll<Handler>(type, variant, sid) {
        g_sleeps.clear();
    }
    // DataGet and DataUpd as the host calls them; DataGet's result.
    int Poll(int bits0 = 0) {
        this->h.DoItem(this->item, 0);
        const int got = this->h.DataGet(&this->ch, this->item.Get().Addr, 0);
        int bits[2] = {bits0, 0};
        EXPECT_EQ(1, this->h.DataUpd(0, got ? bits : nullptr, nullptr, -1, &this->hist));
        return got;
    }
};

}  // namespace

// ================================================================ JADC0110

namespace {

struct Jadc {
    Jadc() : item(61, 0x81C) {
        ch.SetResponder([this](const Bytes& r) { return unit.Answer(r); });
        item.Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll() { return h.DataGet(&ch, 1, 0); }
    int Enquiries() const {
        int n = 0;
        for (const Bytes& w : ch.Written()) n += w.size() == 2 && w[0] == 0x05;
        return n;
    }

    qxsim::JadcUnit unit{1};
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    CSMCyberJADC0110 h;
};

const Bytes kS = qxsim::JadcUnit::Words('S', 1, {0x00F0, 0x0190, 0, 0, 0x00C8});
const Bytes kU = qxsim::JadcUnit::Words('U', 11, {1200, 300, 900, 850});
const Bytes kB = qxsim::JadcUnit::Bits(33, {0x41});

}  // namespace

TEST(Jadc, CommandFrames) {
    char buf[CSMCyberJADC0110::kFrameMax];
    struct Case {
        const char* text;
        const char* hex;
    } cases[] = {
        {"?", "02 31 3F 03 37 35"},
        {"F", "02 31 46 03 37 3C"},
        {nullptr, "02 31 03 33 36"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.hex, H(CSMCyberJADC0110::StxCmd(buf, 1, c.text))) << (c.text ? c.text : "none");
    EXPECT_EQ("06", H(CSMCyberJADC0110::AckCmd(buf, 1)));
    EXPECT_EQ("05 31", H(CSMCyberJADC0110::Enq5Cmd(buf, 1)));
    EXPECT_EQ("01 32", H(CSMCyberJADC0110::EnqCmd(buf, 2)));
    EXPECT_EQ(nullptr, CSMCyberJADC0110::StxCmd(nullptr, 1, "?"));
    // A command text longer than the frame is cut, never written past it.
    const std::string lng(200, 'A');
    EXPECT_EQ((size_t)CSMCyberJADC0110::kFrameMax - 1, strlen(CSMCyberJADC0110::StxCmd(buf, 1, lng.c_str())));
}

TEST(Jadc, ModelCountsAndFields) {
    CSMCyberJADC0110 h;
    EXPECT_EQ(0x81C, h.GetType());
    EXPECT_STREQ("QX-Cyber-JADC0110", h.GetNote());
    EXPECT_EQ(27, h.DataSize());
    EXPECT_EQ(0, h.DataVal(28));  // StKey, beyond DataSize
    EXPECT_EQ(-1, h.DataVal(29));
    EXPECT_EQ(-1, h.DataVal(0));
}

TEST(Jadc, BlockDecodes) {
    CSMCyberJADC0110 h;
    // Outdoor and supply-air temperature from an earlier block.
    const Bytes first = qxsim::JadcUnit::Words('S', 3, {0xFFF6, 150});
    ASSERT_EQ(1, h.StxDatS((const char*)first.data(), (int)first.size()));
    EXPECT_EQ(-10, h.DataVal(2));  // FFF6: -10
    ASSERT_EQ(1, h.StxDatS((const char*)kS.data(), (int)kS.size()));
    EXPECT_EQ(400, h.DataVal(1));   // Tem
    EXPECT_EQ(240, h.DataVal(3));   // Hum
    EXPECT_EQ(-10, h.DataVal(2));   // TemExt kept: item 3 was 0
    EXPECT_EQ(150, h.DataVal(4));   // TemSup kept
    EXPECT_EQ(200, h.DataVal(5));   // TemSet

    ASSERT_EQ(1, h.StxDatU((const char*)kU.data(), (int)kU.size()));
    EXPECT_EQ(1200, h.DataVal(13));
    EXPECT_EQ(850, h.DataVal(16));

    // 'B' at bit 33 (start character 'Q'), eight bits, byte "41".
    ASSERT_EQ('Q', kB[3]);
    ASSERT_EQ(1, h.StxDatB((const char*)kB.data(), (int)kB.size()));
    const int want[7] = {1, 0, 0, 0, 0, 0, 1};  // StOn .. StDehum
    for (int i = 0; i < 7; i++) EXPECT_EQ(want[i], h.DataVal(20 + i)) << i;
    // Bits 41 and 49 as the first bits of the second and third byte.
    const Bytes b3 = qxsim::JadcUnit::Bits(33, {0x00, 0x01, 0x01});
    ASSERT_EQ(1, h.StxDatB((const char*)b3.data(), (int)b3.size()));
    EXPECT_EQ(0, h.DataVal(20));
    EXPECT_EQ(1, h.DataVal(27));
    EXPECT_EQ(1, h.DataVal(28));
}

TEST(Jadc, DecodersTakeOnlyItemsThatArrived) {
    CSMCyberJADC0110 h;
    const Bytes whole = qxsim::JadcUnit::Words('S', 1, {111, 222, 333, 444, 555});
    ASSERT_EQ(1, h.StxDatS((const char*)whole.data(), (int)whole.size()));
    struct Case {
        const char* what;
        Bytes block;
        int len;
        std::vector<int> want;  // fields 3 (item 1), 1 (item 2), 5 (item 5)
    } cases[] = {
        // A count of 9 ('9') with five items sent: the ETX ends the data.
        {"count beyond the data",
         [] { Bytes b = qxsim::JadcUnit::Words('S', 1, {1, 2, 3, 4, 5}); b[4] = '9'; return b; }(),
         -1, {1, 2, 5}},
        // Cut inside item 2: only item 1 is whole.
        {"cut block", qxsim::JadcUnit::Words('S', 1, {7, 8, 9, 10, 11}), 5 + 4 + 2, {7, 2, 5}},
        // A count character far beyond the buffer (up to 207 items): nothing past it is read.
        {"huge count", [] { Bytes b = qxsim::JadcUnit::Words('S', 1, {9}); b[4] = 0xFF; return b; }(),
         -1, {9, 2, 5}},
    };
    for (Case& c : cases) {
        const int len = c.len < 0 ? (int)c.block.size() : c.len;
        Bytes buf = c.block;
        buf.resize(len);
        EXPECT_EQ(1, h.StxDatS((const char*)buf.data(), len)) << c.what;
        EXPECT_EQ(c.want, (std::vector<int>{h.DataVal(3), h.DataVal(1), h.DataVal(5)})) << c.what;
    }
    // A head without a whole item changes nothing.
    const Bytes head = {0x02, '1', 'S', '1', '5', '0', '0'};
    EXPECT_EQ(0, h.StxDatS((const char*)head.data(), (int)head.size()));
    EXPECT_EQ(0, h.StxDatB((const char*)head.data(), 4));
}

TEST(Jadc, PollRunsTheLinkAndEndsOnARepeatedBlock) {
    Jadc r;
    for (const Bytes& b : {kS, kU, kB}) r.unit.AddBlock(b);
    ASSERT_EQ(1, r.Poll());
    const auto& w = r.ch.Written();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ("02 31 3F 03 37 35", H(w[0]));
    EXPECT_EQ("02 31 46 03 37 3C", H(w[1]));
    EXPECT_EQ("06", H(w[2]));
    EXPECT_EQ("05 31", H(w[3]));
    EXPECT_EQ(1, r.ch.Purges());
    // Three blocks, then the 'B' block again: its head repeats and the poll ends.
    EXPECT_EQ(4, r.Enquiries());
    EXPECT_EQ(400, r.h.DataVal(1));
    EXPECT_EQ(1200, r.h.DataVal(13));
    EXPECT_EQ(1, r.h.DataVal(20));
    // 100 ms after each opening command, 2 s after an ENQ, 1 s after an ACK.
    EXPECT_EQ((std::vector<int>{100, 100, 100, 2000, 1000, 2000, 1000, 2000, 1000, 2000, 1000}), g_sleeps);
}

TEST(Jadc, PollEndings) {
    struct Case {
        const char* what;
        std::function<void(Jadc&)> setup;
        int result;
        int enquiries;
    } cases[] = {
        {"the one-byte end after a block",
         [](Jadc& r) { r.unit.AddBlock(kS); r.unit.SetEndByte(true); }, 1, 2},
        {"the one-byte end alone is no answer",
         [](Jadc& r) { r.unit.AddBlock(Bytes{0x00}); r.unit.SetEndByte(false); }, 0, 1},
        {"six silent cycles, nothing decoded", [](Jadc&) {}, 0, 6},
        {"noise only: 30 cycles, nothing decoded",
         [](Jadc& r) { r.ch.SetResponder([](const Bytes& q) {
               return q.size() == 2 && q[0] == 0x05 ? Bytes{'x', 'y', 'z'} : Bytes(); }); },
         0, 30},
        {"an unknown block type changes nothing",
         [](Jadc& r) { r.unit.AddBlock(qxsim::JadcUnit::Words('Z', 1, {1})); }, 0, 2},
        {"a block that never repeats: 30 cycles", [](Jadc& r) {
             int k = 0;
             r.ch.SetResponder([k](const Bytes& q) mutable {
                 if (q.size() != 2 || q[0] != 0x05) return Bytes();
                 return qxsim::JadcUnit::Words('S', 1 + (k++ % 5), {(uint16_t)k});
             });
         }, 1, 30},
    };
    for (const Case& c : cases) {
        Jadc r;
        c.setup(r);
        EXPECT_EQ(c.result, r.Poll()) << c.what;
        EXPECT_EQ(c.enquiries, r.Enquiries()) << c.what;
    }
}

TEST(Jadc, FailedReadsCountAsSilenceAndRefusedAddresses) {
    Jadc r;
    r.ch.SetResponder(nullptr);
    r.ch.SetSilentRead(-1);  // a channel that fails every read
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(6, r.Enquiries());

    for (int addr : {-1, 208, 256}) {
        Jadc q;
        EXPECT_EQ(0, q.h.DataGet(&q.ch, addr, 0)) << addr;
        EXPECT_TRUE(q.ch.Written().empty()) << addr;
    }
    Jadc c;
    c.ch.SetOpen(false);
    EXPECT_EQ(0, c.Poll());
    EXPECT_EQ(0, c.h.DataGet(nullptr, 1, 0));
}

TEST(JadcDb, RowsTablesAndSummary) {
    DbRig<CSMCyberJADC0110> r(62, 0x81C);
    EXPECT_EQ(H("Cyber QX-Cyber-JADC0110"), H(r.db.Str("select Name from tbSMType where Type=2076")));
    EXPECT_EQ(2048, r.db.Int("select Kind from tbSMType where Type=2076"));
    EXPECT_EQ("1,2,3,4,20,21,23,25,28", r.db.Str("select group_concat(Fld) from tbSMDef where Type=2076"));
    EXPECT_EQ(5, r.db.Int("select count(*) from tbSMDef where Type=2076 and FldName='StOn'"));
    EXPECT_EQ("DATETIME", r.db.Str("select type from pragma_table_info('tbCyberJADC0110b') where name='TemExt'"));

    qxsim::JadcUnit unit(1);
    for (const Bytes& b : {kS, kU, kB}) unit.AddBlock(b);
    r.ch.SetResponder([&unit](const Bytes& q) { return unit.Answer(q); });
    ASSERT_EQ(1, r.Poll(1 << 19));  // alarm on field 20
    EXPECT_EQ("400,240,0,0,200,1200,1,1", r.db.Str("select Tem||','||Hum||','||TemExt||','||TemSup||','||"
                                                   "TemSet||','||FanRun||','||StOn||','||StDehum from "
                                                   "tbCyberJADC0110b where SID=62"));
    EXPECT_EQ(0u, r.Brief().find("室内温度:40.0°C, 室内湿度:24.0%"));
    EXPECT_NE(std::string::npos, r.Brief().find("开关机")) << "the alarm caption follows";
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCyberJADC0110b where SID=62 and Tem=400"));
    EXPECT_EQ(1, r.db.Int("select St is null from tbSMBrief where SID=62")) << "no state column";

    unit.SetSilent(true);
    ASSERT_EQ(0, r.Poll());
    EXPECT_EQ(2, r.db.Int("select State from tbCyberJADC0110b where SID=62"));
    EXPECT_EQ(0, r.db.Int("select Tem from tbCyberJADC0110b where SID=62"));
    EXPECT_EQ(std::string::npos, r.Brief().find("正常"));
    EXPECT_NE(std::string::npos, r.Brief().find("通讯中断"));
}

// ================================================================ Delta (Modbus ASCII)

namespace {

// The Delta unit as a Modbus slave: every register of the poll set.
void SetDelta(qxsim::ModbusSlave& s) {
    const uint16_t regs[17] = {4312, 4322, 4509, 4513, 2168, 2199, 2208, 2209, 2210,
                               2216, 2217, 2223, 2848, 2849, 2850, 2851, 2852};
    for (int f = 1; f <= 17; f++) s.SetHolding(regs[f - 1], (uint16_t)(100 + f));
    s.SetHolding(4312, 235);
}

std::vector<int> Vals(ISMBase& h, int n) {
    std::vector<int> v;
    for (int f = 1; f <= n; f++) v.push_back(h.DataVal(f));
    return v;
}

}  // namespace

TEST(DeltaAscii, Conversions) {
    uint8_t rtu[8];
    ASSERT_EQ(8, CBufHelper::ModBusCmd(rtu, 1, 3, 4312, 1));
    EXPECT_EQ("01 03 10 D8 00 01 00 F1", qxtest::Hex(Bytes(rtu, rtu + 8)));
    uint8_t line[32];
    ASSERT_EQ(17, CSMCyberDelta::ModbusRTU2ASCII(line, rtu, 8));
    EXPECT_EQ(":010310D8000113\r\n", std::string((const char*)line, 17));

    struct Case {
        const char* line;
        const char* bytes;
    } cases[] = {
        {":01030200FA00\r\n", "01 03 02 00 FA 00"},
        {"01030200FA00\r\n", "01 03 02 00 FA 00"},   // without ':', from character 0
        {":0103\r\n", "01 03"},
        {":\r\n", ""},
        {":01x30200\r\n", "01 03 02 00"},            // 'x' counts as 0
    };
    for (const Case& c : cases) {
        uint8_t out[64];
        const int n = CSMCyberDelta::ModbusASCII2RTU(out, (const uint8_t*)c.line, (int)strlen(c.line));
        EXPECT_EQ(c.bytes, qxtest::Hex(Bytes(out, out + n))) << c.line;
    }
    const uint8_t five[5] = {0x01, 0x03, 0x02, 0x00, 0xFA};
    EXPECT_EQ(0x00, CSMCyberDelta::GetCheckLrc(five, 5));
}

TEST(DeltaAscii, ReplyChecks) {
    const uint8_t req[8] = {0x01, 0x03, 0x10, 0xD8, 0x00, 0x01, 0x00, 0xF1};
    struct Case {
        const char* line;
        qx::ReplyStatus status;
    } cases[] = {
        {":01030200FA00\r\n", qx::ReplyStatus::Ok},
        {"01030200FA00\r\n", qx::ReplyStatus::Ok},
        {":01030200FA01\r\n", qx::ReplyStatus::BadCrc},
        {":0183027A\r\n", qx::ReplyStatus::Exception},
        {":010304000000FAFE\r\n", qx::ReplyStatus::BadCount},   // four bytes for one register
        {":01040200FAFF\r\n", qx::ReplyStatus::BadFunction},
        {":02030200FAFF\r\n", qx::ReplyStatus::BadAddress},
        {":010302\r\n", qx::ReplyStatus::Short},
        {"", qx::ReplyStatus::NoReply},
    };
    for (const Case& c : cases) {
        uint8_t buf[64];
        const int n = (int)strlen(c.line);
        memcpy(buf, c.line, (size_t)n);
        const qx::MbReply r = qx::MbCheckAscii(buf, n, req, 8);
        EXPECT_EQ(c.status, r.status) << c.line;
        if (r.ok()) {
            EXPECT_EQ(250, r.Word(0));
        }
    }
}

TEST(DeltaPoll, ThirteenReadsOverAscii) {
    qxsim::ModbusSlave slave(1);
    SetDelta(slave);
    qxtest::ScriptChannel ch;
    ch.SetResponder(AsciiOf(slave));
    CSMCyberDelta h;
    EXPECT_STREQ("QX-Cyber-JADC0110", h.GetNote());
    EXPECT_EQ(17, h.DataSize());
    g_sleeps.clear();
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    ASSERT_EQ(13u, ch.Written().size());
    EXPECT_EQ(":010310D8000113\r\n", std::string(ch.Written()[0].begin(), ch.Written()[0].end()));
    EXPECT_EQ(1, ch.Purges());
    EXPECT_EQ(std::vector<int>(13, 300), g_sleeps);
    EXPECT_EQ((std::vector<int>{235, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113,
                                114, 115, 116, 117}), Vals(h, 17));
    EXPECT_EQ(-1, h.DataVal(18));
    EXPECT_EQ(-1, h.DataVal(0));
}

TEST(DeltaPoll, AFailedReadEndsThePollKeepingWhatWasRead) {
    struct Case {
        const char* what;
        std::function<void(qxtest::ScriptChannel&)> third;  // the answer to read 3
    } cases[] = {
        {"silence", [](qxtest::ScriptChannel& ch) { ch.Silence(); }},
        {"bad LRC", [](qxtest::ScriptChannel& ch) { ch.Reply(B(":01030200FA01\r\n")); }},
        {"exception", [](qxtest::ScriptChannel& ch) { ch.Reply(B(":0183027A\r\n")); }},
        {"no byte count", [](qxtest::ScriptChannel& ch) { ch.Reply(B(":0103FC\r\n")); }},
        {"noise", [](qxtest::ScriptChannel& ch) { ch.Reply(B("zz\x01\x7f\r\n")); }},
    };
    for (const Case& c : cases) {
        qxsim::ModbusSlave slave(1);
        SetDelta(slave);
        qxtest::ScriptChannel ch;
        CSMCyberDelta h;
        // An earlier poll: every register 9.
        qxsim::ModbusSlave earlier(1);
        for (int reg = 2168; reg <= 4513; reg++) earlier.SetHolding((uint16_t)reg, 9);
        ch.SetResponder(AsciiOf(earlier));
        ASSERT_EQ(1, h.DataGet(&ch, 1, 0)) << c.what;
        ch.SetResponder(AsciiOf(slave));
        ch.Reply(B(":01030200FA00\r\n"));            // read 1: 250
        ch.ReplyChunks({B(":0103"), B("020066"), B("94\r\n")});  // read 2 split in three: 102
        c.third(ch);
        EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << c.what;
        EXPECT_EQ(3u + 13u, ch.Written().size()) << c.what;
        EXPECT_EQ((std::vector<int>{250, 102, 9, 9}), Vals(h, 4)) << c.what;
    }
}

TEST(DeltaPoll, RefusedAddressesAndClosedChannel) {
    for (int addr : {-1, 256, 0x101}) {
        qxtest::ScriptChannel ch;
        CSMCyberDelta h;
        EXPECT_EQ(0, h.DataGet(&ch, addr, 0)) << addr;
        EXPECT_TRUE(ch.Written().empty()) << addr;
    }
    qxtest::ScriptChannel ch;
    ch.SetOpen(false);
    CSMCyberDelta h;
    EXPECT_EQ(0, h.DataGet(&ch, 1, 0));
}

TEST(DeltaDb, RowsAndSummary) {
    DbRig<CSMCyberDelta> r(63, 0x81E);
    EXPECT_EQ(H("Cyber QX-Cyber-JADC0110"), H(r.db.Str("select Name from tbSMType where Type=2078")));
    EXPECT_EQ(H("JADC0110 海瑞弗空调 ..."), H(r.db.Str("select Note from tbSMType where Type=2078")));
    EXPECT_EQ(15, r.db.Int("select count(*) from tbSMDef where Type=2078"));
    EXPECT_EQ(H("系统 A故障"), H(r.db.Str("select Note from tbSMDef where Type=2078 and Fld=8")));
    qxsim::ModbusSlave slave(1);
    SetDelta(slave);
    slave.SetHolding(4322, 450);
    r.ch.SetResponder(AsciiOf(slave));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("235,450,117", r.db.Str("select Tem||','||Hum||','||HumRunSt from tbCyberDelta where SID=63"));
    EXPECT_EQ(H("当前温度:23.5°C, 当前湿度:45.0%"), H(r.Brief()));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCyberDelta where SID=63"));
}

// The Delta's faults reach the host: its limit check marks each fault register that is set,
// the point is in alarm and the summary names them (three at most). The running states are
// states: a unit running with all it has is normal.
TEST(DeltaDb, FaultsReachTheHost) {
    struct Case {
        const char* what;
        std::vector<uint16_t> faults;  // registers 2199 .. 2223 set to 1
        std::vector<int> out;
        const char* alarms;
    } cases[] = {
        {"running", {}, {}, ""},
        {"common and fan fault", {2199, 2208}, {6, 7}, "告警:总故障 风机故障"},
        {"low pressure A and B, sensor", {2216, 2217, 2223}, {10, 11, 12},
         "告警:A低压故障 B低压故障 传感器故障..."},
        {"system A", {2209}, {8}, "告警:系统 A故障"},
        {"system B", {2210}, {9}, "告警:系统 B故障"},
    };
    for (const Case& c : cases) {
        AircHostPoll<CSMCyberDelta> p(0x81E);
        qxsim::ModbusSlave slave(1);
        SetDelta(slave);
        slave.SetHolding(4322, 450);
        for (uint16_t reg : {2168, 2848, 2849, 2850, 2851, 2852}) slave.SetHolding(reg, 1);
        for (uint16_t reg : {2199, 2208, 2209, 2210, 2216, 2217, 2223}) slave.SetHolding(reg, 0);
        for (uint16_t reg : c.faults) slave.SetHolding(reg, 1);
        p.ch.SetResponder(AsciiOf(slave));
        ASSERT_EQ(1, p.Poll()) << c.what;
        EXPECT_EQ(c.out, p.out) << c.what;
        EXPECT_EQ(c.out.empty() ? 0 : 1, p.State()) << c.what;
        EXPECT_EQ(H(std::string("当前温度:23.5°C, 当前湿度:45.0%") + c.alarms), H(p.Brief())) << c.what;
    }
}

// ================================================================ Sunrise

namespace {

// A GOS status reply: temperature, humidity, state byte, alarm words a and c.
Bytes GosStatus(const char* tem, const char* hum, const char* b, const char* a, const char* c) {
    return B(std::string("\x02L01") + tem + hum + b + a + c + "\x03");
}

}  // namespace

TEST(SunriseGos, RequestsAndDecode) {
    DbRig<CSMCyberSunrise> r(64, 0x810, 1);
    r.ch.Reply(GosStatus("00FA", "0032", "3A", "0280", "0081"));
    r.ch.Reply(B("\x02R0103" "00DC" "\x03"));
    r.ch.Reply(B("\x02R0104" "0037" "\x03"));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(3u, r.ch.Written().size());
    EXPECT_EQ("02 4C 30 31 03", H(r.ch.Written()[0]));
    EXPECT_EQ("02 52 30 31 30 33 03", H(r.ch.Written()[1]));
    EXPECT_EQ("02 52 30 31 30 34 03", H(r.ch.Written()[2]));
    EXPECT_EQ((std::vector<int>{100, 100, 100}), g_sleeps);
    // b = 3A: fan (bit 1), cooling (3), humidifying (4), dehumidifying (5); zr -1.
    EXPECT_EQ((std::vector<int>{250, 500, 1, 1, 1, 1, -1}), Vals(r.h, 7));
    EXPECT_EQ(1, r.h.DataVal(14));  // a bit 7: high temperature
    EXPECT_EQ(1, r.h.DataVal(16));  // a bit 9: high humidity
    EXPECT_EQ(0, r.h.DataVal(15));
    EXPECT_EQ(1, r.h.DataVal(29));  // c bit 7: smoke
    EXPECT_EQ(1, r.h.DataVal(27));  // c bit 0: overflow
    EXPECT_EQ(220, r.h.DataVal(33));
    EXPECT_EQ(550, r.h.DataVal(34));
    EXPECT_EQ(-1, r.h.DataVal(35));
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(0u, r.Brief().find("温度:25.0℃ 湿度:50.0%RH"));
    EXPECT_EQ(-1, r.db.Int("select zr from tbSunrise where SID=64"));
    EXPECT_EQ(0, r.db.Int("select St from tbSMBrief where SID=64"));

    // A wait above 0 replaces the 100 ms.
    r.ch.Reply(GosStatus("00FA", "0032", "00", "0000", "0000"));
    r.ch.Reply(B("\x02R0103" "00DC" "\x03"));
    r.ch.Reply(B("\x02R0104" "0037" "\x03"));
    g_sleeps.clear();
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 250));
    EXPECT_EQ((std::vector<int>{250, 250, 250}), g_sleeps);
}

TEST(SunriseGos, ShortRepliesDecodeNothingThatDidNotArrive) {
    struct Case {
        const char* what;
        std::vector<Bytes> replies;
        std::vector<int> want;  // fields 1, 2, 33, 34 after the poll
        int result;
    } cases[] = {
        // 21 characters: the status reply reads to character 21.
        {"short status", {B("\x02L0100FA0032000000000")}, {111, 220, 333, 440}, 0},
        {"silent status", {Bytes()}, {111, 220, 333, 440}, 0},
        // 9 characters: the set point reads to character 9.
        {"short first read", {GosStatus("00FA", "0032", "00", "0000", "0000"), B("\x02R010300D")},
         {250, 500, 0, 0}, 0},
        {"silent second read",
         {GosStatus("00FA", "0032", "00", "0000", "0000"), B("\x02R0103" "00DC" "\x03"), Bytes()},
         {250, 500, 220, 0}, 0},
    };
    for (const Case& c : cases) {
        qxtest::ScriptChannel ch;
        qxhost::PointItem item(65, 0x810);
        item.Variant(1).Addr(1);
        CSMCyberSunrise h;
        h.DoItem(item, 0);
        // An earlier poll.
        ch.Reply(GosStatus("006F", "0016", "00", "0000", "0000"));
        ch.Reply(B("\x02R0103" "014D" "\x03"));
        ch.Reply(B("\x02R0104" "002C" "\x03"));
        ASSERT_EQ(1, h.DataGet(&ch, 1, 0)) << c.what;
        for (const Bytes& b : c.replies) b.empty() ? (void)ch.Silence() : (void)ch.Reply(b);
        EXPECT_EQ(c.result, h.DataGet(&ch, 1, 0)) << c.what;
        EXPECT_EQ(c.want, (std::vector<int>{h.DataVal(1), h.DataVal(2), h.DataVal(33), h.DataVal(34)}))
            << c.what;
    }
}

TEST(SunriseModbus, RequestDecodeAndRefusals) {
    qxsim::ModbusSlave slave(1);
    const uint16_t regs[8] = {220, 50, 0x0026, 250, 45, 0x8202, 0x8081, 0};
    for (int k = 0; k < 8; k++) slave.SetHolding((uint16_t)(1 + k), regs[k]);
    qxtest::ScriptChannel ch;
    ch.SetResponder(RtuOf(slave));
    CSMCyberSunrise h;  // without a current item: Modbus
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ("01 03 00 01 00 08 15 CC", H(ch.Written()[0]));
    EXPECT_EQ(0, ch.Purges());
    // Register 3 = 0x0026: fan, heating, dehumidifying; not humidifying, not cooling.
    EXPECT_EQ((std::vector<int>{250, 450, 1, 1, 0, 0, 1}), Vals(h, 7));
    EXPECT_EQ(1, h.DataVal(8));    // reg 6 bit 15 AComp1High
    EXPECT_EQ(1, h.DataVal(14));   // reg 6 bit 9 ATemHigh (GOS: high humidity)
    EXPECT_EQ(1, h.DataVal(22));   // reg 6 bit 1 ATemSup
    EXPECT_EQ(1, h.DataVal(23));   // reg 7 bit 15
    EXPECT_EQ(1, h.DataVal(29));   // reg 7 bit 7 AFire
    EXPECT_EQ(1, h.DataVal(32));   // reg 7 bit 0 AH2OOn
    EXPECT_EQ(0, h.DataVal(16));
    EXPECT_EQ(220, h.DataVal(33));
    EXPECT_EQ(500, h.DataVal(34));

    for (const ModbusFaultCase& c : kModbusFaults) {
        slave.FaultOnce(c.fault);
        EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << c.what;
        EXPECT_EQ(250, h.DataVal(1)) << c.what;
    }
    const size_t sent = ch.Written().size();
    EXPECT_EQ(0, h.DataGet(&ch, 256, 0));
    EXPECT_EQ(sent, ch.Written().size());
}

TEST(SunriseDb, RowsAndTheNoAnswerSummary) {
    DbRig<CSMCyberSunrise> r(66, 0x810);
    EXPECT_EQ(H("精密空调 QX-Cyber-Sunrise"), H(r.db.Str("select Name from tbSMType where Type=2064")));
    EXPECT_EQ(32, r.db.Int("select count(*) from tbSMDef where Type=2064"));
    EXPECT_EQ(H("压缩机２高压"), H(r.db.Str("select Note from tbSMDef where Type=2064 and Fld=30")));
    EXPECT_EQ(H("风机状态"), H(r.db.Str("select LoText from tbSMDef where Type=2064 and Fld=3")));
    r.ch.Silence();
    ASSERT_EQ(0, r.Poll());
    EXPECT_EQ(2, r.db.Int("select St from tbSMBrief where SID=66"));
    EXPECT_EQ(std::string::npos, r.Brief().find("正常"));
    EXPECT_NE(std::string::npos, r.Brief().find("通讯中断"));
}

// ================================================================ Stulz

TEST(StulzC5000, RequestAndRecord) {
    EXPECT_EQ("01 01 02 FC FF", H(qxsim::C5000Unit::Request(1)));
    uint8_t req[5];
    ASSERT_EQ(5, CSMStulzC7000::C5000Cmd(req, 1));
    EXPECT_EQ("01 01 02 FC FF", qxtest::Hex(Bytes(req, req + 5)));
    EXPECT_EQ(0, CSMStulzC7000::C5000Cmd(req, 256));

    qxsim::C5000Unit unit(1);
    unit.SetWord(3, 120);
    unit.SetWord(5, 240);
    unit.SetWord(9, 0xFFF6);
    unit.SetByte(55, 30);
    unit.SetByte(63, 80);
    unit.SetByte(72, 9);
    unit.SetByte(88, 7);
    unit.SetByte(134, 0xFF);
    qxtest::ScriptChannel ch;
    ch.SetResponder([&unit](const Bytes& q) { return unit.Answer(q); });
    qxhost::PointItem item(67, 0x802);
    item.Variant(1).Addr(1);
    CSMStulzC7000 h;
    h.DoItem(item, 0);
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ("01 01 02 FC FF", H(ch.Written()[0]));
    EXPECT_EQ(1, h.DataVal(1));     // bit 0 of byte 134
    EXPECT_EQ(0, h.DataVal(2));     // the C5000 has no room values
    EXPECT_EQ(120, h.DataVal(8));
    EXPECT_EQ(240, h.DataVal(9));
    EXPECT_EQ(-10, h.DataVal(11));
    EXPECT_EQ(30, h.DataVal(15));
    EXPECT_EQ(80, h.DataVal(22));
    EXPECT_EQ(9, h.DataVal(25));
    EXPECT_EQ(7, h.DataVal(30));

    // A record that ends before byte 134 (20 bytes, or 134 bytes) is refused: values kept.
    for (size_t n : {20u, 134u}) {
        unit.SetRecordBytes(n);
        unit.SetWord(5, 111);
        EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << n;
        EXPECT_EQ(240, h.DataVal(9)) << n;
        EXPECT_EQ(1, h.DataVal(1)) << n;
    }
    unit.SetRecordBytes(135);
    EXPECT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(111, h.DataVal(9));
    const size_t sent = ch.Written().size();
    EXPECT_EQ(0, h.DataGet(&ch, 300, 0));
    EXPECT_EQ(sent, ch.Written().size());
}

TEST(StulzC7000, FloatsAndThePoll) {
    float f[2];
    const uint8_t in[8] = {0x41, 0xBC, 0x00, 0x00, 0xBF, 0xA0, 0x00, 0x00};
    CSMStulzC7000::FvFromBuf(f, in, 2);
    EXPECT_EQ(23.5f, f[0]);
    EXPECT_EQ(-1.25f, f[1]);

    qxsim::ModbusSlave slave(1);
    qxsim::StulzC7000 s;
    s.tem = 23.5f;
    s.hum = -1.25f;
    s.runSt = 0xA5;
    qxsim::SetStulzC7000(slave, s);
    qxtest::ScriptChannel ch;
    ch.SetResponder(RtuOf(slave));
    CSMStulzC7000 h;
    g_sleeps.clear();
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    ASSERT_EQ(12u, ch.Written().size());
    EXPECT_EQ(1, ch.Purges());
    EXPECT_EQ(std::vector<int>(12, 100), g_sleeps);
    EXPECT_EQ("01 01 03 F5 00 01", H(ch.Written()[11]).substr(0, 17));
    EXPECT_EQ(235, h.DataVal(2));
    EXPECT_EQ(-12, h.DataVal(3));
    EXPECT_EQ(1, h.DataVal(1));     // the status byte of coil 1013
    EXPECT_EQ(240, h.DataVal(9));   // TemR 24.0
    EXPECT_EQ(300, h.DataVal(15));  // TemRH, value 0 of 4478
    EXPECT_EQ(180, h.DataVal(16));  // TemSH, value 2
    EXPECT_EQ(200, h.DataVal(17));  // TemRL, value 1
    EXPECT_EQ(0, h.DataVal(25));    // TemGC read, stored as 0
    EXPECT_EQ(0, h.DataVal(28));    // TemPump
    EXPECT_EQ(35, h.DataVal(31));
    EXPECT_EQ(45, h.DataVal(32));
}

TEST(StulzC7000, RefusedRepliesAndValuesThatDoNotFit) {
    for (const ModbusFaultCase& c : kModbusFaults) {
        qxsim::ModbusSlave slave(1);
        qxsim::SetStulzC7000(slave, qxsim::StulzC7000());
        qxtest::ScriptChannel ch;
        ch.SetResponder(RtuOf(slave));
        CSMStulzC7000 h;
        ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
        qxsim::StulzC7000 s;
        s.tem = 30.0f;
        s.temSet = 25.0f;
        s.humSetS = 9.0f;
        qxsim::SetStulzC7000(slave, s);
        slave.FaultOnce(qxsim::ModbusFault::None);
        slave.FaultOnce(qxsim::ModbusFault::None);
        slave.FaultOnce(c.fault);  // the third read
        EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << c.what;
        EXPECT_EQ(300, h.DataVal(2)) << c.what;  // read 1: new
        EXPECT_EQ(250, h.DataVal(4)) << c.what;  // read 2: new
        EXPECT_EQ(50, h.DataVal(7)) << c.what;   // read 3 failed: the earlier value
    }
    // Not finite, or beyond 16 bits after x10: the field keeps its value.
    qxsim::ModbusSlave slave(1);
    qxsim::SetStulzC7000(slave, qxsim::StulzC7000());
    qxtest::ScriptChannel ch;
    ch.SetResponder(RtuOf(slave));
    CSMStulzC7000 h;
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    qxsim::SetFloatBE(slave, 2340, NAN);
    qxsim::SetFloatBE(slave, 2342, 5000.0f);
    qxsim::SetFloatBE(slave, 2348, -3276.8f);
    qxsim::SetFloatBE(slave, 2350, INFINITY);
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(235, h.DataVal(2));
    EXPECT_EQ(450, h.DataVal(3));
    EXPECT_EQ(-32768, h.DataVal(4));
    EXPECT_EQ(10, h.DataVal(5));
}

TEST(StulzC7000, RegisterWrite) {
    qxsim::ModbusSlave slave(1);
    qxtest::ScriptChannel ch;
    ch.SetResponder(RtuOf(slave));
    CSMStulzC7000 h;
    int v = 200;
    EXPECT_EQ(1, h.DoFunc(&ch, 1, 16 << 16 | 2340, &v, 4));
    ASSERT_EQ(1u, ch.Written().size());
    EXPECT_EQ("01 10 09 24 00 02 04 00 00 00 C8 9B 82", H(ch.Written()[0]));
    EXPECT_EQ(0, slave.Holding(2340));
    EXPECT_EQ(200, slave.Holding(2341));

    struct Case {
        const char* what;
        int addr, cmd;
        void* buf;
        size_t sends;
        int result;
    } cases[] = {
        {"function 6", 1, 6 << 16 | 2340, &v, 0, 0},
        {"null buffer", 1, 16 << 16 | 2340, nullptr, 0, 0},
        {"address of two bytes", 257, 16 << 16 | 2340, &v, 0, 0},
    };
    for (const Case& c : cases) {
        qxtest::ScriptChannel q;
        q.SetResponder(RtuOf(slave));
        EXPECT_EQ(c.result, h.DoFunc(&q, c.addr, c.cmd, c.buf, 4)) << c.what;
        EXPECT_EQ(c.sends, q.Written().size()) << c.what;
    }
    for (qxsim::ModbusFault f : {qxsim::ModbusFault::Exception, qxsim::ModbusFault::Silence,
                                 qxsim::ModbusFault::BadCrc}) {
        slave.FaultOnce(f);
        EXPECT_EQ(0, h.DoFunc(&ch, 1, 16 << 16 | 2340, &v, 4));
    }
}

TEST(StulzDb, BriefFollowsTheVariant) {
    DbRig<CSMStulzC7000> r(68, 0x802, 0);
    EXPECT_EQ(H("世图兹精密空调 QX-STULZ-C7000"), H(r.db.Str("select Name from tbSMType where Type=2050")));
    EXPECT_EQ("2,3,8", r.db.Str("select group_concat(Fld) from tbSMDef where Type=2050"));
    EXPECT_EQ("watertemp", r.db.Str("select FldName from tbSMDef where Type=2050 and Fld=8"));
    qxsim::ModbusSlave slave(1);
    qxsim::SetStulzC7000(slave, qxsim::StulzC7000());
    r.ch.SetResponder(RtuOf(slave));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(H("温度:23.5℃ 湿度:45.0%RH"), H(r.Brief()));

    DbRig<CSMStulzC7000> c(69, 0x802, 1);
    qxsim::C5000Unit unit(1);
    unit.SetWord(5, 241);
    unit.SetWord(9, 452);
    c.ch.SetResponder([&unit](const Bytes& q) { return unit.Answer(q); });
    ASSERT_EQ(1, c.Poll());
    EXPECT_EQ(H("温度:24.1℃ 湿度:45.2%RH"), H(c.Brief()));
}

// A C5000 sends no room temperature and humidity: their 0 is no alarm, while its chilled
// water is checked as a C7000's is.
TEST(StulzDb, TheC5000PassesOverTheRoomItDoesNotSend) {
    struct Case {
        uint16_t water;
        std::vector<int> out;
        int state;
        const char* brief;
    } cases[] = {
        {250, {2, 3}, 0, "温度:24.1℃ 湿度:45.2%RH"},
        {120, {2, 3, 8}, 1, "温度:24.1℃ 湿度:45.2%RH告警:水温"},
    };
    for (const Case& c : cases) {
        AircHostPoll<CSMStulzC7000> p(0x802, 1);
        qxsim::C5000Unit unit(1);
        unit.SetWord(3, c.water);
        unit.SetWord(5, 241);
        unit.SetWord(9, 452);
        p.ch.SetResponder([&unit](const Bytes& q) { return unit.Answer(q); });
        ASSERT_EQ(1, p.Poll()) << c.water;
        EXPECT_EQ(c.out, p.out) << c.water;
        EXPECT_EQ(c.state, p.State()) << c.water;
        EXPECT_EQ(H(c.brief), H(p.Brief())) << c.water;
    }
    // A C7000 reads its room: a room at 0.0 would be out of limits and alarm.
    AircHostPoll<CSMStulzC7000> p(0x802, 0);
    qxsim::ModbusSlave slave(1);
    qxsim::StulzC7000 m;
    m.tem = 0.0f;
    m.w[0] = 25.0f;
    qxsim::SetStulzC7000(slave, m);
    p.ch.SetResponder(RtuOf(slave));
    ASSERT_EQ(1, p.Poll());
    EXPECT_EQ(std::vector<int>{2}, p.out);
    EXPECT_EQ(1, p.State());
    EXPECT_EQ(H("温度:0.0℃ 湿度:45.0%RH告警:室内温度"), H(p.Brief()));
}

// ================================================================ points

TEST(PrecisionAircPoints, ValuesAPollDoesNotRefreshStayWithTheirPoint) {
    // One handler, two points: A's unit tells an outdoor temperature, B's never does.
    Jadc r;
    qxhost::PointItem a(71, 0x81C), b(72, 0x81C);
    a.Addr(1).Ser(&r.ch);
    b.Addr(1).Ser(&r.ch);
    auto poll = [&r](qxhost::PointItem& p, const Bytes& block) {
        r.unit.ClearBlocks();
        r.unit.AddBlock(block);
        r.h.DoItem(p, 0);
        return r.h.DataGet(&r.ch, 1, 0);
    };
    ASSERT_EQ(1, poll(a, qxsim::JadcUnit::Words('S', 1, {450, 235, 310, 180})));
    EXPECT_EQ(310, r.h.DataVal(2));
    ASSERT_EQ(1, poll(b, kS));  // items 3 and 4 are 0: nothing of B's own to keep
    EXPECT_EQ(0, r.h.DataVal(2)) << "point A's outdoor temperature";
    EXPECT_EQ(0, r.h.DataVal(4));
    EXPECT_EQ(400, r.h.DataVal(1));
    ASSERT_EQ(1, poll(a, kS));
    EXPECT_EQ(310, r.h.DataVal(2)) << "A keeps its own";
    EXPECT_EQ(180, r.h.DataVal(4));
}
