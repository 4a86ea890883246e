// The Emerson YD/T 1363 UPS: requests and decode of every profile, the state codes of
// Variant 3, the replies it refuses, waits, and its definition rows. The unit is the YD/T
// device model behind a scripted channel.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "EmersonUnit.h"
#include "PointItem.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"
#include "ups/SMUpsEmerson.h"

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

int VerOf(int variant) { return CSMUpsEmerson::ProfileOf(variant).ver; }

// One handler, one point of the given Variant, the unit at address 1 behind a channel.
struct Rig {
    explicit Rig(int variant)
        : dev(1, 0x2A, VerOf(variant)), item(41, 0x301), h(new CSMUpsEmerson) {
        item.Name("UPS-E").Port(1).Addr(1).Variant(variant);
        ch.SetResponder([this](const qxtest::Bytes& req) { return dev.Handle(req); });
        h->DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0) { return h->DataGet(&ch, 1, wait); }
    std::string Written(size_t i) const {
        const qxtest::Bytes& b = ch.Written().at(i);
        return std::string(b.begin(), b.end());
    }
    int Val(int fld) { return h->DataVal(fld); }

    qxsim::YdtDevice dev;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    std::unique_ptr<CSMUpsEmerson> h;
};

}  // namespace

// ---------------------------------------------------------------- requests per profile

TEST(Emerson, StartsAsTheThreePhaseBase) {
    CSMUpsEmerson h;
    EXPECT_EQ(0x301, h.GetType());
    EXPECT_STREQ("QXUPS-EMERSON", h.GetNote());
    EXPECT_EQ(63, h.DataSize());
    EXPECT_EQ(10, h.m_iDivisor);
    EXPECT_EQ(0, h.DoFunc(nullptr, 1, 1, nullptr, 0));
}

TEST(Emerson, FrameExamplesOfTheProfiles) {
    struct Case {
        int variant;
        size_t index;  // which request of the poll
        const char* frame;
    } cases[] = {
        {0, 0, "~11012A410000FDA5\r"},
        {3, 0, "~21012A8B0000FD8F\r"},
        {2, 1, "~10012AE1E00200FD1E\r"},
    };
    for (const Case& c : cases) {
        Rig rig(c.variant);
        if (c.variant == 3)
            emerson::Profile3Unit(rig.dev);
        else
            emerson::FloatUnit(rig.dev, c.variant);
        ASSERT_EQ(1, rig.Poll()) << c.variant;
        EXPECT_EQ(c.frame, rig.Written(c.index)) << "Variant " << c.variant;
    }
}

TEST(Emerson, EachProfileAsksItsCommandsWithItsVersion) {
    struct Case {
        int variant;
        int ver;
        std::vector<int> cid2;
    } cases[] = {
        {0, 0x11, {0x41, 0xE1, 0xE3, 0x43}}, {1, 0x10, {0x41, 0xE1, 0xE3, 0x43}},
        {2, 0x10, {0x41, 0xE1, 0xE3, 0x43}}, {3, 0x21, {0x8B, 0x80, 0x82}},
        {4, 0x21, {0x42, 0xE1, 0xE3, 0x43}}, {5, 0x21, {0x42, 0xE0, 0xE1, 0xE3, 0x43}},
        {9, 0x11, {0x41, 0xE1, 0xE3, 0x43}},
    };
    for (const Case& c : cases) {
        Rig rig(c.variant);
        if (c.variant == 3)
            emerson::Profile3Unit(rig.dev);
        else if (c.variant == 5)
            emerson::WordUnit(rig.dev);
        else
            emerson::FloatUnit(rig.dev, c.variant);
        ASSERT_EQ(1, rig.Poll()) << c.variant;
        EXPECT_EQ(c.cid2, rig.dev.Commands()) << c.variant;
        for (const std::string& r : rig.dev.Requests())
            EXPECT_EQ(c.ver, std::stoi(r.substr(1, 2), nullptr, 16)) << r;
        // Every request on a channel emptied of earlier input.
        EXPECT_EQ((int)c.cid2.size(), rig.ch.Purges()) << c.variant;
    }
}

TEST(Emerson, NoCurrentPointIsTheDefaultProfile) {
    Rig rig(0);
    emerson::FloatUnit(rig.dev, 0);
    rig.h->DoItem(nullptr, 0);
    ASSERT_EQ(1, rig.Poll());
    EXPECT_EQ(0x41, rig.dev.Commands().at(0));
    EXPECT_EQ(220, rig.Val(kExVin1));
}

// ---------------------------------------------------------------- decode

