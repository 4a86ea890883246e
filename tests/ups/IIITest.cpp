// The III UPS on the tbUps shape: its two requests, the reply frame check with the bytes the
// decoding reads, the measurement and battery decoding, what a failed exchange leaves, the
// refused address, the waits, the refused command and the rows it registers.
#include <stdio.h>
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BinUpsRig.h"
#include "IIIUps.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "ups/SMUpsIII.h"

using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// One UPS answering through a scripted channel, one point of it.
struct Rig : qxtest::BinUpsRig<CSMUpsIII, qxsim::IIIUps> {
    Rig() : BinUpsRig(52, 0x309) {}
};

using Expect = qxtest::FieldIs;
using qxtest::ExpectFields;

const std::vector<Expect> kAtRest = {
    {kUpsVin1, 2200}, {kUpsVin2, 2200}, {kUpsVin3, 2200}, {kUpsVout, 2200}, {kUpsV2, 2210},
    {kUpsV3, 2190},   {kUpsAout, 52},   {kUpsAed, 48},    {kUpsV4, 50},     {kUpsVbatt, 2200},
    {kUpsVdc, 3800},  {kUpsFout, 500},  {kUpsB7, 0},      {kUpsStatus, 0},  {kUpsPbatt, 100},
};

// A measurement reply of the simulator's defaults with byte 50 set.
Bytes MeasureWith(uint8_t byte50) {
    qxsim::IIIUps d(1);
    d.SetByte(CSMUpsIII::kMeasure, 50, byte50);
    return d.Answer(qxsim::IIIUps::Request(1, CSMUpsIII::kMeasure));
}

}  // namespace

// ---------------------------------------------------------------- frames

TEST(IIIFrames, RequestsByAddressAndCommand) {
    struct Case {
        int address;
        int command;
        const char* frame;
    } cases[] = {
        {1, 0x81, "EA 02 02 EA 01 81 82 16"},   {1, 0x86, "EA 02 02 EA 01 86 87 16"},
        {0x90, 0x81, "EA 02 02 EA 90 81 11 16"}, {0x90, 0x86, "EA 02 02 EA 90 86 16 16"},
        {0xFF, 0x81, "EA 02 02 EA FF 81 80 16"}, {0, 0x86, "EA 02 02 EA 00 86 86 16"},
    };
    CSMUpsIII h;
    for (const Case& c : cases) {
        ASSERT_EQ(8, h.IIICmd((uint8_t)c.address, (uint8_t)c.command));
        EXPECT_EQ(c.frame, qxtest::Hex(h.m_cmd, 8)) << c.address << " " << c.command;
    }
    // A poll sends the measurement request, then the battery one.
    Rig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(2u, r.ch.Written().size());
    EXPECT_EQ("EA 02 02 EA 01 81 82 16", qxtest::Hex(r.ch.Written()[0]));
    EXPECT_EQ("EA 02 02 EA 01 86 87 16", qxtest::Hex(r.ch.Written()[1]));
}

TEST(IIIFrames, AnAddressBeyondTheByteIsRefusedUnsent) {
    // 0x101 would go out as address 1 and read another UPS into this point.
    for (int address : {0x100, 0x101, -1, 0x10001}) {
        Rig r;
        EXPECT_EQ(0, r.Poll(address)) << address;
        EXPECT_TRUE(r.ch.Written().empty()) << address;
        EXPECT_EQ(0, r.h.DataVal(kUpsVin1));
    }
}

// ---------------------------------------------------------------- replies

