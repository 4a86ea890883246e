// The Symmetra Modbus UPS on the tbUps shape: its two reads, the status bits and measurement
// map, the waits, the replies it refuses and what each refusal keeps, and what its updates
// store (rows, columns, summary, the failure counter of each point). The unit is the Modbus
// slave model behind a scripted channel.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "ModbusMaps.h"
#include "UpsUnitRig.h"
#include "gtest/gtest.h"
#include "ups/SMUpsSymmetra.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// One Symmetra unit (Modbus unit 1, a healthy unit's registers) and one point of it.
struct Rig : upstest::Rig<CSMUpsSymmetra> {
    Rig() : upstest::Rig<CSMUpsSymmetra>(41, 0x307) {
        qxsim::SetSymmetraUps(slave, qxsim::SymmetraUps());
        Serve(slave);
    }
    qxsim::ModbusSlave slave{1};
};

}  // namespace

TEST(Symmetra, StartsEmptyOnTheTbUpsShape) {
    CSMUpsSymmetra h;
    EXPECT_EQ(0x307, h.GetType());
    EXPECT_STREQ("QXUPS-Symmetra", h.GetNote());
    EXPECT_EQ(35, h.DataSize());
    for (int f = 1; f <= 30; f++) EXPECT_EQ(0, h.DataVal(f)) << f;
    qxtest::ScriptChannel ch;
    EXPECT_EQ(0, h.DoFunc(&ch, 1, 1, nullptr, 0)) << "no command";
    EXPECT_TRUE(ch.Written().empty());
}

TEST(Symmetra, AsksStatusThenMeasurements) {
    Rig rig;
    ASSERT_EQ(1, rig.Poll());
    ASSERT_EQ(2u, rig.ch.Written().size());
    EXPECT_EQ("01 03 00 00 00 05 85 C9", qxtest::Hex(rig.ch.Written()[0]));
    const Bytes& m = rig.ch.Written()[1];
    ASSERT_EQ(8u, m.size());
    EXPECT_EQ("01 03 00 07 00 2D", qxtest::Hex(m.data(), 6));
    EXPECT_EQ(qxsim::ModbusSlave::Crc16(m.data(), 6), (uint16_t)(m[6] | m[7] << 8));
}

