// The Hipulse U series YD/T 1363 UPS on the three-phase base: its four requests, the floats
// and state codes at their columns, the waits, the replies it refuses (return code included)
// and what each refusal keeps, and its 43 definition rows. The unit is the YD/T device model
// behind a scripted channel.
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "UpsUnitRig.h"
#include "YdtDevice.h"
#include "YdtUps.h"
#include "gtest/gtest.h"
#include "ups/SMUpsHipulseUSeries.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// One Hipulse unit (address 1, a healthy unit's replies) and one point of it.
struct Rig : upstest::Rig<CSMUpsHipulseUSeries> {
    Rig() : upstest::Rig<CSMUpsHipulseUSeries>(61, 0x31A) {
        Set();
        Serve(dev);
    }
    void Set() { qxsim::SetHipulseUps(dev, unit); }

    qxsim::YdtDevice dev{1, 0x2A, 0x11};
    qxsim::HipulseUps unit;
};

}  // namespace

TEST(Hipulse, StartsAsTheThreePhaseBase) {
    CSMUpsHipulseUSeries h;
    EXPECT_EQ(0x31A, h.GetType());
    EXPECT_STREQ("QXUPS-Hipulse-U Series", h.GetNote());
    EXPECT_EQ(63, h.DataSize());
    EXPECT_EQ(10, h.m_iDivisor);
    qxtest::ScriptChannel ch;
    EXPECT_EQ(0, h.DoFunc(&ch, 1, 1, nullptr, 0));
    EXPECT_TRUE(ch.Written().empty());
}

TEST(Hipulse, AsksFourCommandsWithoutInfo) {
    struct Case {
        int addr;
        const char* first;
    } cases[] = {{1, "~11012A410000FDA5\r"}, {0x1F, "~111F2A410000FD8F\r"}};
    for (const Case& c : cases) {
        Rig rig;
        rig.dev.SetAddress(c.addr);
        ASSERT_EQ(1, rig.Poll(0, c.addr)) << c.addr;
        ASSERT_EQ(4u, rig.ch.Written().size());
        EXPECT_EQ(c.first, std::string(rig.ch.Written()[0].begin(), rig.ch.Written()[0].end()));
        EXPECT_EQ((std::vector<int>{0x41, 0xE1, 0xE3, 0x43}), rig.dev.Commands());
        for (const std::string& r : rig.dev.Requests()) {
            EXPECT_EQ(17u, r.size()) << r;  // no INFO
            EXPECT_EQ("11", r.substr(1, 2)) << r;
            EXPECT_EQ("2A", r.substr(5, 2)) << r;
        }
    }
}

TEST(Hipulse, FloatsAtTheirColumnsTimesTen) {
    Rig rig;
    ASSERT_EQ(1, rig.Poll());
    const qxsim::HipulseUps& u = rig.unit;
    struct Case {
        int fld;
        float value;
    } cases[] = {
        {kExVin1, u.vin[0]},   {kExVin2, u.vin[1]},   {kExVin3, u.vin[2]},
        {kExVout1, u.vout[0]}, {kExVout2, u.vout[1]}, {kExVout3, u.vout[2]},
        {kExIout1, u.iout[0]}, {kExIout2, u.iout[1]}, {kExIout3, u.iout[2]},
        {kExVbatt, u.vbatt},   {kExFout1, u.fout},    {kExFout2, u.fout},   {kExFout3, u.fout},
        {kExIin1, u.iin[0]},   {kExIin2, u.iin[1]},   {kExIin3, u.iin[2]},
        {kExFin1, u.fin},      {kExFin2, u.fin},      {kExFin3, u.fin},
        {kExVB1, u.vb[0]},     {kExVB2, u.vb[1]},     {kExVB3, u.vb[2]},
        {kExFB1, u.fb},        {kExFB2, u.fb},        {kExFB3, u.fb},       {kExMbatt, u.mbatt},
    };
    for (const Case& c : cases) EXPECT_EQ((int)(c.value * 10.0f), rig.Val(c.fld)) << c.fld;
    for (int f : {kExPout1, kExIB1, kExIB3, kExTem, kExPbatt, kExVed, kExAed, kExVdc, kExFed, kExV1})
        EXPECT_EQ(0, rig.Val(f)) << f;
}

