// The Modbus DIO modules PD220-6, FD220 and RD230: requests, replies taken only when they
// check, the values and rows they store, and their output commands.
#include <string.h>

#include <string>

#include "TestRig.h"
#include "core/SMSql.h"
#include "io/SMDioFd220.h"
#include "io/SMDioMlan7vxpxj.h"
#include "io/SMDioPd2206.h"
#include "io/SMDioRd230.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using qxtest::Bytes;
using qxtest::HexBytes;
using qxtest::Hex;
using qxtest::Sleeps;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

template <class H>
struct DioRig : iotest::Rig<H> {
    explicit DioRig(int type) : iotest::Rig<H>(9, type) {}
    int Upd(int* bits, int flags = 0) { return this->h.DataUpd(flags, bits, nullptr, -1, &this->hist); }
    // Point rows of the point in the SIDD form.
    void PointRows(int n) {
        for (int f = 1; f <= n; f++)
            this->db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(100,0," +
                         std::to_string(f) + ",9,-1)");
    }
    std::string Row(const std::string& cols) {
        return this->db.Str("select " + cols + " from tbDio where SID=9");
    }
    std::string Brief() { return this->db.Str("select Brief from tbSMBrief where SID=9"); }
};

// A reply of the PD220-6: one byte per point.
Bytes PdReply(const char* points) { return Rtu(std::string("01 04 0C ") + points); }
const char kPd1And12[] = "01 00 00 00 00 00 00 00 00 00 00 01";

// ---------------------------------------------------------------- PD220-6

TEST(Pd2206, RequestPointsAndMask) {
    DioRig<CSMDioPd2206> r(0x903);
    EXPECT_EQ(42, r.h.GetMask());
    EXPECT_EQ(15, r.db.Int("select count(*) from tbSMDef where Type=2307"));
    EXPECT_EQ(3, r.db.Int("select count(*) from tbSMDef where Type=2307 and Fld=0 and FldName=''"));
    r.ch.Reply(PdReply(kPd1And12));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("01 04 00 00 00 0C F0 0F", Hex(r.ch.Written()[0]));
    EXPECT_TRUE(Sleeps().empty()) << "the module is read at once";
    EXPECT_EQ(0x801, r.h.DataVal(0));
    EXPECT_EQ(1, r.h.DataVal(1));
    EXPECT_EQ(0, r.h.DataVal(2));
    EXPECT_EQ(1, r.h.DataVal(12));
    // Points keep the byte the module sent.
    r.ch.Reply(PdReply("00 02 00 00 00 00 00 00 00 00 00 00"));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(2, r.h.DataVal(2));
    EXPECT_EQ(0x002, r.h.DataVal(0));
}

TEST(Pd2206, RefusedRepliesLeaveThePoints) {
    struct Case {
        const char* what;
        Bytes reply;
    } cases[] = {
        {"silence", {}},
        {"exception", Rtu("01 84 02")},
        {"short, CRC good", Rtu("01 04 0C 01 00")},
        {"bad CRC", BadCrc("01 04 0C 00 00 00 00 00 00 00 00 00 00 00 00")},
        {"standard two bytes a register", Rtu("01 04 18 " + std::string(48, '0'))},
        {"wrong byte count", Rtu("01 04 0B 00 00 00 00 00 00 00 00 00 00 00")},
        {"another unit", Rtu("02 04 0C 00 00 00 00 00 00 00 00 00 00 00 00")},
        {"another function", Rtu("01 03 0C 00 00 00 00 00 00 00 00 00 00 00 00")},
    };
    for (const Case& c : cases) {
        DioRig<CSMDioPd2206> r(0x903);
        r.ch.Reply(PdReply(kPd1And12));
        ASSERT_EQ(1, r.Poll());
        r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(0x801, r.h.DataVal(0)) << c.what;
        EXPECT_EQ(1, r.h.DataVal(12)) << c.what;
    }
    // A reply split across reads is gathered.
    DioRig<CSMDioPd2206> r(0x903);
    Bytes whole = PdReply(kPd1And12);
    r.ch.ReplyChunks({Bytes(whole.begin(), whole.begin() + 5), Bytes(whole.begin() + 5, whole.end())});
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(0x801, r.h.DataVal(0));
    // An address beyond the address byte sends nothing.
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    EXPECT_EQ(1u, r.ch.Written().size());
}