TEST(IIIReply, FrameCheckTable) {
    const Bytes good = MeasureWith(0);
    auto with = [&](std::function<void(Bytes&)> f) {
        Bytes b = good;
        f(b);
        return b;
    };
    // L 46: the check byte at 50, where the decoding reads the flags.
    Bytes l46(good.begin(), good.begin() + 52);
    l46[1] = l46[2] = 46;
    l46[51] = 0x16;
    struct Case {
        Bytes reply;
        int need;
        bool ok;
        const char* what;
    } cases[] = {
        {good, CSMUpsIII::MeasureNeed(), true, "53 bytes, L 47"},
        {with([](Bytes& b) { b.push_back(0x00); }), CSMUpsIII::MeasureNeed(), true,
         "bytes after the frame"},
        {with([](Bytes& b) { b[2] = 48; }), CSMUpsIII::MeasureNeed(), false, "bytes 1 and 2 differ"},
        {with([](Bytes& b) { b[0] = 0xEB; }), CSMUpsIII::MeasureNeed(), false, "first byte not EA"},
        {with([](Bytes& b) { b.pop_back(); }), CSMUpsIII::MeasureNeed(), false, "shorter than L + 6"},
        {with([](Bytes& b) { b[52] = 0x17; }), CSMUpsIII::MeasureNeed(), false, "byte L + 5 not 16"},
        {l46, CSMUpsIII::MeasureNeed(), false, "L too small for byte 50: it is the check byte"},
        {l46, 50, true, "L 46 when byte 50 is not read"},
        {HexBytes("EA 00 00 01 81 16"), 0, true, "the least frame"},
        {HexBytes("EA 00 00 01 81 16"), 5, false, "the least frame has no data"},
        {HexBytes("EA 00 00 01 81"), 0, false, "the least frame without its end"},
        {HexBytes("EA"), 0, false, "a marker alone"},
        {Bytes(), 0, false, "nothing"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ok, CSMUpsIII::FrameChk(c.reply.data(), (int)c.reply.size(), c.need)) << c.what;
    }
    EXPECT_FALSE(CSMUpsIII::FrameChk(nullptr, 52, 0));
    EXPECT_EQ(51, CSMUpsIII::MeasureNeed());
    EXPECT_EQ(23, CSMUpsIII::BatteryNeed());
}

TEST(IIIReply, MainsFlagFromTheLowSixBitsOfByte50) {
    struct Case {
        uint8_t byte50;
        int b7;
        int status;
    } cases[] = {{0x40, 0, 0}, {0x01, 1, 128}, {0x00, 0, 0}, {0x20, 1, 128},
                 {0x80, 0, 0}, {0xC0, 0, 0},   {0x3F, 1, 128}, {0xFF, 1, 128}};
    for (const Case& c : cases) {
        CSMUpsIII h;
        const Bytes b = MeasureWith(c.byte50);
        h.TakeMeasures(b.data(), (int)b.size());
        EXPECT_EQ(c.b7, h.DataVal(kUpsB7)) << (int)c.byte50;
        EXPECT_EQ(c.status, h.DataVal(kUpsStatus)) << (int)c.byte50;
    }
}

// ---------------------------------------------------------------- polls

TEST(IIIPoll, BothRepliesDecodeAndTheUnusedFieldsAreZero) {
    Rig r;
    // What the record held before: this UPS has none of these, so the poll zeroes them.
    r.h.m_rec.Fin = 1, r.h.m_rec.Pout = 2, r.h.m_rec.Tem = 3, r.h.m_rec.b0 = 4;
    r.h.m_rec.Mbatt = 5, r.h.m_rec.Ved = 6, r.h.m_rec.VAed = 7, r.h.m_rec.Fed = 8;
    r.h.m_rec.v1 = 9;
    snprintf(r.h.m_rec.company, sizeof r.h.m_rec.company, "OLD");
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, kAtRest, "at rest");
    ExpectFields(r.h,
                 {{kUpsFin, 0}, {kUpsPout, 0}, {kUpsTem, 0}, {kUpsB6, 0}, {kUpsB0, 0},
                  {kUpsMbatt, 0}, {kUpsVed, 0}, {kUpsVAed, 0}, {kUpsFed, 0}, {kUpsV1, 0}},
                 "zeroed");
    EXPECT_STREQ("", qxhost::TextOfVal(r.h.DataVal(kUpsCompany)));
    EXPECT_EQ(0, r.h.DataVal(34));
    EXPECT_EQ(0, r.h.DataVal(35));
}

TEST(IIIPoll, WaitsPerExchange) {
    struct Case {
        int wait;
        int slept;
    } cases[] = {{0, 100}, {100, 100}, {101, 101}, {300, 300}};
    for (const Case& c : cases) {
        Rig r;
        ASSERT_EQ(1, r.Poll(1, c.wait)) << c.wait;
        EXPECT_EQ(std::vector<int>(2, c.slept), g_sleeps) << c.wait;
    }
}

