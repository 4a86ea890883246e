#include "aircon/SMCyberHaiRuiFu.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t { kTem = 1, kHum = 2 };

const Field kFields[] = {
    {1, "Tem", W::U32},       {2, "Hum", W::U32},      {3, "FanGz", W::U32},
    {4, "YsGy", W::U32},      {5, "YsDy", W::U32},     {6, "JrGz", W::U32},
    {7, "JsGz", W::U32},      {8, "Fire", W::U32},     {9, "Leak", W::U32},
    {10, "Phase", W::U32},    {11, "TemHigh", W::U32}, {12, "TemLow", W::U32},
    {13, "HumHigh", W::U32},  {14, "HumLow", W::U32},  {15, "TemSenErr", W::U32},
    {16, "ComAlm", W::U32},   {17, "FanStat", W::U32}, {18, "YsState", W::U32},
    {19, "JrState", W::U32},  {20, "JsState", W::U32}, {21, "CoMode", W::U32},
    {22, "CsMode", W::U32},   {23, "JsMode", W::U32},  {24, "ZlMode", W::U32},
};
const uint8_t kColumns[] = {
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
};

// The four requests' replies and their sources (`at`: register or input of the reply).
//
//   01 04 04 | 00 FA | 01 C2 | CRC          input registers 1-2: Tem, Hum (tenths, unsigned)
//   01 04 1A | 00 00 | 00 01 | 00 02 | ...  input registers 30-42: alarm codes 0, 1, 2
//   01 02 01 | 37 | CRC                     inputs 0-6: bits 0, 1, 2, 4, 5, 6 (3 unused)
//   01 02 01 | 05 | CRC                     inputs 20-22: bits 0, 1, 2
const airc::Pick kTemHum[] = {airc::Reg(1, 0), airc::Reg(2, 1)};
const airc::Pick kAlarms[] = {
    airc::Reg(3, 0), airc::Reg(4, 1), airc::Reg(5, 2), airc::Reg(6, 3), airc::Reg(7, 4),
    airc::Reg(8, 5), airc::Reg(9, 6),
    airc::Reg(10, 7), airc::Reg(11, 8), airc::Reg(12, 9), airc::Reg(13, 10), airc::Reg(14, 11),
    airc::Reg(15, 12),
};
const airc::Pick kStates[] = {
    airc::Bit(16, 0), airc::Bit(17, 1), airc::Bit(18, 2), airc::Bit(19, 4), airc::Bit(20, 5),
    airc::Bit(21, 6),
};
const airc::Pick kModes[] = {airc::Bit(22, 0), airc::Bit(23, 1), airc::Bit(24, 2)};

const char kAlarmCode[] = "0:正常, 1:告警, 2:报警确认";
const char kOnOff[] = "0:关  1:开";
// An alarm register holds 0 normal, 1 alarm, 2 alarm acknowledged: the host checks it, and
// an acknowledged alarm is still the unit's alarm until it clears.
constexpr qx::sql::DefRow Code(int fld, const char* name, const char* caption) {
    return airc::FlagRow(fld, name, caption, kAlarmCode);
}
constexpr qx::sql::DefRow State(int fld, const char* name, const char* caption,
                                const char* legend) {
    return airc::FlagRow(fld, name, caption, legend, 0);
}

