#include "aircon/SMCyberRDAx.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kTem = 1, kHum, kTemSet, kHumSet, kFj, kYs1, kYs2, kJr1, kJr2,
    kGsbj, kDsbj, kGwbj, kDwbj, kYhbj, kSjbj,
};

// The block and the columns in storage order: the set points first.
const Field kFields[] = {
    {kTemSet, "temset", W::U32}, {kHumSet, "humset", W::U32}, {kTem, "tem", W::U32},
    {kHum, "hum", W::U32},       {kFj, "fj", W::U32},         {kYs1, "ys1", W::U32},
    {kYs2, "ys2", W::U32},       {kJr1, "jr1", W::U32},       {kJr2, "jr2", W::U32},
    {kGsbj, "gsbj", W::U32},     {kDsbj, "dsbj", W::U32},     {kGwbj, "gwbj", W::U32},
    {kDwbj, "dwbj", W::U32},     {kYhbj, "yhbj", W::U32},     {kSjbj, "sjbj", W::U32},
};
const uint8_t kColumns[] = {
    kTemSet, kHumSet, kTem, kHum, kFj, kYs1, kYs2, kJr1, kJr2,
    kGsbj, kDsbj, kGwbj, kDwbj, kYhbj, kSjbj,
};

// Discrete inputs 14..65 (`at` is the input less 14):
//   01 02 07 | 1F 00 A0 07 00 00 20 | CRC     byte 3 bits 0-4: fan, compressors, heaters
const airc::Pick kInputs[] = {
    airc::Bit(kFj, 0), airc::Bit(kYs1, 1), airc::Bit(kYs2, 2), airc::Bit(kJr1, 3),
    airc::Bit(kJr2, 4),
    airc::Bit(kGsbj, 23), airc::Bit(kDsbj, 24), airc::Bit(kGwbj, 25), airc::Bit(kDwbj, 26),
    airc::Bit(kYhbj, 21),
    airc::Bit(kSjbj, 45),
};
// Holding registers 0..3: humidity in register 0, temperature in register 3.
//   01 03 08 | 02 1C | 00 00 | 00 00 | 00 FA | CRC
const airc::Pick kHolding[] = {airc::Reg(kHum, 0), airc::Reg(kTem, 3)};
// Input registers 9..12: the temperature set point in 9, the humidity set point in 12.
//   01 04 08 | 00 DC | 00 00 | 00 00 | 01 F4 | CRC
const airc::Pick kInputRegs[] = {airc::Reg(kTemSet, 0), airc::Reg(kHumSet, 3)};


const qx::sql::DefRow kDefs[] = {
    airc::LimitRow(kTem, "tem", "回风温度", 10, 300, "最小值|允许最低温度,低于此值告警", 380,
                   "最大值|允许最高温度,超过此值告警"),
    airc::LimitRow(kHum, "hum", "回风湿度", 10, 350, "最小值|允许最低湿度,低于此值告警", 780,
                   "最大值|允许最高湿度,超过此值告警"),
    airc::FlagRow(kGsbj, "gsbj", "高湿报警", "0无异常"),
    airc::FlagRow(kDsbj, "dsbj", "低湿报警", "0无异常"),
    airc::FlagRow(kGwbj, "gwbj", "高温报警", "0无异常"),
    airc::FlagRow(kDwbj, "dwbj", "低温报警", "0无异常"),
    airc::FlagRow(kYhbj, "yhbj", "烟火报警", "0无异常"),
    airc::FlagRow(kSjbj, "sjbj", "水浸报警", "0无异常"),
};

const airc::Shape kShape = {
    {2048, "精密空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbRDA050CXTILI",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,temset INTEGER,humset INTEGER,tem INTEGER,"
     "hum INTEGER,fj INTEGER,ys1 INTEGER,ys2 INTEGER,jr1 INTEGER,jr2 INTEGER,gsbj INTEGER,"
     "dsbj INTEGER,gwbj INTEGER,dwbj INTEGER,yhbj INTEGER,sjbj INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    15,
    kColumns, sizeof kColumns / sizeof kColumns[0],
    15,
    nullptr, 0,
    airc::kBriefAlarms,
    "RDA空调",
};

// Cleared when the first reply passed: a later failure leaves the fields after it 0.
const airc::Req kReqs[] = {
    airc::Read(2, 14, 52, kInputs, true, 15),
    airc::Read(3, 0, 4, kHolding),
    airc::Read(4, 9, 4, kInputRegs),
};
// Not purged; any positive `wait` replaces the 100 ms pause.
const airc::Polling kPolling = {{false, 100, 0, 120}, kReqs, 3, nullptr, 0};

}  // namespace

CSMCyberRDAx::CSMCyberRDAx() : CSMAircShape(0x80F, "QX-Cyber-RDAxxx", kShape) {
    PollBy(kPolling);  // the summary is the shape's empty one, the alarm captions after it
}
