#include "aircon/SMCyberHSTXX.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kStPhaseErr = 1, kStPreHighProt, kStCompOverLoad, kStPreLowProt, kStComp, kStFanOut,
    kStFanIn, kStHeater1On, kStHumOn, kStCoolerOn, kStDeHumOn, kStFWValue, kStHeater2On,
    kTemExtCiol, kTemInCiol, kTemIn, kHumIn, kAlmPhaseErr, kAlmPreHighProt, kAlmCompOverLoad,
    kAlmPreLowProt, kErrTemExtCiol, kErrTemInCiol, kErrTemIn, kErrHumIn, kTemSet, kHumSet,
};

const Field kFields[] = {
    {kStPhaseErr, "StPhaseErr", W::I16},       {kStPreHighProt, "StPreHighProt", W::I16},
    {kStCompOverLoad, "StCompOverLoad", W::I16}, {kStPreLowProt, "StPreLowProt", W::I16},
    {kStComp, "StComp", W::I16},               {kStFanOut, "StFanOut", W::I16},
    {kStFanIn, "StFanIn", W::I16},             {kStHeater1On, "StHeater1On", W::I16},
    {kStHumOn, "StHumOn", W::I16},             {kStCoolerOn, "StCoolerOn", W::I16},
    {kStDeHumOn, "StDeHumOn", W::I16},         {kStFWValue, "StFWValue", W::I16},
    {kStHeater2On, "StHeater2On", W::I16},     {kTemExtCiol, "TemExtCiol", W::I16},
    {kTemInCiol, "TemInCiol", W::I16},         {kTemIn, "TemIn", W::I16},
    {kHumIn, "HumIn", W::I16},                 {kAlmPhaseErr, "AlmPhaseErr", W::I16},
    {kAlmPreHighProt, "AlmPreHighProt", W::I16}, {kAlmCompOverLoad, "AlmCompOverLoad", W::I16},
    {kAlmPreLowProt, "AlmPreLowProt", W::I16}, {kErrTemExtCiol, "ErrTemExtCiol", W::I16},
    {kErrTemInCiol, "ErrTemInCiol", W::I16},   {kErrTemIn, "ErrTemIn", W::I16},
    {kErrHumIn, "ErrHumIn", W::I16},           {kTemSet, "TemSet", W::I16},
    {kHumSet, "HumSet", W::I16},
};
const uint8_t kColumns[] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
    15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
};

// HST12, registers 0..15 (the set point's float ends in register 15):
//
//   01 03 20 | 00 01 | 00 24 | 41 BB AE 14 | ... | 00 0F | 00 08 | 41 C8 00 00 | 42 48 00 00 | CRC
//   adr fn n   reg 0   reg 1   regs 2-3            reg 10  reg 11  regs 12-13    regs 14-15
//              prot.   outputs TemExtCiol          alarms  sensors HumSet        TemSet
const airc::Pick kMap12[] = {
    airc::RegBit(kStPhaseErr, 0, 0), airc::RegBit(kStPreHighProt, 0, 1),
    airc::RegBit(kStCompOverLoad, 0, 2),
    airc::RegBit(kStPreLowProt, 0, 3),
    airc::RegBit(kStComp, 1, 0), airc::RegBit(kStFanOut, 1, 1), airc::RegBit(kStFanIn, 1, 2),
    airc::RegBit(kStHeater1On, 1, 3), airc::RegBit(kStHumOn, 1, 4), airc::RegBit(kStCoolerOn, 1, 5),
    airc::RegBit(kStDeHumOn, 1, 6), airc::RegBit(kStFWValue, 1, 7),
    airc::RegBit(kStHeater2On, 1, 8),
    airc::RegBit(kAlmPhaseErr, 10, 0), airc::RegBit(kAlmPreHighProt, 10, 1),
    airc::RegBit(kAlmCompOverLoad, 10, 2),
    airc::RegBit(kAlmPreLowProt, 10, 3),
    airc::RegBit(kErrTemExtCiol, 11, 0), airc::RegBit(kErrTemInCiol, 11, 1),
    airc::RegBit(kErrTemIn, 11, 2),
    airc::RegBit(kErrHumIn, 11, 3),
    // Floats: field, first register (tenths; no number or beyond 16 bits: 0).
    airc::FloatTenths(kTemExtCiol, 2), airc::FloatTenths(kTemInCiol, 4),
    airc::FloatTenths(kTemIn, 6), airc::FloatTenths(kHumIn, 8),
    airc::FloatTenths(kHumSet, 12), airc::FloatTenths(kTemSet, 14),
};

