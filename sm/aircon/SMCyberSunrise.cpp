#include "aircon/SMCyberSunrise.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "TeFrame.h"

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kTem = 1, kHum, kFj, kCs, kJs, kZl, kZr,
    kAComp1High, kAComp1Low, kAAircLost, kAFanOv, kAHeatOv, kAFilter, kATemHigh, kATemLow,
    kAHumHigh, kAHumLow, kATSFaultRes, kATSFaultSup, kAHSFaultRes, kAHSFaultSup, kATemSup,
    kACurHumHigh, kAHumLackH2O, kACurHumZero, kATemH2OHigh, kAOverFlow, kAUser, kAFire,
    kAComp2High, kAComp2Low, kAH2OOn,
    kTemSet, kHumSet,
};
const int kCount = 34;

// Fields 3..32: name and caption of their definition rows, which are also the columns.
struct Flag {
    const char* name;
    const char* column;
    const char* caption;
    const char* legend;
};
const Flag kFlags[] = {
    {"StFj", "fj", "风机", "风机状态"},       {"StCs", "cs", "除湿", "除湿状态"},
    {"StJs", "js", "加湿", "加湿状态"},       {"StZl", "zl", "制冷", "制冷状态"},
    {"StZr", "zr", "制热", "制热状态"},
    {"AComp1High", "AComp1High", "压缩机高压", "0无异常"},
    {"AComp1Low", "AComp1Low", "压缩机低压", "0无异常"},
    {"AAircLost", "AAircLost", "气流丢失", "0无异常"},
    {"AFanOv", "AFanOv", "风机过载", "0无异常"},
    {"AHeatOv", "AHeatOv", "加热器过载", "0无异常"},
    {"AFilter", "AFilter", "空气过滤网", "0无异常"},
    {"ATemHigh", "ATemHigh", "高温告警", "0无异常"},
    {"ATemLow", "ATemLow", "低温告警", "0无异常"},
    {"AHumHigh", "AHumHigh", "高湿告警", "0无异常"},
    {"AHumLow", "AHumLow", "低湿告警", "0无异常"},
    {"ATSFaultRes", "ATSFaultRes", "回风温度探头故障", "0无异常"},
    {"ATSFaultSup", "ATSFaultSup", "送风温度探头故障", "0无异常"},
    {"AHSFaultRes", "AHSFaultRes", "回风湿度探头故障", "0无异常"},
    {"AHSFaultSup", "AHSFaultSup", "室外温度探头故障", "0无异常"},
    {"ATemSup", "ATemSup", "送风温度告警", "0无异常"},
    {"ACurHumHigh", "ACurHumHigh", "加湿器电流过大", "0无异常"},
    {"AHumLackH2O", "AHumLackH2O", "加湿器缺水", "0无异常"},
    {"ACurHumZero", "ACurHumZero", "无加湿电流", "0无异常"},
    {"ATemH2OHigh", "ATemH2OHigh", "进水温度过高", "0无异常"},
    {"AOverFlow", "AOverFlow", "溢流告警", "0无异常"},
    {"AUser", "AUser", "用户告警", "0无异常"},
    {"AFire", "AFire", "烟雾告警", "0无异常"},
    {"AComp2High", "AComp2High", "压缩机２高压", "0无异常"},
    {"AComp2Low", "AComp2Low", "压缩机２低压", "0无异常"},
    {"AH2OOn", "AH2OOn", "水流开关告警", "0无异常"},
};
static_assert(sizeof kFlags / sizeof kFlags[0] == 30, "fields 3..32");

// The value block in the order of the table's columns: the set points, then fields 1..32.
#define F(n) {n, kFlags[n - 3].column, W::I32}
const Field kFields[] = {
    {kTemSet, "temset", W::I32}, {kHumSet, "humset", W::I32},
    {kTem, "tem", W::I32},       {kHum, "hum", W::I32},
    F(3),  F(4),  F(5),  F(6),  F(7),  F(8),  F(9),  F(10), F(11), F(12), F(13), F(14), F(15),
    F(16), F(17), F(18), F(19), F(20), F(21), F(22), F(23), F(24), F(25), F(26), F(27), F(28),
    F(29), F(30), F(31), F(32),
};
#undef F
static_assert(sizeof kFields / sizeof kFields[0] == kCount, "fields 1..34");