TEST(Pd2206, OutputCommands) {
    struct Case {
        const char* what;
        int cmd;
        Bytes reply;
        int result;
        const char* sent;  // "" nothing
    } cases[] = {
        {"output 11 on", 8 << 16 | 0x40, Rtu("01 08 00 40 00 01 00 01"), 1, "01 08 00 40 00 01 00 01 99 C8"},
        {"no answer", 8 << 16 | 0x40, {}, 0, "01 08 00 40 00 01 00 01 99 C8"},
        {"exception", 8 << 16 | 0x40, Rtu("01 88 01"), 0, "01 08 00 40 00 01 00 01 99 C8"},
        {"another echo", 8 << 16 | 0x40, Rtu("01 08 00 40 00 01 00 00"), 0, "01 08 00 40 00 01 00 01 99 C8"},
        {"short echo", 8 << 16 | 0x40, Rtu("01 08 00"), 0, "01 08 00 40 00 01 00 01 99 C8"},
        {"bad CRC", 8 << 16 | 0x40, BadCrc("01 08 00 40 00 01 00 01"), 0, "01 08 00 40 00 01 00 01 99 C8"},
        {"register 0x42", 8 << 16 | 0x42, {}, 0, ""},
        {"function 6", 6 << 16 | 0x40, {}, 0, ""},
    };
    for (const Case& c : cases) {
        DioRig<CSMDioPd2206> r(0x903);
        r.ch.Reply(c.reply);
        int value = 1;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, &value, 4)) << c.what;
        EXPECT_EQ(c.sent, Hex(r.ch.LastWritten())) << c.what;
    }
    DioRig<CSMDioPd2206> r(0x903);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 8 << 16 | 0x40, nullptr, 4));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 8 << 16 | 0x40, &r, 4));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(Pd2206, StoresTwelvePointsAndNamesOutputsClosed) {
    DioRig<CSMDioPd2206> r(0x903);
    r.PointRows(12);
    r.ch.Reply(PdReply(kPd1And12));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {1 << 10};  // point 11, an output
    ASSERT_EQ(1, r.Upd(bits, 1));
    EXPECT_EQ("1|2049|1|0|1", r.Row("State||'|'||Dio||'|'||D01||'|'||D11||'|'||D12"));
    EXPECT_EQ("DI 11:关闭 (其他正常)", r.Brief());
    EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SIDD=9 and Fld=11"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SIDD=9 and Fld=10"));
    EXPECT_EQ("2049|1", r.hist.Str("select Dio||'|'||D12 from tbDio where SID=9"));
}

// ---------------------------------------------------------------- FD220

TEST(Fd220, RequestAndCoil) {
    DioRig<CSMDioFd220> r(0x902);
    EXPECT_EQ(32, r.h.GetMask());
    EXPECT_EQ(1, r.db.Int("select count(*) from tbSMDef where Type=2306"));
    r.ch.Reply(Rtu("01 01 01 01"));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("01 01 00 00 00 01 FD CA", Hex(r.ch.Written()[0]));
    EXPECT_EQ(std::vector<int>{100}, Sleeps());
    EXPECT_EQ(1, r.h.DataVal(0));
    EXPECT_EQ(1, r.h.DataVal(1));
    EXPECT_EQ(0, r.h.DataVal(2)) << "the last field, not filled";
    EXPECT_EQ(-1, r.h.DataVal(3));
    for (const Bytes& bad : {Bytes(), Rtu("01 81 02"), BadCrc("01 01 01 00"), Rtu("01 01 00")}) {
        EXPECT_EQ(0, r.Poll()) << Hex(bad);
        EXPECT_EQ(1, r.h.DataVal(1));
    }
}