// HST26JF, registers 0..23 (15..23 not used):
//
//   01 03 30 | 41 BB AE 14 | 42 48 00 00 | ... | 00 05 | 02 21 | 02 00 | ... | CRC
//   adr fn n   regs 0-1      regs 2-3            reg 12  reg 13  reg 14
//              TemIn         HumIn               prot.   outputs alarms and sensors
// StFanOut stays 0 and StFanIn 0: this map carries neither.
const airc::Pick kMap26[] = {
    airc::RegBit(kStPhaseErr, 12, 0), airc::RegBits(kStPreHighProt, 12, 1, 3),
    airc::RegBits(kStCompOverLoad, 12, 2, 4),
    airc::RegBits(kStPreLowProt, 12, 6, 7),
    airc::RegBits(kStComp, 13, 0, 1), airc::RegBits(kStHeater1On, 13, 5, 6),
    airc::RegBit(kStHumOn, 13, 9),
    airc::RegBits(kStCoolerOn, 13, 7, 8), airc::RegBits(kStDeHumOn, 13, 10, 11),
    airc::RegBits(kStFWValue, 13, 12, 13),
    airc::RegBit(kStHeater2On, 13, 14),
    airc::RegBit(kAlmPhaseErr, 14, 0), airc::RegBits(kAlmPreHighProt, 14, 1, 3),
    airc::RegBits(kAlmCompOverLoad, 14, 8, 9),
    airc::RegBits(kAlmPreLowProt, 14, 2, 4), airc::RegBits(kErrTemExtCiol, 14, 5, 7),
    airc::RegBits(kErrTemInCiol, 14, 6, 8),
    airc::RegBit(kErrTemIn, 14, 9), airc::RegBit(kErrHumIn, 14, 10),
    airc::FloatTenths(kTemExtCiol, 8), airc::FloatTenths(kTemInCiol, 4),
    airc::FloatTenths(kTemIn, 0), airc::FloatTenths(kHumIn, 2),
    airc::FloatTenths(kTemSet, 10), airc::FloatTenths(kHumSet, 6),
};

const char kYesNo[] = "0：否    1：是";
const char kTemLow[] = "最小值|允许最低温度,低于此值告警";
const char kTemHigh[] = "最大值|允许最高温度,超过此值告警";
const char kHumLow[] = "最小值|允许最低湿度,低于此值告警";
const char kHumHigh[] = "最大值|允许最高湿度,超过此值告警";