TEST(Symmetra, StatusBitsOfRegistersZeroOneAndThree) {
    struct Case {
        uint16_t r0, r1, r3;
        int status;
        int b7, b6, b5, b4, b3, b2, b1, b0;
    } cases[] = {
        {0, 0, 0x00C9, 0xC9, 1, 1, 0, 0, 1, 0, 0, 1},
        {0x0008, 0, 0, 0x20, 0, 0, 1, 0, 0, 0, 0, 0},
        {0, 0x0080, 0, 0x10, 0, 0, 0, 1, 0, 0, 0, 0},
        {0, 0, 0x000F, 0x0F, 0, 0, 0, 0, 1, 1, 1, 1},
        // Bits the unit does not define here are not read.
        {0xFFF7, 0xFF7F, 0xFF30, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0xFFFF, 0xFFFF, 0xFFFF, 0xFF, 1, 1, 1, 1, 1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.slave.SetHolding(0, c.r0);
        rig.slave.SetHolding(1, c.r1);
        rig.slave.SetHolding(3, c.r3);
        ASSERT_EQ(1, rig.Poll());
        const int want[] = {c.status, c.b7, c.b6, c.b5, c.b4, c.b3, c.b2, c.b1, c.b0};
        for (int i = 0; i < 9; i++)
            EXPECT_EQ(want[i], rig.Val(kUpsStatus + i)) << std::hex << c.r0 << "/" << c.r1 << "/" << c.r3 << " field " << std::dec << kUpsStatus + i;
    }
}

TEST(Symmetra, MeasurementRegisterMap) {
    Rig rig;
    struct Case {
        uint16_t reg;
        int fld;
    } cases[] = {
        {7, kUpsPbatt}, {8, kUpsMbatt}, {9, kUpsVbatt}, {19, kUpsFin}, {20, kUpsVin1},
        {26, kUpsVout}, {27, kUpsAout}, {29, kUpsVin2}, {35, kUpsV2},  {36, kUpsAed},
        {38, kUpsVin3}, {44, kUpsV3},   {45, kUpsV4},
    };
    for (uint16_t r = 7; r <= 51; r++) rig.slave.SetHolding(r, 0);
    for (const Case& c : cases) rig.slave.SetHolding(c.reg, (uint16_t)(1000 + c.reg));
    rig.slave.SetHolding(51, 0xFFFF);  // the last register of the block, read by nothing
    ASSERT_EQ(1, rig.Poll());
    for (const Case& c : cases) EXPECT_EQ(1000 + c.reg, rig.Val(c.fld)) << "register " << c.reg;
    // Fields this unit never reports.
    for (int f : {kUpsPout, kUpsV1, kUpsFout, kUpsVed, kUpsVAed, kUpsVdc, kUpsFed, kUpsTem})
        EXPECT_EQ(0, rig.Val(f)) << f;

    // Registers are unsigned words.
    rig.slave.SetHolding(20, 0xFFFE);
    ASSERT_EQ(1, rig.Poll());
    EXPECT_EQ(65534, rig.Val(kUpsVin1));
}

TEST(Symmetra, TemperatureIsTheRoundedMeanOfRegisters47And49) {
    struct Case {
        uint16_t a, b;
        int tem;
    } cases[] = {{250, 255, 253}, {250, 251, 251}, {250, 250, 250}, {0, 0, 0}, {0, 1, 1},
                 {65535, 65535, 65535}};
    for (const Case& c : cases) {
        Rig rig;
        rig.slave.SetHolding(47, c.a);
        rig.slave.SetHolding(49, c.b);
        ASSERT_EQ(1, rig.Poll());
        EXPECT_EQ(c.tem, rig.Val(kUpsTem)) << c.a << "+" << c.b;
    }
}

TEST(Symmetra, AnAcceptedPollEmptiesRatingAndTexts) {
    Rig rig;
    TbUpsRecord& r = rig.h.m_rec;
    r.Ved = 2200, r.VAed = 3000, r.Vdc = 240, r.Fed = 500, r.Fout = 499;
    snprintf(r.company, sizeof r.company, "old");
    snprintf(r.mode, sizeof r.mode, "old");
    snprintf(r.version, sizeof r.version, "old");
    ASSERT_EQ(1, rig.Poll());
    for (int f : {kUpsVed, kUpsVAed, kUpsVdc, kUpsFed, kUpsFout}) EXPECT_EQ(0, rig.Val(f)) << f;
    EXPECT_STREQ("", r.company);
    EXPECT_STREQ("", r.mode);
    EXPECT_STREQ("", r.version);
}

TEST(Symmetra, WaitsAtLeastAHundredMilliseconds) {
    struct Case {
        int wait, slept;
    } cases[] = {{0, 100}, {-3, 100}, {100, 100}, {101, 101}, {250, 250}};
    for (const Case& c : cases) {
        Rig rig;
        ASSERT_EQ(1, rig.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(2, c.slept), g_sleeps) << c.wait;
    }
}

// A refused status reply keeps the last poll's record; a refused measurement reply keeps the
// new status bits and the last measurements. Either fails the poll.
TEST(Symmetra, RefusedRepliesAndWhatTheyKeep) {
    for (const auto& c : upstest::MbRefusals()) {
        for (int at : {0, 1}) {
            Rig rig;
            ASSERT_EQ(1, rig.Poll());
            rig.h.m_rec.Vin1 = 1234;  // the previous poll's record
            rig.h.m_rec.b7 = 1;
            rig.h.m_rec.status = 0x80;
            rig.slave.SetHolding(3, 0x0001);  // the new poll's status: b0 only
            for (int i = 0; i < at; i++) rig.slave.FaultOnce(qxsim::ModbusFault::None);
            rig.slave.FaultOnce(c.fault, c.param);
            const std::string where = std::string(c.what) + " at " + std::to_string(at);
            EXPECT_EQ(0, rig.Poll()) << where;
            EXPECT_EQ(1234, rig.Val(kUpsVin1)) << where;
            EXPECT_EQ(at == 0 ? 0x80 : 0x01, rig.Val(kUpsStatus)) << where;
            EXPECT_EQ(at == 0 ? 1 : 0, rig.Val(kUpsB7)) << where;
            EXPECT_EQ(at == 0 ? 0 : 1, rig.Val(kUpsB0)) << where;
            EXPECT_EQ((size_t)at + 3, rig.ch.Written().size()) << where;
        }
    }
}

TEST(Symmetra, RefusedBeforeSending) {
    Rig rig;
    upstest::ExpectRefusedBeforeSending(rig);
}

// ---------------------------------------------------------------- what updates store

namespace {

struct DbRig : Rig {
    DbRig() : other(42, 0x307) {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        other.Port(4).Addr(2);
        EXPECT_EQ(1, h.ChkDb(item));
        EXPECT_EQ(1, h.ChkDb(other));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(41,775,-1)");
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(42,775,-1)");
    }
    int Upd(qxhost::PointItem& p, bool answered) {
        h.DoItem(p, 0);
        int bits[2] = {0, 0};
        return h.DataUpd(0, answered ? bits : nullptr, nullptr, -1, &hist);
    }
    long long State(int sid) { return db.Int("select State from tbUps where SID=" + std::to_string(sid)); }

    TestDb db, hist;
    qxhost::PointItem other;
};

}  // namespace

TEST(SymmetraDb, RegistersItsTypeWithTheSantakRows) {
    TestDb db;
    CSMUpsSymmetra h;
    h.RegDb(&db, 0);
    EXPECT_EQ("775|768", db.Str("select Type||'|'||Kind from tbSMType"));
    EXPECT_EQ(Hex(std::string("UPS QXUPS-Symmetra")), Hex(db.Str("select Name from tbSMType")));
    EXPECT_EQ(Hex(std::string("施耐德Symmetra系列及兼容...")), Hex(db.Str("select Note from tbSMType")));
    EXPECT_EQ("1,4,5,6,7,8,11,12,13,14,15,16,17,18,19,20",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef order by rowid)"));
    EXPECT_EQ(Hex(std::string("b7市电异常")), Hex(db.Str("select Note from tbSMDef where Fld=11")));
}

TEST(SymmetraDb, StoresThePollWithoutOutputLoad) {
    DbRig r;
    r.slave.SetHolding(3, 0x00C9);
    ASSERT_EQ(1, r.Poll());
    r.h.m_rec.Pout = 77;  // never read from this unit; never stored either
    ASSERT_EQ(1, r.Upd(r.item, true));
    EXPECT_EQ("0|2300|2310|2320|500|2200|120|2730|1000|450|253|201|1|1|0|1",
              r.db.Str("select State||'|'||Vin1||'|'||Vin2||'|'||Vin3||'|'||Fin||'|'||Vout||'|'||"
                       "Aout||'|'||Vbatt||'|'||Pbatt||'|'||Mbatt||'|'||Tem||'|'||status||'|'||b7||'|'||"
                       "b6||'|'||b5||'|'||b0 from tbUps where SID=41"));
    EXPECT_EQ(1, r.db.Int("select Pout is null and VAed is null from tbUps where SID=41"));
    EXPECT_EQ(Hex(std::string("输入电压1:230.0V,输入电压2:231.0V,输入电压3:232.0V")),
              Hex(r.db.Str("select Brief from tbSMBrief where SID=41")));
    EXPECT_EQ("253|201|2730", r.hist.Str("select Tem||'|'||status||'|'||Vbatt from tbUps where SID=41"));
    EXPECT_EQ(1, r.hist.Int("select Pout is null from tbUps where SID=41"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}

TEST(SymmetraDb, ASilentUpsBesideAHealthyOneReachesStateTwoOnItsThirdUpdate) {
    DbRig r;
    for (int round = 1; round <= 3; round++) {
        EXPECT_EQ(round == 3 ? 1 : 0, r.Upd(r.item, false)) << round;
        EXPECT_EQ(1, r.Upd(r.other, true)) << round;
        EXPECT_EQ(round == 3 ? 2 : -1, r.db.Int("select State from tbSubSysDetail where SID=41")) << round;
    }
    EXPECT_EQ(2, r.State(41));
    EXPECT_EQ(0, r.State(42));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=42"));
    // A normal state is written at once.
    EXPECT_EQ(1, r.Upd(r.item, true));
    EXPECT_EQ(0, r.State(41));
}

TEST(SymmetraDb, AnAlarmIsStoredAtOnceEvenWhenItLastsOnePoll) {
    // On battery (register 3 bits 7, 6 and 0) for one poll, then back on mains: the alarm of
    // that poll reaches the point's state and its captions, and the normal poll follows it.
    DbRig r;
    qxsim::SymmetraUps u;
    qxsim::AlarmSymmetraUps(u, 1);
    qxsim::SetSymmetraUps(r.slave, u);
    ASSERT_EQ(1, r.Poll());
    r.h.DoItem(r.item, 0);
    int bits[2] = {1 << (kUpsVin1 - 1) | 1 << (kUpsB7 - 1), 0};
    EXPECT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ(1, r.State(41));
    EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(Hex(std::string("输入电压1:0.0V,输入电压2:0.0V,输入电压3:0.0V告警:输入电压 b7市电异常")),
              Hex(r.db.Str("select Brief from tbSMBrief where SID=41")));
    qxsim::SetSymmetraUps(r.slave, qxsim::SymmetraUps());
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1, r.Upd(r.item, true));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbUps where SID=41"));
}