// High limits 30 and 70 as the unit's definitions have always had them.
const qx::sql::DefRow kDefs[] = {
    airc::LimitRow(1, "Tem", "现场温度", 10, 200, "最小值|允许最低温度", 30, "最大值|允许最高温度"),
    airc::LimitRow(2, "Hum", "现场湿度", 10, 200, "最小值|允许最低湿度", 70, "最大值|允许最高湿度"),
    Code(3, "FanGz", "风机过载"),     Code(4, "YsGy", "压缩机高压"),   Code(5, "YsDy", "压缩机低压"),
    Code(6, "JrGz", "加热器过载"),    Code(7, "JsGz", "加湿器过载"),   Code(8, "Fire", "火警"),
    Code(9, "Leak", "溢水报警"),      Code(10, "Phase", "相位错误"),   Code(11, "TemHigh", "温度上限报警"),
    Code(12, "TemLow", "温度下限报警"), Code(13, "HumHigh", "湿度上限报警"),
    Code(14, "HumLow", "湿度下限报警"), Code(15, "TemSenErr", "温度传感器坏"),
    airc::FlagRow(16, "ComAlm", "通用警报", "0:无报警  1:有报警"),
    State(17, "FanStat", "风机状态", kOnOff),
    State(18, "YsState", "压缩机状态", kOnOff),
    State(19, "JrState", "加热器状态", kOnOff),
    State(20, "JsState", "加湿器状态", kOnOff),
    State(21, "CoMode", "Co-work模式", "0:协作  1:独立"),
    State(22, "CsMode", "除湿", "0:非除湿   1:除湿状态"),
    State(23, "JsMode", "加湿", "0:非加湿   1:加湿状态"),
    State(24, "ZlMode", "制冷", "0:非制冷   1:制冷状态"),
};

const airc::Shape kShape = {
    {2048, "CyberMate", "Cyber-HaiFuRui..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberHairf",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Tem INTEGER, Hum INTEGER, FanGz INTEGER, "
     "YsGy INTEGER, YsDy INTEGER, JrGz INTEGER, JsGz INTEGER, Fire INTEGER, Leak INTEGER, "
     "Phase INTEGER, TemHigh INTEGER, TemLow INTEGER, HumHigh INTEGER, HumLow INTEGER, "
     "TemSenErr INTEGER, ComAlm INTEGER, FanStat INTEGER, YsState INTEGER, JrState INTEGER, "
     "JsState INTEGER, CoMode INTEGER, CsMode INTEGER, JsMode INTEGER, ZlMode INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    24,
    kColumns, sizeof kColumns / sizeof kColumns[0],
    24,
    nullptr, 0,
    airc::kBriefAlarms,
    "海瑞福空调",
    0, 0,  // DataVal: 0 for field 0 and for any number beyond the table
};

// Cleared when the first reply passed: a later failure leaves the fields after it 0.
const airc::Req kReqs[] = {
    airc::Read(4, 1, 2, kTemHum, true, 24),
    airc::Read(4, 30, 13, kAlarms),
    airc::Read(2, 0, 7, kStates),
    airc::Read(2, 20, 3, kModes),
};
// The line each request prints for an exception reply, with its code.
const char* const kExceptionLines[] = {
    "[CSMCyberHaiRuiFu::DataGet] Do 4, 2: ErrCode = %02XH\n",
    "[CSMCyberHaiRuiFu::DataGet] Do 4, 31: ErrCode = %02XH\n",
    "[CSMCyberHaiRuiFu::DataGet] Do 2, 1: ErrCode = %02XH\n",
    "[CSMCyberHaiRuiFu::DataGet] Do 2, 21: ErrCode = %02XH\n",
};

// Purged before the first request only; `wait` above 100 ms replaces the 100 ms pause.
const airc::Polling kPolling = {{true, 100, 100, 120, false, qx::MbFraming::Rtu, true}, kReqs, 4, nullptr, 0};

}  // namespace

CSMCyberHaiRuiFu::CSMCyberHaiRuiFu() : CSMAircShape(0x815, "QX-Cyber-Hairf", kShape) {
    PollBy(kPolling);
}

void CSMCyberHaiRuiFu::Refused(size_t index, const qx::MbReply& r, const uint8_t* reply) {
    // An exception reply is told by its function code, whatever its CRC.
    if (index < 4 && r.received >= 3 && (reply[1] & 0x80)) printf(kExceptionLines[index], reply[2]);
}

void CSMCyberHaiRuiFu::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "现场温度:%1.1f, 现场湿度:%1.1f", Val(kTem) / 10.0, Val(kHum) / 10.0);
}