// No rows for the set points (fields 26, 27).
const qx::sql::DefRow kDefs[] = {
    airc::FlagRow(1, "StPhaseErr", "相序错误", kYesNo),
    airc::FlagRow(2, "StPreHighProt", "高压保护", kYesNo),
    airc::FlagRow(3, "StCompOverLoad", "压缩机过载", kYesNo),
    airc::FlagRow(4, "StPreLowProt", "低压保护", kYesNo),
    // The compressor, fan, heater, humidifier and valve outputs are on while the unit runs:
    // states, no limit is checked on them.
    airc::StateRow(5, "StComp", "压缩机输出", kYesNo),
    airc::StateRow(6, "StFanOut", "外风机输出", kYesNo),
    airc::StateRow(7, "StFanIn", "内风机输出", kYesNo),
    airc::StateRow(8, "StHeater1On", "电加热1输出", kYesNo),
    airc::StateRow(9, "StHumOn", "加湿器输出", kYesNo),
    airc::StateRow(10, "StCoolerOn", "制冷阀输出", kYesNo),
    airc::StateRow(11, "StDeHumOn", "除湿阀输出", kYesNo),
    airc::StateRow(12, "StFWValue", "四通阀输出", kYesNo),
    airc::StateRow(13, "StHeater2On", "电加热2输出", kYesNo),
    airc::LimitRow(14, "TemExtCiol", "外盘管温度实时值", 10, 200, kTemLow, 380, kTemHigh),
    airc::LimitRow(15, "TemInCiol", "内盘管温度实时值", 10, 200, kTemLow, 380, kTemHigh),
    airc::LimitRow(16, "TemIn", "室内温度实时值", 10, 200, kTemLow, 380, kTemHigh),
    airc::LimitRow(17, "HumIn", "室内湿度实时值", 10, 350, kHumLow, 780, kHumHigh),
    airc::FlagRow(18, "AlmPhaseErr", "相序错误", kYesNo),
    airc::FlagRow(19, "AlmPreHighProt", "高压报警", kYesNo),
    airc::FlagRow(20, "AlmCompOverLoad", "压缩机过载", "0正常"),
    airc::FlagRow(21, "AlmPreLowProt", "低压报警", "0正常"),
    airc::FlagRow(22, "ErrTemExtCiol", "外盘管温度传感器故障", "0正常, 1故障"),
    airc::FlagRow(23, "ErrTemInCiol", "内盘管温度传感器故障", "0正常, 1故障"),
    airc::FlagRow(24, "ErrTemIn", "室内温度传感器故障", "0正常, 1故障"),
    airc::FlagRow(25, "ErrHumIn", "室内湿度传感器故障", "0正常, 1故障"),
};

const airc::Shape kShape = {
    {2048, "Cyber", "佳力图 智能型精密空调系统 KN10 ..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberHstx",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,StPhaseErr INTEGER, StPreHighProt INTEGER, "
     "StCompOverLoad INTEGER, StPreLowProt INTEGER, StComp INTEGER, StFanOut INTEGER, "
     "StFanIn INTEGER, StHeater1On INTEGER, StHumOn INTEGER, StCoolerOn INTEGER, "
     "StDeHumOn INTEGER, StFWValue INTEGER, StHeater2On INTEGER, TemExtCiol INTEGER, "
     "TemInCiol INTEGER, TemIn INTEGER, HumIn INTEGER, AlmPhaseErr INTEGER, "
     "AlmPreHighProt INTEGER, AlmCompOverLoad INTEGER, AlmPreLowProt INTEGER, "
     "ErrTemExtCiol INTEGER, ErrTemInCiol INTEGER, ErrTemIn INTEGER, ErrHumIn INTEGER, "
     "TemSet INTEGER, HumSet INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    27,
    kColumns, sizeof kColumns / sizeof kColumns[0],
    27,
    nullptr, 0,
    airc::kBriefAlarms,
    "HST空调",
};

// One read, which clears the 27 values before its picks: HST12 registers 0..15 (the set
// point's float ends in register 15), HST26JF registers 0..23.
const airc::Req kHst12[] = {airc::Read(3, 0, 16, kMap12, true, 27)};
const airc::Req kHst26[] = {airc::Read(3, 0, 24, kMap26, true, 27)};
// Purged; `wait` above 100 ms replaces the 300 ms pause; replies fit 256 bytes. Variant 1
// polls the HST26JF map.
const airc::Polling kPolling = {{true, 300, 100, 256}, kHst12, 1, kHst26, 1};

}  // namespace

CSMCyberHSTXX::CSMCyberHSTXX() : CSMAircShape(0x819, "QX-Cyber-HST-XX", kShape) {
    PollBy(kPolling);
}

int CSMCyberHSTXX::DataGet_HST12(ISerBase* channel, int address, int wait) {
    return PollMap(channel, address, wait, kHst12, 1, kPolling.link);
}

int CSMCyberHSTXX::DataGet_HST26JF(ISerBase* channel, int address, int wait) {
    return PollMap(channel, address, wait, kHst26, 1, kPolling.link);
}

void CSMCyberHSTXX::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "外盘管温度:%1.1f, 内盘管温度:%1.1f, 室内温度:%1.1f, 室内湿度:%1.1f",
             Val(kTemExtCiol) / 10.0, Val(kTemInCiol) / 10.0, Val(kTemIn) / 10.0,
             Val(kHumIn) / 10.0);
}