TEST(IIIPoll, AFailedExchangeLeavesWhatItWouldHaveWritten) {
    using F = qxsim::IIIFault;
    struct Case {
        F fault;
        std::function<Bytes(const Bytes&)> tamper;
        const char* what;
    } cases[] = {
        {F::Silence, nullptr, "silence"},
        {F::LengthsDiffer, nullptr, "bytes 1 and 2 differ"},
        {F::NoHead, nullptr, "no EA"},
        {F::NoEnd, nullptr, "no 16"},
        {F::TooSmall, nullptr, "L too small for the decoded offsets"},
        {F::None, [](const Bytes&) { return HexBytes("13 37 EA EA 16 00 16 FF"); }, "garbage"},
        {F::None, [](const Bytes& b) { return Bytes(b.begin(), b.end() - 1); }, "cut short"},
    };
    for (int exchange = 0; exchange < 2; exchange++) {
        for (const Case& c : cases) {
            const std::string what = std::string(c.what) + " on exchange " + std::to_string(exchange);
            Rig r;
            ASSERT_EQ(1, r.Poll()) << what;
            r.h.m_rec.Fin = 7;  // a field the battery reply would zero
            // New values on the line; the failed exchange must not bring its own.
            r.dev.SetWord(CSMUpsIII::kMeasure, 6, 2300);
            r.dev.SetByte(CSMUpsIII::kBattery, 22, 60);
            if (exchange == 1) r.dev.FaultOnce(F::None);
            r.dev.FaultOnce(c.fault);
            r.exchanges = 0;
            r.at = (size_t)exchange;
            r.tamper = c.tamper;
            EXPECT_EQ(0, r.Poll()) << what;
            EXPECT_EQ(2u + (size_t)exchange + 1, r.ch.Written().size()) << what;
            EXPECT_EQ(exchange == 1 ? 2300 : 2200, r.h.DataVal(kUpsVin1)) << what;
            EXPECT_EQ(100, r.h.DataVal(kUpsPbatt)) << what;
            EXPECT_EQ(7, r.h.DataVal(kUpsFin)) << what;
            EXPECT_EQ(500, r.h.DataVal(kUpsFout)) << what;
        }
    }
}

TEST(IIIPoll, RepliesSplitAcrossReadsAreGathered) {
    Rig r;
    qxsim::IIIUps model(1);
    for (uint8_t cmd : {CSMUpsIII::kMeasure, CSMUpsIII::kBattery}) {
        Bytes b = model.Answer(qxsim::IIIUps::Request(1, cmd));
        r.ch.ReplyChunks({Bytes(b.begin(), b.begin() + 2), Bytes(b.begin() + 2, b.begin() + 20),
                          Bytes(b.begin() + 20, b.end())});
    }
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, kAtRest, "split");
}

TEST(IIIPoll, NoChannelOrAClosedOneSendsNothing) {
    CSMUpsIII h;
    EXPECT_EQ(0, h.DataGet(nullptr, 1, 0));
    Rig r;
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(IIICommand, NothingIsSentSoNothingSucceeds) {
    Rig r;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(1, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 1, nullptr, 0));
    CSMUpsIII lone;
    EXPECT_EQ(0, lone.DoFunc(1, nullptr, 0)) << "no point, no channel";
    EXPECT_TRUE(r.ch.Written().empty());
}

// ---------------------------------------------------------------- registration and texts

TEST(IIIDb, TypeRowOfItsClassAndSixRows) {
    TestDb db;
    CSMUpsIII h;
    EXPECT_EQ(0x309, h.GetType());
    EXPECT_STREQ("UPS-III", h.GetNote());
    EXPECT_EQ(38, h.DataSize());
    EXPECT_EQ(-1, h.DataVal(36));
    EXPECT_EQ(-1, h.DataVal(37));
    h.RegDb(&db, 0);
    EXPECT_EQ(2054, db.Int("select Kind from tbSMType where Type=777"));
    EXPECT_EQ(Hex("行间空调GI系列 UPS-III"), Hex(db.Str("select Name from tbSMType where Type=777")));
    EXPECT_EQ("485接口...", db.Str("select Note from tbSMType where Type=777"));
    EXPECT_EQ(6, db.Int("select count(*) from tbSMDef where Type=777"));
    EXPECT_EQ("Vin1,Vout,Fout,b7,Vbatt,Pbatt",
              db.Str("select group_concat(FldName) from (select FldName from tbSMDef where "
                     "Type=777 order by rowid)"));
    EXPECT_EQ(Hex("b7市电异常"), Hex(db.Str("select Note from tbSMDef where Type=777 and Fld=11")));
    EXPECT_EQ(300, db.Int("select vref from tbSMDef where Type=777 and Fld=20"));
}

TEST(IIITexts, NoDisplayKeys) {
    Rig r;
    ASSERT_EQ(1, r.Poll());
    for (const char* key : {".Vin", ".Pbatt", ".company", ""}) {
        char text[64];
        snprintf(text, sizeof text, "%s", key);
        EXPECT_EQ(-1, r.h.VarEval(text)) << key;
    }
    EXPECT_EQ(-1, r.h.VarEval(nullptr));
}