TEST(Fd220, SwitchCommand) {
    struct Case {
        const char* what;
        int cmd;
        int variant;  // -1: no current item
        Bytes reply;
        int result;
        const char* sent;
    } cases[] = {
        {"on, Variant 0", 5, 0, Rtu("01 05 01 F4 FF 00"), 1, "01 05 01 F4 FF 00 CC 34"},
        {"no point", 5, -1, Rtu("01 05 01 F4 FF 00"), 1, "01 05 01 F4 FF 00 CC 34"},
        {"on, Variant 1", 5, 1, Rtu("01 05 00 00 FF 00"), 1, "01 05 00 00 FF 00 8C 3A"},
        {"eight bytes of noise", 5, 0, HexBytes("55 55 55 55 55 55 55 55"), 0, "01 05 01 F4 FF 00 CC 34"},
        {"exception", 5, 0, Rtu("01 85 03"), 0, "01 05 01 F4 FF 00 CC 34"},
        {"silence", 5, 0, {}, 0, "01 05 01 F4 FF 00 CC 34"},
        {"Variant 2", 5, 2, {}, 0, ""},
        {"function 5 in the function bits", 5 << 16, 0, {}, 0, ""},
    };
    for (const Case& c : cases) {
        DioRig<CSMDioFd220> r(0x902);
        r.item.Variant(c.variant < 0 ? 0 : c.variant);
        if (c.variant < 0) r.h.DoItem(nullptr, 0);
        r.ch.Reply(c.reply);
        const uint8_t value[2] = {0x00, 0xFF};  // 0xFF00, low byte first
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, (void*)value, 2)) << c.what;
        EXPECT_EQ(c.sent, Hex(r.ch.LastWritten())) << c.what;
        if (*c.sent) {
            EXPECT_EQ(std::vector<int>{300}, Sleeps()) << c.what;
            EXPECT_EQ(1, r.ch.Purges()) << c.what;
        }
        Sleeps().clear();
    }
}

TEST(Fd220, StateSummaryAndRows) {
    DioRig<CSMDioFd220> r(0x902);
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(9,2306,-1)");
    r.ch.Reply(Rtu("01 01 01 01"));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    ASSERT_EQ(1, r.Upd(bits));
    EXPECT_EQ("0|1|1", r.Row("State||'|'||Dio||'|'||D01"));
    EXPECT_EQ("电池正在放电", r.Brief());
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=9 and Type=2306"));
    r.ch.Reply(Rtu("01 01 01 00"));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(bits));
    EXPECT_EQ("电池停止放电", r.Brief());
    // A silent module, with the host's alarm flag too: cleared values and a fault summary.
    for (int flags : {0, 1}) {
        r.h.m_wData[1] = 1;
        ASSERT_EQ(1, r.Upd(nullptr, flags));
        EXPECT_EQ(std::to_string(flags ? 1 : 2) + "|0|0", r.Row("State||'|'||Dio||'|'||D01"));
        EXPECT_EQ(qx::sql::NoAnswerBrief("故障"), r.Brief()) << flags;
    }
    // Every update is a history row; the current row stays one.
    EXPECT_EQ(4, r.hist.Int("select count(*) from tbDio where SID=9"));
    EXPECT_EQ("0|1|1", r.hist.Str("select State||'|'||Dio||'|'||D01 from tbDio where SID=9 order by DID limit 1"));
    EXPECT_EQ(1, r.db.Int("select count(*) from tbDio where SID=9"));
}

// ---------------------------------------------------------------- RD230

TEST(Rd230, InvertedInputsAndBitText) {
    struct Case {
        uint8_t in;
        const char* points;  // D01..D08
        const char* text;
    } cases[] = {
        {0xFF, "00000000", "0xff(1111 1111)"},
        {0x7F, "00000001", "0x7f(0111 1111)"},
        {0xFE, "10000000", "0xfe(1111 1110)"},
        {0x00, "11111111", "0x00(0000 0000)"},
    };
    for (const Case& c : cases) {
        DioRig<CSMDioRd230> r(0x906);
        char hex[4];
        snprintf(hex, sizeof hex, "%02X", c.in);
        r.ch.Reply(Rtu(std::string("01 02 01 ") + hex));
        testing::internal::CaptureStdout();
        ASSERT_EQ(1, r.Poll());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ("01 02 00 00 00 08 79 CC", Hex(r.ch.Written()[0]));
        EXPECT_EQ(std::vector<int>{100}, Sleeps());
        std::string points;
        for (int n = 1; n <= 8; n++) points += std::to_string(r.h.DataVal(n));
        EXPECT_EQ(c.points, points) << c.text;
        EXPECT_EQ(c.in, r.h.DataVal(0));
        EXPECT_EQ(std::string("[A01] SMDi: ") + c.text + "\r\n", out);
    }
    DioRig<CSMDioRd230> r(0x906);
    for (const Bytes& bad : {Bytes(), Rtu("01 82 02"), BadCrc("01 02 01 00"), Rtu("01 02 02 00 00")})
        EXPECT_EQ(0, r.Poll()) << Hex(bad);
}