TEST(Hipulse, FloatExamples) {
    struct Case {
        const char* what;
        std::string chars;  // the eight characters at column 15 of the 41 reply
        int vin1;
    } cases[] = {
        {"100.0", "0000C842", 1000},
        {"-12.25", qxsim::YdtFloat(-12.25f), -122},
        {"a blank in the float", "0000C 42", 0},
        {"all blanks", "        ", 0},
        {"NaN", "0000C07F", 0},
        {"infinity", "0000807F", INT32_MAX},
        {"minus infinity", "000080FF", INT32_MIN},
        {"beyond the int range", qxsim::YdtFloat(3.0e9f), INT32_MAX},
    };
    for (const Case& c : cases) {
        Rig rig;
        std::string info = qxsim::YdtInfoAt({{15, qxsim::YdtFloat(230.0f)}, {23, qxsim::YdtFloat(231.0f)}}, 103);
        info.replace(15 - 13, 8, c.chars);
        rig.dev.SetInfo(0x41, info);
        ASSERT_EQ(1, rig.Poll()) << c.what;
        EXPECT_EQ(c.vin1, rig.Val(kExVin1)) << c.what;
        EXPECT_EQ(2310, rig.Val(kExVin2)) << c.what << ": the next float is its own";
    }
}

TEST(Hipulse, StateCodesAsSentAndTheirSum) {
    Rig rig;
    for (unsigned& s : rig.unit.state) s = 0;
    rig.unit.state[1] = 0xE1;  // b14 at column 17
    rig.Set();
    ASSERT_EQ(1, rig.Poll());
    EXPECT_EQ(225, rig.Val(kExB14));
    EXPECT_EQ(225 * 16384, rig.Val(kExStatus));

    // Each field at its column: b15 at 13, b14 .. b0 from 17; 15 and 16 are not read.
    for (int k = 0; k < 16; k++) rig.unit.state[k] = 0xE0 + (unsigned)k;
    rig.Set();
    std::string info = qxsim::YdtInfoAt({}, 47);
    for (int k = 0; k < 16; k++) {
        const int col = k == 0 ? 13 : 17 + 2 * (k - 1);
        info.replace((size_t)(col - 13), 2, qxsim::YdtByte(0xE0 + (unsigned)k));
    }
    info.replace(15 - 13, 2, "FF");
    rig.dev.SetInfo(0x43, info);
    ASSERT_EQ(1, rig.Poll());
    long long sum = 0;
    for (int k = 0; k < 16; k++) {
        EXPECT_EQ(0xE0 + k, rig.Val(kExB15 + k)) << "b" << 15 - k;
        sum += (long long)(0xE0 + k) << (15 - k);
    }
    EXPECT_EQ((int)(uint32_t)sum, rig.Val(kExStatus));
}

TEST(Hipulse, WaitsTheirOwnOrAQuarterSecond) {
    struct Case {
        int wait, slept;
    } cases[] = {{0, 250}, {-1, 250}, {1, 1}, {100, 100}};
    for (const Case& c : cases) {
        Rig rig;
        ASSERT_EQ(1, rig.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(4, c.slept), g_sleeps) << c.wait;
    }
}

// A refused first reply keeps the last poll's record; a refused later one keeps what the
// earlier replies of this poll gave and 0 in the rest. Either fails the poll, and nothing is
// asked after it.
TEST(Hipulse, RefusedRepliesAndWhatTheyKeep) {
    for (const auto& c : upstest::YdRefusals()) {
        for (int at = 0; at < 4; at++) {
            Rig rig;
            ASSERT_EQ(1, rig.Poll());
            rig.h.m_rec.Vin1 = 1234;  // the previous poll's record
            rig.h.m_rec.Mbatt = 4321;
            rig.h.m_rec.b15 = 7;
            for (int i = 0; i < at; i++) rig.dev.FaultOnce(qxsim::YdtFault::None);
            rig.dev.FaultOnce(c.fault, c.param);
            const std::string where = std::string(c.what) + " at " + std::to_string(at);
            EXPECT_EQ(0, rig.Poll()) << where;
            EXPECT_EQ((size_t)at + 1, rig.dev.Commands().size() - 4) << where;
            EXPECT_EQ(at == 0 ? 1234 : 2305, rig.Val(kExVin1)) << where;
            EXPECT_EQ(at == 1 ? 0 : 120, rig.Val(kExIin1)) << where;
            EXPECT_EQ(at == 0 ? 4321 : at == 3 ? 450 : 0, rig.Val(kExMbatt)) << where;
            EXPECT_EQ(at == 0 ? 7 : 0, rig.Val(kExB15)) << where;
        }
    }
}

