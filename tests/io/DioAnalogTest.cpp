// The analog modules AD5DA5 and its calibrated form: the two reads, output writes, the curves
// and their smoothing, the alarm flags, the rows in tbDio and tbIvcDat, the curve commands.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "TestRig.h"
#include "io/SMDioAd5Da5.h"
#include "io/SMDioAd5Da5Ivc.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using qxtest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;
using qxtest::Sleeps;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// A read reply of five registers from unit addr.
Bytes Regs(int fn, std::vector<int> v, int addr = 1) {
    char text[64] = "";
    int n = snprintf(text, sizeof text, "%02X %02X 0A", addr, fn);
    for (int x : v) n += snprintf(text + n, sizeof text - (size_t)n, " %04X", x & 0xFFFF);
    return Rtu(text);
}

template <class H>
struct AnalogRig : iotest::Rig<H> {
    explicit AnalogRig(int type, int addr = 1) : iotest::Rig<H>(9, type) {
        this->item.Addr(addr);
        this->h.ChkDb(this->item);
    }
    // A poll of the module at addr (the point's address by default).
    int PollWith(std::vector<int> in, std::vector<int> out, int addr = -1) {
        if (addr < 0) addr = this->item.Get().Addr;
        this->ch.Reply(Regs(4, in, addr)).Reply(Regs(3, out, addr));
        return this->h.DataGet(&this->ch, addr, 0);
    }
    int Upd(int* bits, int flags = 0) { return this->h.DataUpd(flags, bits, nullptr, -1, &this->hist); }
    std::string Values(int from, int to) {
        std::string s;
        for (int i = from; i <= to; i++) s += (i > from ? "," : "") + std::to_string(this->h.DataVal(i));
        return s;
    }
};

// ---------------------------------------------------------------- AD5DA5

TEST(Ad5Da5, TwoReadsIntoTenWords) {
    AnalogRig<CSMDioAd5Da5> r(0x905);
    EXPECT_EQ(85, r.h.GetMask());
    EXPECT_EQ(12, r.db.Int("select count(*) from tbSMDef where Type=2309"));
    EXPECT_EQ("模拟量输出6", r.db.Str("select Note from tbSMDef where Type=2309 and Fld=6"));
    ASSERT_EQ(1, r.PollWith({1, 2, 3, 4, 0xFFFF}, {0x8000, 7, 8, 9, 10}));
    ASSERT_EQ(2u, r.ch.Written().size());
    EXPECT_EQ("01 04 00 00 00 05 30 09", Hex(r.ch.Written()[0]));
    EXPECT_EQ("01 03 00 00 00 05 85 C9", Hex(r.ch.Written()[1]));
    EXPECT_EQ((std::vector<int>{100, 100}), Sleeps());
    EXPECT_EQ("0,1,2,3,4,65535,32768,7,8,9,10", r.Values(0, 10));
}

TEST(Ad5Da5, AFailedReadKeepsWhatItCovers) {
    struct Case {
        const char* what;
        Bytes first, second;
        const char* values;  // D01..D10 after the failed poll
    } cases[] = {
        {"second silent", Regs(4, {11, 12, 13, 14, 15}), {}, "11,12,13,14,15,6,7,8,9,10"},
        {"second exception", Regs(4, {11, 12, 13, 14, 15}), Rtu("01 83 02"), "11,12,13,14,15,6,7,8,9,10"},
        {"first silent", {}, {}, "1,2,3,4,5,6,7,8,9,10"},
        {"first four bytes", HexBytes("01 04 0A 00"), {}, "1,2,3,4,5,6,7,8,9,10"},
        {"first exception", Rtu("01 84 04"), {}, "1,2,3,4,5,6,7,8,9,10"},
        {"first bad CRC", BadCrc("01 04 0A 00 01 00 01 00 01 00 01 00 01"), {}, "1,2,3,4,5,6,7,8,9,10"},
        {"first wrong count", Rtu("01 04 08 00 01 00 01 00 01 00 01"), {}, "1,2,3,4,5,6,7,8,9,10"},
    };
    for (const Case& c : cases) {
        AnalogRig<CSMDioAd5Da5> r(0x905);
        ASSERT_EQ(1, r.PollWith({1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}));
        r.ch.Reply(c.first).Reply(c.second);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(c.values, r.Values(1, 10)) << c.what;
    }
}

