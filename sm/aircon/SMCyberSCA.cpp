#include "aircon/SMCyberSCA.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kTemRetSet = 1, kHumRetSet, kStOnOff, kStFan, kStHeater, kStRefriger, kStHumidifier,
    kStDeHumidifier, kStRunMode, kStAlm, kTemRet, kHumRet,
    kTemSupSet = 61, kHumSupSet, kTemSup, kHumSup, kIHum, kCond, kFanSpeed,
};

constexpr const char* kCol[67] = {
    "TemRetSet", "HumRetSet", "StOnOff", "StFan", "StHeater", "StRefriger", "StHumidifier",
    "StDeHumidifier", "StRunMode", "StAlm", "TemRet", "HumRet", "AlmTRH", "AlmTRL", "AlmHRH",
    "AlmHRL", "AlmTSH", "AlmTSL", "AlmFanFault", "AlmFanOT", "AlmComp1Hp", "AlmComp1Hpl",
    "AlmComp1Lp", "AlmComp1Lpl", "AlmComp1SC", "AlmComp1OT", "AlmComp2Hp", "AlmComp2Hpl",
    "AlmComp2Lp", "AlmComp2Lpl", "AlmComp2SC", "AlmComp2OT", "AlmHumLC", "AlmHumParch",
    "AlmHumOT", "AlmHeatOVL", "AlmHeat1OT", "AlmHeat2OT", "AlmPD", "AlmPhase", "AlmFreqH",
    "AlmFreqL", "AlmVolHA", "AlmVolHB", "AlmVolHC", "AlmVolLA", "AlmVolLB", "AlmVolLC",
    "AlmPhaseLA", "AlmPhaseLB", "AlmPhaseLC", "AlmAirLose", "AlmFiltOT", "AlmFileJam",
    "AlmRemoteSD", "AlmLeak", "AlmGrup", "AlmFire", "AlmHumFault", "AlmHumOvL", "TemSupSet",
    "HumSupSet", "TemSup", "HumSup", "IHum", "Cond", "FanSpeed",
};

// 67 unsigned words, field 1 first; every field is a column, in field order.
#define F(n) {n, kCol[n - 1], W::U16}
const Field kFields[] = {
    F(1),  F(2),  F(3),  F(4),  F(5),  F(6),  F(7),  F(8),  F(9),  F(10), F(11), F(12),
    F(13), F(14), F(15), F(16), F(17), F(18), F(19), F(20), F(21), F(22), F(23), F(24),
    F(25), F(26), F(27), F(28), F(29), F(30), F(31), F(32), F(33), F(34), F(35), F(36),
    F(37), F(38), F(39), F(40), F(41), F(42), F(43), F(44), F(45), F(46), F(47), F(48),
    F(49), F(50), F(51), F(52), F(53), F(54), F(55), F(56), F(57), F(58), F(59), F(60),
    F(61), F(62), F(63), F(64), F(65), F(66), F(67),
};
#undef F
const uint8_t kColumns[] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
    24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46,
    47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67,
};

