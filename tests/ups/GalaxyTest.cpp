// The Galaxy 5000 three-phase Modbus UPS on the three-phase base: its two reads, the register
// map (times 10), the status bits, the waits, the replies it refuses and what each refusal
// keeps, and its 47 definition rows. The unit is the Modbus slave model behind a scripted
// channel.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ModbusMaps.h"
#include "UpsUnitRig.h"
#include "gtest/gtest.h"
#include "ups/SMUpsApcMegGalaxy5000.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// One Galaxy unit (Modbus unit 1, a healthy unit's registers) and one point of it.
struct Rig : upstest::Rig<CSMUpsApcMegGalaxy5000> {
    Rig() : upstest::Rig<CSMUpsApcMegGalaxy5000>(51, 0x318) {
        qxsim::SetGalaxyUps(slave, qxsim::GalaxyUps());
        Serve(slave);
    }
    void ClearStatus() {
        for (uint16_t r = 64; r < 80; r++) slave.SetHolding(r, 0);
    }
    qxsim::ModbusSlave slave{1};
};

}  // namespace

TEST(Galaxy, StartsAsTheThreePhaseBase) {
    CSMUpsApcMegGalaxy5000 h;
    EXPECT_EQ(0x318, h.GetType());
    EXPECT_STREQ("QXUPS-KSTAR-Modbus", h.GetNote());
    EXPECT_EQ(63, h.DataSize());
    EXPECT_EQ(10, h.m_iDivisor);
    qxtest::ScriptChannel ch;
    EXPECT_EQ(0, h.DoFunc(&ch, 1, 1, nullptr, 0));
    EXPECT_TRUE(ch.Written().empty());
}

TEST(Galaxy, AsksMeasurementsThenStatus) {
    Rig rig;
    ASSERT_EQ(1, rig.Poll());
    ASSERT_EQ(2u, rig.ch.Written().size());
    const Bytes& m = rig.ch.Written()[0];
    const Bytes& s = rig.ch.Written()[1];
    ASSERT_EQ(8u, m.size());
    ASSERT_EQ(8u, s.size());
    EXPECT_EQ("01 03 01 00 00 4C", qxtest::Hex(m.data(), 6));
    EXPECT_EQ("01 03 00 40 00 10", qxtest::Hex(s.data(), 6));
    EXPECT_EQ(qxsim::ModbusSlave::Crc16(m.data(), 6), (uint16_t)(m[6] | m[7] << 8));
    EXPECT_EQ(qxsim::ModbusSlave::Crc16(s.data(), 6), (uint16_t)(s[6] | s[7] << 8));
}

TEST(Galaxy, RegisterMapTimesTen) {
    Rig rig;
    struct Case {
        uint16_t reg;
        std::vector<int> flds;
    } cases[] = {
        {256, {kExIin1}}, {257, {kExIin2}}, {258, {kExIin3}},
        {262, {kExIB1}}, {263, {kExIB2}}, {264, {kExIB3}},
        {265, {kExIout1}}, {266, {kExIout2}}, {267, {kExIout3}},
        {277, {kExVin1}}, {278, {kExVin2}}, {279, {kExVin3}},
        {289, {kExVB1}}, {290, {kExVB2}}, {291, {kExVB3}},
        {295, {kExVout1}}, {296, {kExVout2}}, {297, {kExVout3}},
        {301, {kExVbatt}},
        {318, {kExFin1, kExFin2, kExFin3}},
        {320, {kExFB1, kExFB2, kExFB3}},
        {321, {kExFout1, kExFout2, kExFout3}},
        {329, {kExMbatt}}, {330, {kExTem}}, {331, {kExPbatt}},
    };
    for (uint16_t r = 256; r < 332; r++) rig.slave.SetHolding(r, 0xFFFF);  // unused: ignored
    for (const Case& c : cases) rig.slave.SetHolding(c.reg, (uint16_t)(c.reg - 200));
    ASSERT_EQ(1, rig.Poll());
    for (const Case& c : cases)
        for (int f : c.flds) EXPECT_EQ((c.reg - 200) * 10, rig.Val(f)) << "register " << c.reg << " field " << f;
    for (int f : {kExPout1, kExPout2, kExPout3, kExVed, kExAed, kExVAed}) EXPECT_EQ(0, rig.Val(f)) << f;

    // The example of the unit's frequency, and an unsigned word at its largest.
    rig.slave.SetHolding(318, 500);
    rig.slave.SetHolding(277, 0xFFFF);
    ASSERT_EQ(1, rig.Poll());
    EXPECT_EQ(5000, rig.Val(kExFin1));
    EXPECT_EQ(5000, rig.Val(kExFin2));
    EXPECT_EQ(5000, rig.Val(kExFin3));
    EXPECT_EQ(655350, rig.Val(kExVin1));
}