TEST(Emerson, FloatProfilesScaleInSinglePrecision) {
    struct Case {
        int variant;
        float vout;
        int stored;
        int divisor;
    } cases[] = {
        {2, 220.5f, 2205, 10},
        {1, 220.5f, 220, 1},
        {4, 2205.0f, 220, 0},
        {0, 220.5f, 220, 1},
        {2, -12.25f, -122, 10},
        {1, 3.0e10f, INT32_MAX, 1},  // beyond the int range: held to it
    };
    for (const Case& c : cases) {
        Rig rig(c.variant);
        emerson::Figures f;
        f.vout = c.vout;
        emerson::FloatUnit(rig.dev, c.variant, f);
        ASSERT_EQ(1, rig.Poll()) << c.variant;
        EXPECT_EQ(c.stored, rig.Val(kExVout1)) << "Variant " << c.variant;
        EXPECT_EQ(c.divisor, rig.h->m_iDivisor) << "Variant " << c.variant;
    }
}

TEST(Emerson, FloatProfileFillsEveryFieldFromItsColumn) {
    for (int variant : {1, 2}) {
        Rig rig(variant);
        emerson::FloatUnit(rig.dev, variant);
        ASSERT_EQ(1, rig.Poll());
        const int k = variant == 2 ? 10 : 1;
        struct Case {
            int fld;
            float value;
        } cases[] = {
            {kExVin1, 220.5f}, {kExVin2, 221.5f}, {kExVin3, 222.5f}, {kExVout1, 221.5f},
            {kExVout2, 222.5f}, {kExVout3, 223.5f}, {kExIout1, 10.5f}, {kExIout2, 11.5f},
            {kExIout3, 12.5f}, {kExVbatt, 272.5f}, {kExFout1, 50.5f}, {kExFout2, 50.5f},
            {kExFout3, 50.5f}, {kExIin1, 12.5f}, {kExIin2, 13.5f}, {kExIin3, 14.5f},
            {kExFin1, 49.5f}, {kExFin2, 49.5f}, {kExFin3, 49.5f}, {kExVB1, 219.5f},
            {kExVB2, 220.5f}, {kExVB3, 221.5f}, {kExFB1, 50.0f}, {kExFB2, 50.0f},
            {kExFB3, 50.0f}, {kExMbatt, 35.0f}, {kExIB1, 0}, {kExTem, 0}, {kExPbatt, 0},
        };
        for (const Case& c : cases)
            EXPECT_EQ((int)(c.value * k), rig.Val(c.fld)) << "Variant " << variant << " field " << c.fld;
        // State bytes as sent; the status a plain sum of them.
        EXPECT_EQ(0xE1, rig.Val(kExB15));
        EXPECT_EQ(0xE1, rig.Val(kExB14));
        EXPECT_EQ(0xE0, rig.Val(kExB1));
        EXPECT_EQ(0xE0, rig.Val(kExB0));
        int sum = 0;
        for (int b = 0; b < 16; b++) sum += rig.Val(kExB0 - b) << b;
        EXPECT_EQ(sum, rig.Val(kExStatus));
    }
}

TEST(Emerson, StatusOfTheStateBytes) {
    struct Case {
        unsigned b0;
        unsigned others;
        int status;
    } cases[] = {{0x01, 0x00, 1}, {0xE0, 0x00, 224}, {0x00, 0x00, 0}};
    for (const Case& c : cases) {
        Rig rig(1);
        emerson::Figures f;
        for (unsigned& s : f.state) s = c.others;
        f.b0 = c.b0;
        emerson::FloatUnit(rig.dev, 1, f);
        ASSERT_EQ(1, rig.Poll());
        EXPECT_EQ(c.status, rig.Val(kExStatus)) << c.b0;
    }
}

TEST(Emerson, WordProfileTakesItsFiveReplies) {
    Rig rig(5);
    emerson::WordUnit(rig.dev);
    ASSERT_EQ(1, rig.Poll());
    struct Case {
        int fld;
        int value;
    } cases[] = {
        {kExVin1, 2201}, {kExVin3, 2203}, {kExVout1, 2211}, {kExVout3, 2213}, {kExIout1, 101},
        {kExIout3, 103}, {kExFout1, 501}, {kExFout3, 501}, {kExIin1, 121}, {kExIin3, 123},
        {kExFin1, 499}, {kExFin2, 499}, {kExVB1, 2191}, {kExVB3, 2193}, {kExFB1, 500},
        {kExFB3, 500}, {kExV1, 7}, {kExV2, 8}, {kExV3, 9}, {kExV4, 0},
        {kExVbatt, 2724},  // the CID2 E3 figure replaces the first reply's 2700
        {kExMbatt, 45}, {kExTem, 253}, {kExPbatt, 98},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, rig.Val(c.fld)) << "field " << c.fld;
    EXPECT_EQ(1, rig.h->m_iDivisor);
}