// Reply to registers 1..36: register r is the big-endian word at reply bytes 3 + 2(r - 1).
//
//   01 03 48 | 00 FA | 01 F4 | 41 03 | 00 FF | 01 C2 | 00 01 | 01 00 | ... | 00 50 | .. | CRC
//   adr fn n   reg 1   reg 2   reg 3   reg 4   reg 5   reg 6   reg 7         reg 35
//              TemRetSet       status  TemRet  HumRet  alarm words 6..11     FanSpeed
//
// Positions count registers from the first asked (register 1).
const airc::Pick kMap[] = {
    airc::Reg(kTemRetSet, 0), airc::Reg(kHumRetSet, 1),
    airc::RegBit(kStOnOff, 2, 0), airc::RegBit(kStFan, 2, 1), airc::RegBit(kStHeater, 2, 2),
    airc::RegBit(kStRefriger, 2, 3),
    airc::RegBit(kStHumidifier, 2, 4), airc::RegBit(kStDeHumidifier, 2, 5),
    airc::RegBit(kStRunMode, 2, 8),
    airc::RegBit(kStAlm, 2, 14),
    airc::Reg(kTemRet, 3), airc::Reg(kHumRet, 4),
    airc::RegBit(13, 5, 0), airc::RegBit(14, 5, 1), airc::RegBit(15, 5, 2),
    airc::RegBit(16, 5, 3), airc::RegBit(17, 5, 4),
    airc::RegBit(18, 5, 5), airc::RegBit(19, 5, 11),
    airc::RegBit(20, 6, 1), airc::RegBit(21, 6, 7), airc::RegBit(22, 6, 8),
    airc::RegBit(23, 6, 9), airc::RegBit(24, 6, 10),
    airc::RegBit(25, 6, 13), airc::RegBit(26, 6, 14), airc::RegBit(27, 6, 15),
    airc::RegBit(28, 7, 0), airc::RegBit(29, 7, 1), airc::RegBit(30, 7, 2),
    airc::RegBit(31, 7, 5), airc::RegBit(32, 7, 6),
    airc::RegBit(33, 7, 7), airc::RegBit(34, 7, 9), airc::RegBit(35, 7, 10),
    airc::RegBit(36, 7, 11), airc::RegBit(37, 7, 12),
    airc::RegBit(38, 7, 13), airc::RegBit(39, 7, 14), airc::RegBit(40, 7, 15),
    airc::RegBit(41, 8, 0), airc::RegBit(42, 8, 1), airc::RegBit(43, 8, 2),
    airc::RegBit(44, 8, 3), airc::RegBit(45, 8, 4),
    airc::RegBit(46, 8, 5), airc::RegBit(47, 8, 6), airc::RegBit(48, 8, 7),
    airc::RegBit(49, 8, 8), airc::RegBit(50, 8, 9),
    airc::RegBit(51, 8, 10), airc::RegBit(52, 8, 11), airc::RegBit(53, 8, 12),
    airc::RegBit(54, 8, 13), airc::RegBit(55, 8, 14),
    airc::RegBit(56, 8, 15),
    airc::RegBit(57, 9, 0), airc::RegBit(58, 9, 4),
    airc::RegBit(59, 10, 1), airc::RegBit(60, 10, 3),
    airc::Reg(kTemSupSet, 20), airc::Reg(kHumSupSet, 21), airc::Reg(kTemSup, 22),
    airc::Reg(kHumSup, 23),
    airc::Reg(kIHum, 24), airc::Reg(kCond, 25), airc::Reg(kFanSpeed, 34),
};

const char kNoAlarm[] = "0:无告警 1:有告警";
const char kLow[] = "最小值,低于此值告警";
const char kHigh[] = "最大值,超过此值告警";
constexpr qx::sql::DefRow Alm(int fld, const char* caption) {
    return airc::FlagRow(fld, kCol[fld - 1], caption, kNoAlarm);
}
constexpr qx::sql::DefRow Meas(int fld, const char* caption, int divisor, int low, int high) {
    return airc::LimitRow(fld, kCol[fld - 1], caption, divisor, low, kLow, high, kHigh);
}

// No rows for the set points (fields 1, 2, 61, 62).
const qx::sql::DefRow kDefs[] = {
    // The unit's on/off, fan, heating, cooling, humidifying and dehumidifying states and its
    // stand-alone/group mode are states: no limit is checked on them.
    airc::StateRow(3, "StOnOff", "开关机状态", "0:关机状态 1:开机状态"),
    airc::StateRow(4, "StFan", "风机", "0:关闭状态 1:开启状态"),
    airc::StateRow(5, "StHeater", "制热", "0:非制热状态 1:制热状态"),
    airc::StateRow(6, "StRefriger", "制冷", "0:非制冷状态 1:制冷状态"),
    airc::StateRow(7, "StHumidifier", "加湿", "0:非加湿状态 1:加湿状态"),
    airc::StateRow(8, "StDeHumidifier", "除湿", "0:非除湿状态 1:除湿状态"),
    airc::StateRow(9, "StRunMode", "单机/群控模式", "0:单机状态 1:群控状态"),
    Alm(10, "告警状态"),
    Meas(11, "回风温度值", 10, 250, 350),
    Meas(12, "回风湿度值", 10, 250, 350),
    Alm(13, "回风高温告警"), Alm(14, "回风低温告警"), Alm(15, "回风高湿告警"),
    Alm(16, "回风低湿告警"), Alm(17, "送风高温告警"), Alm(18, "送风低温告警"),
    Alm(19, "风机故障"), Alm(20, "风机超时"),
    Alm(21, "压缩机１高压"), Alm(22, "压缩机１高压锁"), Alm(23, "压缩机１低压"),
    Alm(24, "压缩机１低压锁"), Alm(25, "压缩机１短周期"), Alm(26, "压缩机１超时"),
    Alm(27, "压缩机２高压"), Alm(28, "压缩机２高压锁"), Alm(29, "压缩机２低压"),
    Alm(30, "压缩机２低压锁"), Alm(31, "压缩机２短周期"), Alm(32, "压缩机２超时"),
    Alm(33, "加湿器大电流"), Alm(34, "加湿器干烧"), Alm(35, "加湿器超时"),
    Alm(36, "加热器过载"), Alm(37, "加热器１超时"), Alm(38, "加热器２超时"),
    Alm(39, "掉电告警"), Alm(40, "相序错误"), Alm(41, "电源频率偏高"), Alm(42, "电源频率偏低"),
    Alm(43, "A相过压"), Alm(44, "B相过压"), Alm(45, "C相过压"), Alm(46, "A相欠压"),
    Alm(47, "B相欠压"), Alm(48, "C相欠压"), Alm(49, "A相缺相"), Alm(50, "B相缺相"),
    Alm(51, "C相缺相"), Alm(52, "气流丢失告警"), Alm(53, "过滤网超时"), Alm(54, "过滤网堵塞"),
    Alm(55, "远程关机"), Alm(56, "漏水告警"), Alm(57, "群控异常"), Alm(58, "烟雾告警"),
    Alm(59, "加湿器故障"), Alm(60, "加湿器过载"),
    Meas(63, "送风温度测量", 10, 250, 350),
    Meas(64, "送风湿度测量", 10, 250, 350),
    Meas(65, "加湿电流", 10, 250, 350),
    Meas(66, "电导率", 1, 0, 60),
    Meas(67, "室内风机转速", 1, 0, 80),
};