TEST(Ad5Da5, OutputWrites) {
    struct Case {
        const char* what;
        int cmd, len;
        Bytes reply;
        int result;
        const char* sent;
    } cases[] = {
        {"function 6", 6 << 16 | 1, 4, Rtu("01 06 00 01 12 34"), 1, "01 06 00 01 12 34 D5 7D"},
        {"function 6, another value echoed", 6 << 16 | 1, 4, Rtu("01 06 00 01 00 00"), 0, "01 06 00 01 12 34 D5 7D"},
        {"function 16, len 3: one register", 16 << 16, 3, Rtu("01 10 00 00 00 01"), 1, "01 10 00 00 00 01 02 12 34 AB 27"},
        {"function 16, exception", 16 << 16, 4, Rtu("01 90 02"), 0, "01 10 00 00 00 02 04 12 34 56 78 88 9B"},
        {"function 16, silence", 16 << 16, 4, {}, 0, "01 10 00 00 00 02 04 12 34 56 78 88 9B"},
        {"function 16, len 1", 16 << 16, 1, {}, 0, ""},
        {"function 16, len beyond the request", 16 << 16, 56, {}, 0, ""},
        {"function 5", 5 << 16, 4, {}, 0, ""},
    };
    for (const Case& c : cases) {
        AnalogRig<CSMDioAd5Da5> r(0x905);
        r.ch.Reply(c.reply);
        uint8_t buf[64];
        for (int i = 0; i < 64; i++) buf[i] = (uint8_t)(0x12 + 0x22 * i);
        int value = 0x1234;
        void* arg = (c.cmd >> 16) == 6 ? (void*)&value : (void*)buf;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, arg, c.len)) << c.what;
        EXPECT_EQ(c.sent, Hex(r.ch.LastWritten())) << c.what;
        if (*c.sent) {
            EXPECT_EQ(std::vector<int>{100}, Sleeps()) << c.what;
        }
        Sleeps().clear();
    }
    // 27 registers fill the request buffer.
    AnalogRig<CSMDioAd5Da5> r(0x905);
    uint8_t buf[64] = {0};
    r.ch.Reply(Rtu("01 10 00 00 00 1B"));
    EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, 16 << 16, buf, 55));
    EXPECT_EQ(63u, r.ch.LastWritten().size());
}

// ---------------------------------------------------------------- AD5DA5 with curves

using Ivc = AnalogRig<CSMDioAd5Da5Ivc>;

TEST(Ad5Da5Ivc, CurvesPercentagesAndNoWaits) {
    struct Case {
        int raw2;     // input 2, temperature
        int tenths;   // D07
    } cases[] = {{0, 100}, {4095, 400}, {410, 250}};
    for (const Case& c : cases) {
        Ivc r(0x90A);
        ASSERT_EQ(1, r.PollWith({0, c.raw2, 0, 0, 0}, {2048, 0, 4095, 0, 0}));
        EXPECT_EQ(c.tenths, r.h.DataVal(7)) << c.raw2;
        EXPECT_TRUE(Sleeps().empty());
        EXPECT_EQ(5, r.h.DataVal(6)) << "ammonia's first point is 0.0 V -> 0.5";
        EXPECT_EQ("2048,0,4095,0,0", r.Values(11, 15));
        EXPECT_EQ("50,0,100,0,0", r.Values(16, 20));
    }
}

TEST(Ad5Da5Ivc, SmoothingPerModuleNumber) {
    // Pressure difference (input 5): raw 2000 is beyond the curve (250), raw 1000 gives 137.0.
    Ivc r(0x90A, 3);
    ASSERT_EQ(1, r.PollWith({0, 0, 0, 0, 2000}, {0, 0, 0, 0, 0}));
    EXPECT_EQ(250, r.h.DataVal(10));
    ASSERT_EQ(1, r.PollWith({0, 0, 0, 0, 1000}, {0, 0, 0, 0, 0}));
    EXPECT_EQ(193, r.h.DataVal(10)) << "(250 + 137.0) / 2";
    // A poll that fails in its second read leaves the memory as it was.
    r.ch.Reply(Regs(4, {0, 0, 0, 0, 4095}, 3)).Silence();
    EXPECT_EQ(0, r.Poll());
    ASSERT_EQ(1, r.PollWith({0, 0, 0, 0, 1000}, {0, 0, 0, 0, 0}));
    EXPECT_EQ(165, r.h.DataVal(10)) << "(193.5 + 137.0) / 2";
    // Module 13 shares module 3's memory; module 4 has its own.
    ASSERT_EQ(1, r.PollWith({0, 0, 0, 0, 1000}, {0, 0, 0, 0, 0}, 13));
    EXPECT_EQ(151, r.h.DataVal(10));
    ASSERT_EQ(1, r.PollWith({0, 0, 0, 0, 1000}, {0, 0, 0, 0, 0}, 4));
    EXPECT_EQ(137, r.h.DataVal(10));
    // Module number 0 keeps no memory: the curve value each time.
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(1, r.PollWith({0, 0, 0, 0, i ? 1000 : 2000}, {0, 0, 0, 0, 0}, 10));
        EXPECT_EQ(i ? 137 : 250, r.h.DataVal(10));
    }
}