TEST(Emerson, Profile3TakesWordsAtATenth) {
    Rig rig(3);
    emerson::Profile3Unit(rig.dev);
    ASSERT_EQ(1, rig.Poll());
    struct Case {
        int fld;
        int value;
    } cases[] = {
        {kExVin1, 220}, {kExVin2, 221}, {kExVin3, 222}, {kExIin1, 12}, {kExIin3, 12},
        {kExFin1, 49}, {kExFin2, 49}, {kExFin3, 49}, {kExVout1, 221}, {kExVout2, 0},
        {kExIout1, 10}, {kExIout3, 0}, {kExFout1, 50}, {kExFout2, 0}, {kExTem, 25},
        {kExPbatt, 98}, {kExMbatt, 45}, {kExVbatt, 272}, {kExVB1, 219}, {kExVB2, 0},
        {kExFB1, 50}, {kExFB2, 0}, {kExStatus, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, rig.Val(c.fld)) << "field " << c.fld;
    EXPECT_EQ(0, rig.h->m_iDivisor);
    // Its two later requests wait a fixed 200 ms.
    EXPECT_EQ((std::vector<int>{250, 200, 200}), g_sleeps);
}

TEST(Emerson, Profile3StateCodes) {
    struct Case {
        const char* what;
        unsigned mode;
        uint32_t word;
        std::vector<std::pair<int, int>> want;
    } cases[] = {
        {"mode 3", 3, 0, {{kExB15, 1}, {kExB0, 0xE0}}},
        {"mode 2", 2, 0, {{kExB15, 2}}},
        {"mode 8", 8, 0, {{kExB15, 0xE9}, {kExB0, 0xE1}}},
        {"no bits", 2, 0,
         {{kExB14, 0xE1}, {kExB13, 0xE2}, {kExB12, 0xE1}, {kExB11, 0xE3}, {kExB10, 0xE1},
          {kExB9, 0xE0}, {kExB8, 0xE0}, {kExB7, 0xE0}, {kExB6, 0xE0}, {kExB5, 0xE3},
          {kExB4, 0xE0}, {kExB3, 0xE0}, {kExB2, 0xE0}, {kExB1, 0xE0}}},
        {"bit 23 only", 2, 1u << 23, {{kExB12, 0xE0}, {kExB11, 0xE3}}},
        {"bit 19 only", 2, 1u << 19, {{kExB12, 0xE1}, {kExB11, 0xE1}}},
        {"bit 15", 2, 1u << 15, {{kExB14, 0xE0}}},
        {"bit 17", 2, 1u << 17, {{kExB13, 0xE1}}},
        {"bit 22", 2, 1u << 22, {{kExB1, 0xE1}}},
        {"bits 3..2 01", 2, 1u << 2, {{kExB5, 0xE2}}},
        {"bits 3..2 10", 2, 2u << 2, {{kExB5, 0xE0}}},
        {"bits 3..2 11", 2, 3u << 2, {{kExB5, 0xE3}}},
    };
    for (const Case& c : cases) {
        Rig rig(3);
        emerson::Profile3Unit(rig.dev, c.mode, c.word);
        ASSERT_EQ(1, rig.Poll()) << c.what;
        for (const auto& w : c.want) EXPECT_EQ(w.second, rig.Val(w.first)) << c.what << " field " << w.first;
    }
}

TEST(Emerson, Profile3BypassFrequencyIsAHundredthOfTheRawValue) {
    struct Case {
        unsigned raw;
        int fb1;
    } cases[] = {{5000, 50}, {4999, 49}, {0, 0}, {65535, 655}};
    for (const Case& c : cases) {
        Rig rig(3);
        emerson::Profile3Unit(rig.dev, 2, 0, c.raw);
        ASSERT_EQ(1, rig.Poll());
        EXPECT_EQ(c.fb1, rig.Val(kExFB1)) << c.raw;
    }
}

// ---------------------------------------------------------------- refusals

// What a refused reply does depends on where it comes: the first one leaves the previous
// poll's record, a later one the part of the new poll decoded before it.
TEST(Emerson, RefusedRepliesFailThePoll) {
    struct Case {
        const char* what;
        qxsim::YdtFault fault;
        int param;
    } cases[] = {
        {"silence", qxsim::YdtFault::Silence, -1},
        {"RTN 04", qxsim::YdtFault::Rtn, 0x04},
        {"RTN 02", qxsim::YdtFault::Rtn, 0x02},
        {"bad CHKSUM", qxsim::YdtFault::BadChecksum, -1},
        {"bad LCHKSUM", qxsim::YdtFault::BadLength, -1},
        {"10 characters", qxsim::YdtFault::Short, 10},
        {"cut before CHKSUM", qxsim::YdtFault::Short, 60},
        {"lower-case digits", qxsim::YdtFault::Lowercase, -1},
    };
    for (const Case& c : cases) {
        for (int at : {0, 2}) {  // the first request, the third
            Rig rig(1);
            emerson::FloatUnit(rig.dev, 1);
            ASSERT_EQ(1, rig.Poll());
            rig.h->m_rec.Vin1 = 1234;  // the previous poll's record
            rig.h->m_rec.Mbatt = 4321;
            for (int i = 0; i < at; i++) rig.dev.FaultOnce(qxsim::YdtFault::None);
            rig.dev.FaultOnce(c.fault, c.param);
            EXPECT_EQ(0, rig.Poll()) << c.what << " at " << at;
            if (at == 0) {
                EXPECT_EQ(1234, rig.Val(kExVin1)) << c.what;
                EXPECT_EQ(4321, rig.Val(kExMbatt)) << c.what;
            } else {
                EXPECT_EQ(220, rig.Val(kExVin1)) << c.what;   // first reply taken
                EXPECT_EQ(12, rig.Val(kExIin1)) << c.what;    // second reply taken
                EXPECT_EQ(0, rig.Val(kExMbatt)) << c.what;    // third refused: cleared
                EXPECT_EQ(0, rig.Val(kExB15)) << c.what;
            }
        }
    }
}

TEST(Emerson, ReplyMustHoldEveryColumnRead) {
    // A valid frame whose INFO ends before the last float read (Fout at 95..102).
    Rig rig(1);
    emerson::FloatUnit(rig.dev, 1);
    ASSERT_EQ(1, rig.Poll());
    rig.dev.SetInfo(0x41, emerson::InfoAt({{15, qxsim::YdtFloat(230.0f)}}, 101));
    EXPECT_EQ(0, rig.Poll());
    EXPECT_EQ(220, rig.Val(kExVin1));
    EXPECT_EQ(5u, rig.dev.Commands().size());  // nothing asked after the refused reply
}

TEST(Emerson, NothingOfAnEarlierReplyIsRead) {
    // A long reply of another unit waits in the input; this unit's reply is shorter than the
    // columns read. Neither may give a value.
    Rig rig(1);
    emerson::FloatUnit(rig.dev, 1);
    qxsim::YdtDevice other(2, 0x2A, 0x10);
    emerson::Figures f;
    f.vin = 180.0f;
    emerson::FloatUnit(other, 1, f);
    std::string stale = other.Handle(qxsim::YdtFrame(0x10, 2, 0x2A, 0x41, ""));
    ASSERT_EQ(108u, stale.size());
    rig.ch.Inject(qxtest::Bytes(stale.begin(), stale.end()));
    ASSERT_EQ(1, rig.Poll());
    EXPECT_EQ(220, rig.Val(kExVin1));
    EXPECT_EQ(0u, rig.ch.Pending());

    // Now the unit's reply is short of the columns; the earlier, longer reply must not fill
    // them in.
    rig.dev.SetInfo(0xE1, emerson::InfoAt({{41, qxsim::YdtFloat(99.0f)}}, 49));
    EXPECT_EQ(0, rig.Poll());
    EXPECT_EQ(0, rig.Val(kExIin1));
    EXPECT_EQ(0, rig.Val(kExVB1));
}

TEST(Emerson, ClosedMissingOrUnwritableChannelFailsThePoll) {
    Rig rig(1);
    emerson::FloatUnit(rig.dev, 1);
    EXPECT_EQ(0, rig.h->DataGet(nullptr, 1, 0));
    rig.ch.SetOpen(false);
    EXPECT_EQ(0, rig.Poll());
    EXPECT_TRUE(rig.ch.Written().empty());
    rig.ch.SetOpen(true);
    rig.ch.ShortWrite(5);
    EXPECT_EQ(0, rig.Poll());
    EXPECT_EQ(1u, rig.ch.Written().size());
}

TEST(Emerson, WaitsFollowTheWaitArgument) {
    struct Case {
        int wait;
        int slept;
    } cases[] = {{0, 250}, {-5, 250}, {1, 1}, {100, 100}};
    for (const Case& c : cases) {
        Rig rig(1);
        emerson::FloatUnit(rig.dev, 1);
        ASSERT_EQ(1, rig.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(4, c.slept), g_sleeps) << c.wait;
    }
}

// ---------------------------------------------------------------- definition rows

TEST(EmersonDb, RegistersFortyThreeRowsOfItsOwn) {
    TestDb db;
    CSMUpsEmerson h;
    h.RegDb(&db, 0);
    EXPECT_EQ(::Hex(std::string("UPS QXUPS-EMERSON")), ::Hex(db.Str("select Name from tbSMType where Type=769")));
    EXPECT_EQ(768, db.Int("select Kind from tbSMType where Type=769"));
    EXPECT_EQ(43, db.Int("select count(*) from tbSMDef where Type=769"));
    EXPECT_EQ("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,22,24,25,26,27,28,29,30,31,32,33,34,"
              "35,36,37,38,39,40,42,55,56,57,61,62,63",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef where Type=769 "
                     "order by rowid)"));
    struct Row {
        int fld;
        const char* name;
        const char* note;
        const char* lo;
        const char* hi;
        const char* numbers;  // Ratio/AlmKind/low/high
    } rows[] = {
        {22, "Tem", "电池温度", "最小值|允许最低温度,低于此值告警", "最大值|允许最高温度,超过此值告警",
         "10/10/200/650"},
        {24, "b15", "供电方式", "01H：UPS供电 02H：旁路供电 E9H：均不供电", "", "1/0/0/0"},
        {29, "b10", "发电机接入", "E0H：发电机接入 E1H：发电机没接入", "0", "1/0/0/0"},
        {35, "b4", "旋转开关状态(不用,预留)",
         "E0H：关闭状态 E1H：测试状态（逆变调测模式） E2H：正常状态 E3H：旁路状态 "
         "E4H：维修状态 E5H：逆变步进调试模式",
         "", "1/0/0/0"},
        {39, "b0", "ECO模式状态", "E0H：正常模式 E1H：ECO模式", "0", "1/0/0/0"},
        {57, "VB3", "旁路电压C", "最小值|允许最低输出电压,低于此值告警",
         "最大值|允许最高输出电压,超过此值告警", "10/10/2000/2350"},
    };
    for (const Row& r : rows) {
        std::string where = " from tbSMDef where Type=769 and Fld=" + std::to_string(r.fld);
        EXPECT_EQ(r.name, db.Str("select FldName" + where));
        EXPECT_EQ(::Hex(std::string(r.note)), ::Hex(db.Str("select Note" + where))) << r.fld;
        EXPECT_EQ(::Hex(std::string(r.lo)), ::Hex(db.Str("select LoText" + where))) << r.fld;
        EXPECT_EQ(::Hex(std::string(r.hi)), ::Hex(db.Str("select HiText" + where))) << r.fld;
        EXPECT_EQ(r.numbers, db.Str("select Ratio||'/'||AlmKind||'/'||vref||'/'||HiLmt" + where));
    }
    // Present rows stay unless forced.
    db.Run("delete from tbSMDef where Type=769 and Fld>1");
    h.RegDb(&db, 0);
    EXPECT_EQ(1, db.Int("select count(*) from tbSMDef where Type=769"));
    h.RegDb(&db, 1);
    EXPECT_EQ(43, db.Int("select count(*) from tbSMDef where Type=769"));
}

// ADR is one byte: an address beyond it fails the poll with nothing sent, never cut to the
// unit its low bits name. 255 and 1 are sent.
TEST(Emerson, AddressThatDoesNotFitAdrSendsNothing) {
    struct Case {
        int addr;
        const char* adr;  // ADR characters of the first request; nullptr: nothing sent
    } cases[] = {{1, "01"}, {255, "FF"}, {256, nullptr}, {65537, nullptr}, {-1, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.addr);
        Rig rig(0);
        emerson::FloatUnit(rig.dev, 0);
        int got = rig.h->DataGet(&rig.ch, c.addr, 0);
        if (!c.adr) {
            EXPECT_EQ(0, got);
            EXPECT_TRUE(rig.ch.Written().empty());
            continue;
        }
        EXPECT_EQ(c.addr == 1 ? 1 : 0, got);  // the unit is at address 1
        EXPECT_EQ(c.adr, rig.Written(0).substr(3, 2));
    }
}