TEST(Hipulse, ReplyMustHoldEveryColumnRead) {
    struct Case {
        int cid2;
        int end;  // the INFO ends before this column, one short of the last character read
    } cases[] = {{0x41, 102}, {0xE1, 112}, {0xE3, 120}, {0x43, 46}};
    for (const Case& c : cases) {
        Rig rig;
        ASSERT_EQ(1, rig.Poll());
        rig.dev.SetInfo(c.cid2, qxsim::YdtInfoAt({}, c.end));
        EXPECT_EQ(0, rig.Poll()) << std::hex << c.cid2;
        rig.dev.SetInfo(c.cid2, qxsim::YdtInfoAt({}, c.end + 1));
        EXPECT_EQ(1, rig.Poll()) << std::hex << c.cid2;
    }
}

TEST(Hipulse, RefusedBeforeSending) {
    Rig rig;
    upstest::ExpectRefusedBeforeSending(rig);
}

// ---------------------------------------------------------------- definition rows

TEST(HipulseDb, RegistersFortyThreeRows) {
    TestDb db;
    CSMUpsHipulseUSeries h;
    h.RegDb(&db, 0);
    EXPECT_EQ(Hex(std::string("UPS QXUPS-Hipulse-U Series")), Hex(db.Str("select Name from tbSMType where Type=794")));
    EXPECT_EQ(Hex(std::string("UPS 三相输入输出...")), Hex(db.Str("select Note from tbSMType where Type=794")));
    EXPECT_EQ("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,22,24,25,26,27,28,29,30,31,32,33,34,"
              "35,36,37,38,39,40,42,55,56,57,61,62,63",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef where Type=794 order by rowid)"));
    upstest::ExpectStateRows(db, 794, {
        {"供电方式", "01H：UPS供电 02H：旁路供电 E9H：均不供电", ""},
        {"电池自检中", "E0H：自检中 E1H：没在自检", ""},
        {"均充/浮充（正组）", "E0H：浮充 E1H：均充 E2H：非充电状态", ""},
        {"开机/关机", "E0H：关机 E1H：开机", ""},
        {"UPS供电", "E0H：主路逆变供电 E1H：电池逆变供电 E2H：联合逆变供电 E3H:  整流电池均不供电", ""},
        {"发电机接入", "E0H：发电机接入 E1H：发电机没接入", "0"},
        {"输入开关状态", "E0H：断开状态 E1H：闭合状态", ""},
        {"维修旁路开关状态", "E0H：断开状态 E1H：闭合状态", "0"},
        {"旁路开关状态", "E0H：断开状态 E1H：闭合状态", ""},
        {"输出开关状态", "E0H：断开状态 E1H：闭合状态", ""},
        {"并机系统供电状态", "E0H：主路逆变供电 E1H：电池逆变供电 E2H：旁路供电 E3H:  均不供电", ""},
        {"旋转开关状态(不用,预留)",
         "E0H：关闭状态 E1H：测试状态（逆变调测模式） E2H：正常状态 E3H：旁路状态 E4H：维修状态 "
         "E5H：逆变步进调试模式",
         ""},
        {"滤波器状态", "E0H：未接入 E1H：接入", ""},
        {"休眠状态", "E0H：未休眠 E1H：本机休眠", "0"},
        {"整流器工作状态", "E0H：正常工作状态 E1H：PFC工作状态", ""},
        {"ECO模式状态", "E0H：正常模式 E1H：ECO模式", "0"},
    });
    upstest::ExpectAnalogRows(db, 794, {
        {1, "输入电压A", "输入电压", 2000, 2350},   {9, "输入电流C", "输入电流", 0, 150},
        {16, "输出频率A", "输出频率", 490, 510},    {22, "电池温度", "温度", 200, 650},
        {40, "电池电压", "电池电压", 2000, 2350},   {42, "电池剩于时间", "电池剩于时间", 2000, 2350},
        {56, "旁路电压B", "输出电压", 2000, 2350},  {61, "旁路频率A", "输出频率", 490, 510},
    });
    EXPECT_EQ(0, db.Failures()) << db.Error();
}