TEST(Ad5Da5Ivc, AlarmFlagsSummaryAndRows) {
    Ivc r(0x90A, 3);
    EXPECT_EQ(1, r.db.Int("select count(*) from tbIvcDat where BID=3"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from sqlite_master where name='tbIvcDat'"));
    for (int f = 6; f <= 10; f++)
        r.db.Run("insert into tbSubSysDetail(SID,Type,Fld,State) values(9,2314," + std::to_string(f) + ",-1)");
    ASSERT_EQ(1, r.PollWith({1, 410, 0, 0, 0}, {2048, 0, 0, 0, 0}));
    int bits[1] = {1 << 6};  // field 7, the temperature
    ASSERT_EQ(1, r.Upd(bits, 1));
    EXPECT_EQ("1,0,1,0,0,0", r.Values(21, 26));
    EXPECT_EQ("DI 7=25.0 (告警) ", r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SID=9 and Fld=7"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=9 and Fld=6"));
    EXPECT_EQ("1|250|2048|50|1|0|1",
              r.db.Str("select State||'|'||D07||'|'||D11||'|'||D16||'|'||D21||'|'||D22||'|'||D23 "
                       "from tbDio where SID=9"));
    EXPECT_EQ("1|250|2048|50|1|1",
              r.db.Str("select AD1||'|'||AD2v||'|'||DA1||'|'||DA1v||'|'||State||'|'||iAD2v "
                       "from tbIvcDat where BID=3"));
    EXPECT_EQ(1, r.hist.Int("select D23 from tbDio where SID=9"));

    int none[1] = {0};
    ASSERT_EQ(1, r.Upd(none));
    EXPECT_EQ("全部正常", r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ("0,0,0,0,0,0", r.Values(21, 26));

    // No answer: values cleared, every flag 2, the point states 2, the fault summary.
    ASSERT_EQ(1, r.Upd(nullptr));
    EXPECT_EQ("2,2,2,2,2,2", r.Values(21, 26));
    EXPECT_EQ(0, r.h.DataVal(7));
    EXPECT_EQ(qx::sql::NoAnswerBrief("故障"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=9 and Fld=10"));
    EXPECT_EQ("0|2", r.db.Str("select AD2v||'|'||iAD5v from tbIvcDat where BID=3"));

    char text[32] = ".温度";
    r.h.m_wData[7] = 253;
    EXPECT_EQ(4, r.h.VarEval(text));
    EXPECT_EQ("25.3", std::string(text));
    strcpy(text, ".NH3");
    r.h.m_wData[6] = 1005;
    EXPECT_EQ(5, r.h.VarEval(text));
    EXPECT_EQ("100.5", std::string(text));
    strcpy(text, ".D07");
    EXPECT_EQ(-1, r.h.VarEval(text)) << "the base's forms are not offered";
}

// The stored value block of a point: tbDio's D01..D26 and tbIvcDat's copy of its module.
std::string StoredBlock(TestDb& db, int sid, int bid) {
    std::string cols;
    for (int i = 1; i <= 26; i++) cols += std::string(i > 1 ? "||','||" : "") + (i < 10 ? "D0" : "D") + std::to_string(i);
    return db.Str("select " + cols + " from tbDio where SID=" + std::to_string(sid)) + " / " +
           db.Str("select AD1||','||AD5||','||AD2v||','||AD4v||','||DA1||','||DA1v||','||State||','||iAD1v||','||"
                  "iAD2v||','||iAD5v from tbIvcDat where BID=" + std::to_string(bid));
}

// The host's alarm flag without alarm bits (state 1) keeps the point's readings and flags; only
// no answer (state 2) clears them. Each point keeps its own.
TEST(Ad5Da5Ivc, HostFlagKeepsEachModulesValues) {
    Ivc r(0x90A, 3);
    qxhost::PointItem four(10, 0x90A);
    four.Name("P4").Port(2).Addr(4).Ser(&r.ch);
    ASSERT_EQ(1, r.h.ChkDb(four));

    ASSERT_EQ(1, r.PollWith({8, 410, 830, 1000, 2000}, {2048, 0, 4095, 0, 0}));
    int bits[1] = {1 << 6 | 1 << 9};  // temperature and pressure difference
    ASSERT_EQ(1, r.Upd(bits, 1));
    const std::string values = r.Values(1, 26);
    const std::string stored = StoredBlock(r.db, 9, 3);
    EXPECT_EQ("1,0,1,0,0,1", r.Values(21, 26));
    EXPECT_EQ(250, r.h.DataVal(7));

    ASSERT_EQ(1, r.Upd(nullptr, 1));
    EXPECT_EQ(values, r.Values(1, 26));
    EXPECT_EQ(stored, StoredBlock(r.db, 9, 3));

    // Module 4 on the same handler, read and stored normal.
    r.h.DoItem(four, 0);
    ASSERT_EQ(1, r.PollWith({100, 0, 4095, 0, 0}, {0, 4095, 0, 0, 0}, 4));
    int none[1] = {0};
    ASSERT_EQ(1, r.Upd(none));
    const std::string storedFour = StoredBlock(r.db, 10, 4);
    EXPECT_EQ("0,0,0,0,0,0", r.Values(21, 26));

    // Module 3 without an answer under the host's flag: its own values, not module 4's.
    r.h.DoItem(r.item, 0);
    r.ch.Silence();
    EXPECT_EQ(0, r.Poll());
    ASSERT_EQ(1, r.Upd(nullptr, 1));
    EXPECT_EQ(values, r.Values(1, 26));
    EXPECT_EQ(stored, StoredBlock(r.db, 9, 3));
    EXPECT_EQ(storedFour, StoredBlock(r.db, 10, 4));

    // Module 4 without an answer: cleared and flagged 2; module 3 keeps its own.
    r.h.DoItem(four, 0);
    r.ch.Silence();
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 4, 0));
    ASSERT_EQ(1, r.Upd(nullptr));
    EXPECT_EQ("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2,2,2,2,2,2", r.Values(1, 26));
    r.h.DoItem(r.item, 0);
    ASSERT_EQ(1, r.Upd(nullptr, 1));
    EXPECT_EQ(values, r.Values(1, 26));
    EXPECT_EQ(stored, StoredBlock(r.db, 9, 3));
}

TEST(Ad5Da5Ivc, CurveCommands) {
    // Function 22, two points: the temperature as 10 per volt.
    const float line[2][2] = {{0.0f, 0.0f}, {10.0f, 100.0f}};
    struct Case {
        const char* what;
        int cmd, len;
        int result;
        int d07;  // after a poll of raw 4095 (10 V)
    } cases[] = {
        {"two points", 22 << 16 | 2, 16, 1, 1000},
        {"count 0", 22 << 16 | 0, 16, 0, 400},
        {"count 51", 22 << 16 | 51, 400, 0, 400},
        {"len below the points", 22 << 16 | 2, 15, 0, 400},
        {"len above the curve", 22 << 16 | 2, 401, 0, 400},
        {"another curve", 21 << 16 | 2, 16, 1, 400},
    };
    for (const Case& c : cases) {
        Ivc r(0x90A);
        uint8_t buf[420] = {0};
        memcpy(buf, line, sizeof line);
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, buf, c.len)) << c.what;
        EXPECT_TRUE(r.ch.Written().empty()) << c.what;
        ASSERT_EQ(1, r.PollWith({0, 4095, 0, 0, 0}, {0, 0, 0, 0, 0}));
        EXPECT_EQ(c.d07, r.h.DataVal(7)) << c.what;
    }
    // A curve whose values cannot be stored gives 0, never a wrapped or undefined number.
    const float bad[3][2][2] = {{{0.0f, NAN}, {10.0f, NAN}},
                                {{0.0f, -5.0f}, {10.0f, -5.0f}},
                                {{0.0f, 1e9f}, {10.0f, 1e9f}}};
    for (const auto& curve : bad) {
        Ivc r(0x90A);
        ASSERT_EQ(1, r.h.DoFunc(&r.ch, 1, 22 << 16 | 2, (void*)curve, 16));
        ASSERT_EQ(1, r.PollWith({0, 4095, 0, 0, 0}, {0, 0, 0, 0, 0}));
        EXPECT_EQ(0, r.h.DataVal(7)) << curve[0][1];
    }
}

TEST(Ad5Da5Ivc, OutputWritesWithoutWaits) {
    Ivc r(0x90A);
    const uint8_t data[3] = {0x12, 0x34, 0x56};
    r.ch.Reply(Rtu("01 10 00 00 00 01"));
    EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, 16 << 16, (void*)data, 3));
    EXPECT_EQ("01 10 00 00 00 01 02 12 34 AB 27", Hex(r.ch.LastWritten()));
    EXPECT_TRUE(Sleeps().empty());
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 5 << 16, (void*)data, 3));
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 26 << 16 | 1, (void*)data, 8));
    EXPECT_EQ(1u, r.ch.Written().size());
}

}  // namespace