#define D(n) airc::FlagRow(n, kFlags[n - 3].name, kFlags[n - 3].caption, kFlags[n - 3].legend)
// Fields 3 to 7 (fan, dehumidifying, humidifying, cooling, heating) are states of the running
// unit: no limit is checked on them.
#define S(n) airc::StateRow(n, kFlags[n - 3].name, kFlags[n - 3].caption, kFlags[n - 3].legend)
const qx::sql::DefRow kDefs[] = {
    {kTem, "tem", 1, "回风温度", 10, 10, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {kHum, "hum", 1, "回风湿度", 10, 10, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
    S(3),  S(4),  S(5),  S(6),  S(7),  D(8),  D(9),  D(10), D(11), D(12), D(13), D(14), D(15),
    D(16), D(17), D(18), D(19), D(20), D(21), D(22), D(23), D(24), D(25), D(26), D(27), D(28),
    D(29), D(30), D(31), D(32),
};
#undef D
#undef S

const airc::Shape kShape = airc::WholeBlock(
    {2048, "精密空调", "485接口..."}, kDefs,
    {"tbSunrise",
     AIRC_TABLE_HEAD
     "temset INTEGER,humset INTEGER,tem INTEGER,hum INTEGER,fj INTEGER,cs INTEGER,js INTEGER,"
     "zl INTEGER,zr INTEGER,AComp1High INTEGER,AComp1Low INTEGER,AAircLost INTEGER,"
     "AFanOv INTEGER,AHeatOv INTEGER,AFilter INTEGER,ATemHigh INTEGER,ATemLow INTEGER,"
     "AHumHigh INTEGER,AHumLow INTEGER,ATSFaultRes INTEGER,ATSFaultSup INTEGER,"
     "AHSFaultRes INTEGER,AHSFaultSup INTEGER,ATemSup INTEGER,ACurHumHigh INTEGER,"
     "AHumLackH2O INTEGER,ACurHumZero INTEGER,ATemH2OHigh INTEGER,AOverFlow INTEGER,"
     "AUser INTEGER,AFire INTEGER,AComp2High INTEGER,AComp2Low INTEGER,AH2OOn INTEGER"},
    kFields, airc::kBriefState | airc::kBriefAlarms, "精密空调");

const int kReplySize = 120;
// GOS replies: the status up to its character 21, a set point up to character 9.
const int kGosStatusChars = 22;
const int kGosReadChars = 10;
const uint8_t kStx = 0x02, kEtx = 0x03;

// A GOS reply ends with its ETX: ask for the rest of the buffer until one came last.
int GosLength(const uint8_t* data, int have) {
    return have > 0 && data[have - 1] == kEtx ? have : kReplySize;
}

// Register bit -> field of the Modbus reply.
struct Bit {
    uint8_t reg;  // 1..8
    uint8_t bit;
    uint8_t fld;
};
const Bit kModbusBits[] = {
    {3, 1, kFj}, {3, 2, kZr}, {3, 3, kZl}, {3, 4, kJs}, {3, 5, kCs},
    {6, 15, kAComp1High}, {6, 14, kAComp1Low}, {6, 13, kAAircLost}, {6, 12, kAFanOv},
    {6, 11, kAHeatOv}, {6, 10, kAFilter}, {6, 9, kATemHigh}, {6, 8, kATemLow},
    {6, 7, kAHumHigh}, {6, 6, kAHumLow}, {6, 5, kATSFaultRes}, {6, 4, kATSFaultSup},
    {6, 3, kAHSFaultRes}, {6, 2, kAHSFaultSup}, {6, 1, kATemSup},
    {7, 15, kACurHumHigh}, {7, 14, kAHumLackH2O}, {7, 13, kACurHumZero}, {7, 12, kATemH2OHigh},
    {7, 9, kAOverFlow}, {7, 8, kAUser}, {7, 7, kAFire}, {7, 2, kAComp2High}, {7, 1, kAComp2Low},
    {7, 0, kAH2OOn},
};

}  // namespace

CSMCyberSunrise::CSMCyberSunrise() : CSMAircShape(0x810, "QX-Cyber-Sunrise", kShape) { KeepPerPoint(); }

CSMCyberSunrise::~CSMCyberSunrise() {}

int CSMCyberSunrise::DataGet(ISerBase* channel, int address, int wait) {
    return PollByVariant(channel, address, wait, &CSMCyberSunrise::DataGet_GOS,
                         &CSMCyberSunrise::DataGet_Modbus);
}

int CSMCyberSunrise::GosCmd(uint8_t* out, size_t size, char command, const char* arg, int address) {
    const size_t argLen = arg ? strlen(arg) : 0;
    if (!out || !qx::AddrFits(address) || size < 5 + argLen) return 0;
    size_t k = 0;
    out[k++] = kStx;
    out[k++] = (uint8_t)command;
    out[k++] = (uint8_t)CBufHelper::hex2asciiHigh((uint8_t)address);
    out[k++] = (uint8_t)CBufHelper::hex2asciiLow((uint8_t)address);
    for (size_t i = 0; i < argLen; i++) out[k++] = (uint8_t)arg[i];
    out[k++] = kEtx;
    return (int)k;
}

int CSMCyberSunrise::GosStatus(const uint8_t* reply, int n) {
    if (!reply || n < kGosStatusChars) return 0;
    ClearFields(kCount);
    Set(kTem, TE_Ascii2uint16(reply + 4, 4));
    Set(kHum, TE_Ascii2uint16(reply + 8, 4) * 10);
    const int b = TE_Ascii2uint8(reply + 12, 2);
    Set(kFj, b >> 1 & 1);
    Set(kCs, b >> 5 & 1);
    Set(kJs, b >> 4 & 1);
    Set(kZl, b >> 3 & 1);
    Set(kZr, -1);  // GOS tells no heating state
    const int a = TE_Ascii2uint16(reply + 14, 4);
    Set(kATemHigh, a >> 7 & 1);
    Set(kATemLow, a >> 6 & 1);
    Set(kAHumHigh, a >> 9 & 1);
    Set(kAHumLow, a >> 8 & 1);
    const int c = TE_Ascii2uint16(reply + 18, 4);
    Set(kAFire, c >> 7 & 1);
    Set(kAOverFlow, c & 1);
    return 1;
}

int CSMCyberSunrise::DataGet_GOS(ISerBase* channel, int address, int wait) {
    const int ms = wait > 0 ? wait : 100;
    uint8_t request[16];
    uint8_t reply[kReplySize];

    int len = GosCmd(request, sizeof request, 'L', nullptr, address);
    if (!len) return 0;  // no address field holds it
    int got = qx::FrameExchange(channel, request, len, reply, sizeof reply, ms, GosLength);
    if (!GosStatus(reply, got)) return 0;

    // The set points: a failed read ends the poll, the status values stay.
    static const struct {
        const char* arg;
        uint8_t fld;
        int scale;
    } kSets[] = {{"03", kTemSet, 1}, {"04", kHumSet, 10}};
    for (const auto& s : kSets) {
        len = GosCmd(request, sizeof request, 'R', s.arg, address);
        got = qx::FrameExchange(channel, request, len, reply, sizeof reply, ms, GosLength);
        if (got < kGosReadChars) return 0;
        Set(s.fld, TE_Ascii2uint16(reply + 6, 4) * s.scale);
    }
    return 1;
}

void CSMCyberSunrise::ModbusRegs(const uint8_t* data) {
    ClearFields(kCount);
    auto reg = [data](int r) { return (int)CBufHelper::wdFromBuf(data + 2 * (r - 1)); };
    Set(kTemSet, reg(1));
    Set(kHumSet, reg(2) * 10);
    Set(kTem, reg(4));
    Set(kHum, reg(5) * 10);
    for (const Bit& b : kModbusBits) Set(b.fld, reg(b.reg) >> b.bit & 1);
}

int CSMCyberSunrise::DataGet_Modbus(ISerBase* channel, int address, int wait) {
    if (!qx::AddrFits(address)) return 0;
    // The reply wait is `wait` when given, else 100 ms; the input is not purged.
    const airc::Link link = {false, 100, 0, kReplySize};
    uint8_t reply[kReplySize];
    const int len = ModBusCmd(address, 3, 1, 8);
    qx::MbReply r = Request(channel, len, reply, sizeof reply, link, wait, 3 + 16);
    if (!r.ok()) return 0;
    ModbusRegs(r.data);
    return 1;
}

void CSMCyberSunrise::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "温度:%.1f℃ 湿度:%.1f%%RH", Val(kTem) / 10.0, Val(kHum) / 10.0);
}