TEST(Rd230, NoAnswerClearsAndSaysFault) {
    DioRig<CSMDioRd230> r(0x906);
    r.PointRows(8);
    r.ch.Reply(Rtu("01 02 01 FE"));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {1};
    ASSERT_EQ(1, r.Upd(bits, 1));
    EXPECT_EQ("1|254|1", r.Row("State||'|'||Dio||'|'||D01"));
    EXPECT_EQ("DI 1:告警 (其他正常)", r.Brief());
    ASSERT_EQ(1, r.Upd(nullptr));
    EXPECT_EQ("2|0|0", r.Row("State||'|'||Dio||'|'||D01"));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SIDD=9 and Fld=8"));
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbDio where SID=9"));
}

}  // namespace

// ---------------------------------------------------------------- distribution board

namespace {

// The board's reply: registers 1964.. from `first`, the rest 0; 149 bytes.
Bytes BoardReply(std::vector<int> first) {
    std::string hex = "01 03 90";
    for (int i = 0; i < 72; i++) {
        char w[8];
        snprintf(w, sizeof w, " %04X", i < (int)first.size() ? first[i] : 0);
        hex += w;
    }
    return Rtu(hex);
}

}  // namespace

TEST(Mlan7vxpxj, BreakersWaitsAndRefusals) {
    struct Case {
        int wait, slept;
    } waits[] = {{100, 100}, {250, 250}, {0, 100}, {101, 101}};
    for (const Case& w : waits) {
        iotest::Rig<CSMDioMlan7vxpxj> r(9, 0x909);
        Bytes reply = BoardReply({2, 1, 0, 2});
        ASSERT_EQ(149u, reply.size());
        r.ch.Reply(reply);
        ASSERT_EQ(1, r.Poll(w.wait));
        EXPECT_EQ("01 03 07 AC 00 48 84 A9", Hex(r.ch.Written()[0]));
        EXPECT_EQ(std::vector<int>{w.slept}, Sleeps()) << w.wait;
        EXPECT_EQ(2, r.h.DataVal(1));
        EXPECT_EQ(1, r.h.DataVal(2));
        EXPECT_EQ(2, r.h.DataVal(4));
        EXPECT_EQ(0, r.h.DataVal(0));
        Sleeps().clear();
    }
    iotest::Rig<CSMDioMlan7vxpxj> r(9, 0x909);
    EXPECT_EQ(73, r.h.DataSize());
    r.ch.Reply(BoardReply(std::vector<int>(72, 1)));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1, r.h.DataVal(72));
    EXPECT_EQ(-1, r.h.DataVal(73));
    for (const Bytes& bad : {Bytes(), Rtu("01 83 02"), Rtu("01 03 02 00 02"), HexBytes("01 03"),
                             BadCrc("01 03 02 00 02")}) {
        EXPECT_EQ(0, r.Poll()) << Hex(bad);
        EXPECT_EQ(1, r.h.DataVal(1));
    }
}

TEST(Mlan7vxpxj, DefinitionsTablesAndRows) {
    iotest::Rig<CSMDioMlan7vxpxj> r(9, 0x909);
    EXPECT_EQ("施耐德配电盘 QX-MLAN-7VXPXJ", r.db.Str("select Name from tbSMType where Type=2313"));
    EXPECT_EQ(72, r.db.Int("select count(*) from tbSMDef where Type=2313"));
    EXPECT_EQ("模块2断路器3", r.db.Str("select Note from tbSMDef where Type=2313 and Fld=6"));
    EXPECT_EQ("D72", r.db.Str("select FldName from tbSMDef where Type=2313 and Fld=72"));
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(9,2313,-1)");
    r.ch.Reply(BoardReply({2, 1}));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0|2|1|0", r.db.Str("select State||'|'||D01||'|'||D02||'|'||D72 from tbMlan7vxpxj where SID=9"));
    EXPECT_EQ("", r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=9"));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, &r.hist));
    EXPECT_EQ("2|0|0", r.db.Str("select State||'|'||D01||'|'||D02 from tbMlan7vxpxj where SID=9"));
    EXPECT_EQ(qx::sql::NoAnswerBrief("故障"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ("0|2,2|0", r.hist.Str("select group_concat(State||'|'||D01) from tbMlan7vxpxj where SID=9"));
}
