#include "aircon/SMCyberHiross.h"

#include <stdio.h>

namespace {

using namespace airc;

enum Fld : uint8_t { kR00 = 1, kR11 = 18, kR12 = 19 };

#define F(n, c) {n, c, W::U16}
const Field kFields[] = {
    F(1, "r00"),  F(2, "r01"),  F(3, "r02"),  F(4, "r03"),  F(5, "r04"),  F(6, "r05"),
    F(7, "r06"),  F(8, "r07"),  F(9, "r08"),  F(10, "r09"), F(11, "r0a"), F(12, "r0b"),
    F(13, "r0c"), F(14, "r0d"), F(15, "r0e"), F(16, "r0f"), F(17, "r10"), F(18, "r11"),
    F(19, "r12"), F(20, "st0"), F(21, "st1"), F(22, "st2"), F(23, "st3"), F(24, "st4"),
    F(25, "st5"), F(26, "v00"), F(27, "v01"), F(28, "v02"), F(29, "v03"), F(30, "v04"),
    F(31, "v05"), F(32, "v06"), F(33, "v07"), F(34, "v08"), F(35, "v09"), F(36, "s00"),
    F(37, "s01"), F(38, "s02"), F(39, "s03"), F(40, "s04"), F(41, "s05"), F(42, "s06"),
};
#undef F
const uint8_t kColumns[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                            15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                            29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42};

#define FLAG(n, name, caption) FlagRow(n, name, caption, "0正常")
const qx::sql::DefRow kDefs[] = {
    {2, "r01", 1, "运行状态1", 1, 0, 0, "0无 1制冷 2制热", 0, "", 0},
    {3, "r02", 1, "运行状态2", 1, 0, 0, "0无 1加湿 2除湿", 0, "", 0},
    {kR11, "r11", 1, "当前温度", 10, 6, 200, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {kR12, "r12", 1, "当前湿度", 10, 6, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
    // The running flag is 1 while the unit runs: a state, no limit is checked on it.
    airc::StateRow(36, "s00", "运行标志", "0正常"),
    FLAG(37, "s01", "蜂鸣标志"),    FLAG(38, "s02", "故障标志"),    FLAG(39, "s03", "全停标志"),
    FLAG(40, "s04", "CRC校验错误"), FLAG(41, "s05", "参数超界错误"), FLAG(42, "s06", "故障标志2"),
};
#undef FLAG

// The table keeps its stored spelling R0b; column names match without regard to case.
const airc::Shape kShape = {
    {3584, "发电机", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberHiross",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,r00 INTEGER,r01 INTEGER,r02 INTEGER,"
     "r03 INTEGER,r04 INTEGER,r05 INTEGER,r06 INTEGER,r07 INTEGER,r08 INTEGER,r09 INTEGER,"
     "r0a INTEGER,R0b INTEGER,r0c INTEGER,r0d INTEGER,r0e INTEGER,r0f INTEGER,r10 INTEGER,"
     "r11 INTEGER,r12 INTEGER,st0 INTEGER,st1 INTEGER,st2 INTEGER,st3 INTEGER,st4 INTEGER,"
     "st5 INTEGER,v00 INTEGER,v01 INTEGER,v02 INTEGER,v03 INTEGER,v04 INTEGER,v05 INTEGER,"
     "v06 INTEGER,v07 INTEGER,v08 INTEGER,v09 INTEGER,s00 INTEGER,s01 INTEGER,s02 INTEGER,"
     "s03 INTEGER,s04 INTEGER,s05 INTEGER,s06 INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    42,
    kColumns, sizeof kColumns,
    42,  // no answer: every value zeroed
    nullptr, 0,
    airc::kBriefAlarms,
    "空调(故障)",
};

// Registers 16..34, then the flag bits 0..6 of register 16.
const Pick kBlock1[] = {
    Reg(1, 0),   Reg(2, 1),   Reg(3, 2),   Reg(4, 3),   Reg(5, 4),   Reg(6, 5),   Reg(7, 6),
    Reg(8, 7),   Reg(9, 8),   Reg(10, 9),  Reg(11, 10), Reg(12, 11), Reg(13, 12), Reg(14, 13),
    Reg(15, 14), Reg(16, 15), Reg(17, 16), Reg(18, 17), Reg(19, 18),
    RegBit(36, 0, 0), RegBit(37, 0, 1), RegBit(38, 0, 2), RegBit(39, 0, 3), RegBit(40, 0, 4),
    RegBit(41, 0, 5), RegBit(42, 0, 6),
};
const Pick kBlock2[] = {Reg(20, 0), Reg(21, 1), Reg(22, 2), Reg(23, 3), Reg(24, 4), Reg(25, 5)};
const Pick kBlock3[] = {Reg(26, 0), Reg(27, 1), Reg(28, 2), Reg(29, 3), Reg(30, 4),
                        Reg(31, 5), Reg(32, 6), Reg(33, 7), Reg(34, 8), Reg(35, 9)};
const Req kReqs[] = {
    Read(3, 16, 19, kBlock1), Read(3, 48, 6, kBlock2, false), Read(3, 112, 10, kBlock3, false),
};

// 100 ms before each reply, no purge; a reply is read up to 46 bytes.
const airc::Polling kPolling = {{false, 100, -1, 46}, kReqs, 3, nullptr, 0};

}  // namespace

CSMCyberHiross::CSMCyberHiross() : CSMAircShape(0x80D, "SMCyberHiross", kShape) {
    PollBy(kPolling);
}

void CSMCyberHiross::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "当前温度:%.1f  当前湿度:%.1f 状态:%d", Val(kR11) * 0.1, Val(kR12) * 0.1,
             Val(kR00));
}