TEST(Galaxy, StatusBitsAndTheirSum) {
    struct Case {
        uint16_t reg, value;
        std::vector<int> set;  // the fields that read 1
        int status;
    } cases[] = {
        {64, 0x0809, {kExB3, kExB2, kExB0}, 8 + 4 + 1},
        {79, 0x0001, {kExB15}, 32768},
        {77, 0x0020, {kExB14}, 16384},
        {73, 0x0009, {kExB13, kExB12}, 8192 + 4096},
        {66, 0x0504, {kExB11, kExB10, kExB9}, 2048 + 1024 + 512},
        {65, 0x0046, {kExB8, kExB7, kExB6}, 256 + 128 + 64},
        {64, 0x0026, {kExB5, kExB4, kExB1}, 32 + 16 + 2},
        // Bits the unit does not define here, and registers no field reads.
        {64, 0xF4D0, {}, 0},
        {70, 0xFFFF, {}, 0},
        {79, 0xFFFE, {}, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.ClearStatus();
        rig.slave.SetHolding(c.reg, c.value);
        ASSERT_EQ(1, rig.Poll());
        for (int f = kExB15; f <= kExB0; f++) {
            const bool on = std::find(c.set.begin(), c.set.end(), f) != c.set.end();
            EXPECT_EQ(on ? 1 : 0, rig.Val(f)) << c.reg << "=" << std::hex << c.value << std::dec << " field " << f;
        }
        EXPECT_EQ(c.status, rig.Val(kExStatus)) << c.reg << "=" << std::hex << c.value;
    }
}

TEST(Galaxy, WaitsTwoHundredUnlessAboveAHundred) {
    struct Case {
        int wait, slept;
    } cases[] = {{0, 200}, {100, 200}, {101, 101}, {150, 150}};
    for (const Case& c : cases) {
        Rig rig;
        ASSERT_EQ(1, rig.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(2, c.slept), g_sleeps) << c.wait;
    }
}

// A refused measurement reply keeps the last poll's record; a refused status reply keeps the
// new measurements with every state field and the status 0. Either fails the poll.
TEST(Galaxy, RefusedRepliesAndWhatTheyKeep) {
    for (const auto& c : upstest::MbRefusals()) {
        for (int at : {0, 1}) {
            Rig rig;
            ASSERT_EQ(1, rig.Poll());
            ASSERT_EQ(12, rig.Val(kExStatus));
            rig.h.m_rec.Vin1 = 1234;  // the previous poll's record
            rig.h.m_rec.Vdc = 77;     // never read from this unit
            rig.slave.SetHolding(277, 240);
            for (int i = 0; i < at; i++) rig.slave.FaultOnce(qxsim::ModbusFault::None);
            rig.slave.FaultOnce(c.fault, c.param);
            const std::string where = std::string(c.what) + " at " + std::to_string(at);
            EXPECT_EQ(0, rig.Poll()) << where;
            EXPECT_EQ(at == 0 ? 1234 : 2400, rig.Val(kExVin1)) << where;
            EXPECT_EQ(at == 0 ? 12 : 0, rig.Val(kExStatus)) << where;
            EXPECT_EQ(at == 0 ? 1 : 0, rig.Val(kExB2)) << where;
            EXPECT_EQ(77, rig.Val(kExVdc)) << where;
            EXPECT_EQ((size_t)at + 3, rig.ch.Written().size()) << where;
        }
    }
}

TEST(Galaxy, RefusedBeforeSending) {
    Rig rig;
    upstest::ExpectRefusedBeforeSending(rig);
}

// ---------------------------------------------------------------- definition rows

TEST(GalaxyDb, RegistersFortySevenRowsOfItsOwn) {
    TestDb db;
    CSMUpsApcMegGalaxy5000 h;
    h.RegDb(&db, 0);
    EXPECT_EQ(Hex(std::string("UPS QXUPS-KSTAR-Modbus")), Hex(db.Str("select Name from tbSMType where Type=792")));
    EXPECT_EQ(768, db.Int("select Kind from tbSMType where Type=792"));
    EXPECT_EQ("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,22,24,25,26,27,28,29,30,31,32,33,34,"
              "35,36,37,38,39,40,41,42,55,56,57,58,59,60,61,62,63",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef where Type=792 order by rowid)"));
    upstest::ExpectAnalogRows(db, 792, {
        {1, "输入电压A", "输入电压", 2000, 2350},   {6, "输出电压C", "输出电压", 2000, 2350},
        {8, "输入电流B", "输入电流", 0, 150},       {12, "输出电流C", "输出电流", 0, 150},
        {13, "输入频率A", "输入频率", 490, 510},    {18, "输出频率C", "输出频率", 490, 510},
        {22, "电池温度", "温度", 200, 650},         {40, "电池电压", "电池电压", 2000, 2350},
        {41, "电池容量", "电池容量", 2000, 2350},   {42, "电池剩于时间", "电池剩于时间", 2000, 2350},
        {55, "旁路电压A", "输出电压", 2000, 2350},  {59, "旁路电流B", "输出电流", 0, 150},
        {63, "旁路频率C", "输出频率", 490, 510},
    });
    upstest::ExpectStateRows(db, 792, {
        {"输出过载", "0:正常，1:告警", "", 1},
        {"逆变故障", "0:正常，1:告警", "", 1},
        {"电池充电", "0:未充电，1:充电中", ""},
        {"电池充电异常", "0:正常，1:告警", "", 1},
        {"电池自检", "0:正常，1:电池自检中", ""},
        {"电池自动检测", "0:关，1:开", ""},
        {"电池温度异常", "0:正常，1:告警", "0", 1},
        {"旁路模式", "0:非旁路，1:旁路", ""},
        {"ECO模式", "0:普通，1:ECO", "0"},
        {"UPS状态", "0:在线式，1:后备式", ""},
        {"UPS告警", "0:正常，1:告警", "", 1},
        {"UPS耦合", "0:正常，1:耦合", ""},
        {"引擎状态", "0:未工作，1:开机", ""},
        {"系统状态", "0:停止，1:工作", "0"},
        {"电池低压告警", "0:正常，1:告警", "", 1},
        {"过载保护", "0:正常，1:告警", "0", 1},
    });
    // Registered again only when forced.
    h.RegDb(&db, 0);
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=792"));
    h.RegDb(&db, 1);
    EXPECT_EQ(47, db.Int("select count(*) from tbSMDef where Type=792"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}