const airc::Shape kShape = {
    {2048, "Cyber", "SCA空调机组..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberSCA",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,TemRetSet INTEGER,HumRetSet INTEGER,"
     "StOnOff INTEGER,StFan INTEGER,StHeater INTEGER,StRefriger INTEGER,StHumidifier INTEGER,"
     "StDeHumidifier INTEGER,StRunMode INTEGER,StAlm INTEGER,TemRet INTEGER,HumRet INTEGER,"
     "AlmTRH INTEGER,AlmTRL INTEGER,AlmHRH INTEGER,AlmHRL INTEGER,AlmTSH INTEGER,AlmTSL INTEGER,"
     "AlmFanFault INTEGER,AlmFanOT INTEGER,AlmComp1Hp INTEGER,AlmComp1Hpl INTEGER,"
     "AlmComp1Lp INTEGER,AlmComp1Lpl INTEGER,AlmComp1SC INTEGER,AlmComp1OT INTEGER,"
     "AlmComp2Hp INTEGER,AlmComp2Hpl INTEGER,AlmComp2Lp INTEGER,AlmComp2Lpl INTEGER,"
     "AlmComp2SC INTEGER,AlmComp2OT INTEGER,AlmHumLC INTEGER,AlmHumParch INTEGER,"
     "AlmHumOT INTEGER,AlmHeatOVL INTEGER,AlmHeat1OT INTEGER,AlmHeat2OT INTEGER,AlmPD INTEGER,"
     "AlmPhase INTEGER,AlmFreqH INTEGER,AlmFreqL INTEGER,AlmVolHA INTEGER,AlmVolHB INTEGER,"
     "AlmVolHC INTEGER,AlmVolLA INTEGER,AlmVolLB INTEGER,AlmVolLC INTEGER,AlmPhaseLA INTEGER,"
     "AlmPhaseLB INTEGER,AlmPhaseLC INTEGER,AlmAirLose INTEGER,AlmFiltOT INTEGER,"
     "AlmFileJam INTEGER,AlmRemoteSD INTEGER,AlmLeak INTEGER,AlmGrup INTEGER,AlmFire INTEGER,"
     "AlmHumFault INTEGER,AlmHumOvL INTEGER,TemSupSet INTEGER,HumSupSet INTEGER,TemSup INTEGER,"
     "HumSup INTEGER,IHum INTEGER,Cond INTEGER,FanSpeed INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    67,
    kColumns, sizeof kColumns / sizeof kColumns[0],
    67,
    nullptr, 0,
    airc::kBriefAlarms,
    "SCA空调",
};

// Purged; `wait` above 100 ms replaces the 300 ms pause; replies fit 256 bytes.
// One read of registers 1..36, which clears the 67 values before its picks.
const airc::Req kReqs[] = {airc::Read(3, 1, 36, kMap, true, 67)};
const airc::Polling kPolling = {{true, 300, 100, 256}, kReqs, 1, nullptr, 0};

}  // namespace

CSMCyberSCA::CSMCyberSCA() : CSMAircShape(0x81B, "QX-Cyber-SCA", kShape) { PollBy(kPolling); }

void CSMCyberSCA::BriefText(char* out, size_t size, int) {
    if (m_pItem && m_pItem->Variant == 1)
        snprintf(out, size, "回风温度:%1.1f°C, 回风湿度:%1.1f%%", Val(kTemRet) / 10.0,
                 Val(kHumRet) / 10.0);
    else
        snprintf(out, size, "送风温度:%1.1f°C, 回风温度:%1.1f°C, 送风湿度:%1.1f%%, 回风湿度:%1.1f%%",
                 Val(kTemSup) / 10.0, Val(kTemRet) / 10.0, Val(kHumSup) / 10.0,
                 Val(kHumRet) / 10.0);
}
