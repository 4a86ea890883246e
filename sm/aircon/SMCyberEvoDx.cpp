#include "aircon/SMCyberEvoDx.h"

#include <stdio.h>

#include "TeFrame.h"

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t { kTemIndAvg = 15, kHumIndAvg = 16, kFirstAlarm = 19, kCount = 68 };

const char* const kNames[kCount] = {
    "TemInd1", "TemInd2", "TemInd3", "TemInd4", "TemInd5", "TemOutd", "TemAirOut",
    "HumInd1", "HumInd2", "HumInd3", "HumInd4", "HumInd5", "HumOutd", "TemRecPump",
    "TemIndAvg", "HumIndAvg", "CurHumer", "CurComp",
    "AStTemRH", "AStTemRL", "AStHumRH", "AStHumRL", "AStElcHum", "AStInFan", "AStElcHumCH",
    "AStElcHumCL", "AStElcHumWH", "AStInfHumWTP", "AStInfHumWH", "AStInfHumWL", "AStWetHumWH",
    "AStWetHumHL", "AStFlNotOpen", "AStFlNotClose", "AStAirLose", "AStAirFilth",
    "AStNewAirLose", "AStNewAirFilth", "AStFloorLeak", "AStSmoke", "AStElecRate", "AStPowOV",
    "AStPowUV", "AStPowPL", "AStPowAP", "AStAirTSIn", "AStAirTSOut", "AStAIRHSIn",
    "AStDifPreSen", "AStCPLose", "AStTSenOut", "AStHSenOut", "AStPumpSen", "AStPumpOV",
    "AStPumpUV", "AStPumpPL", "AStPumpAP", "AStPumpWL", "AStPumpCom", "AStNewSysDP",
    "RStFanIn", "RStComp1", "RStComp2", "RStElbow1", "RStElbow2", "RStElHum", "RStRefPump",
    "RStHumSt",
};

#define F(n) {n, kNames[n - 1], W::I32}
const Field kFields[kCount] = {
    F(1),  F(2),  F(3),  F(4),  F(5),  F(6),  F(7),  F(8),  F(9),  F(10), F(11), F(12),
    F(13), F(14), F(15), F(16), F(17), F(18), F(19), F(20), F(21), F(22), F(23), F(24),
    F(25), F(26), F(27), F(28), F(29), F(30), F(31), F(32), F(33), F(34), F(35), F(36),
    F(37), F(38), F(39), F(40), F(41), F(42), F(43), F(44), F(45), F(46), F(47), F(48),
    F(49), F(50), F(51), F(52), F(53), F(54), F(55), F(56), F(57), F(58), F(59), F(60),
    F(61), F(62), F(63), F(64), F(65), F(66), F(67), F(68),
};
#undef F

#define TEM(n) {n, "TemInd" #n, 1, "室内温度" #n, 10, 10, 200, "最小值|允许最低温度,低于此值告警", \
                350, "最大值|允许最高温度,超过此值告警", 0}
#define HUM(n, k) {n, "HumInd" #k, 1, "室内湿度" #k, 10, 10, 200, \
                   "最小值|允许最低湿度,低于此值告警", 750, "最大值|允许最高湿度,超过此值告警", 0}
// The captions of the alarm states, fields 19..60.
const char* const kAlarmCaptions[42] = {
    "回风温度过高", "回风温度过低", "回风湿度过高", "回风湿度过低", "电极加湿器故障",
    "室内风机故障", "电极加湿器电流过高", "电极加湿器电流过低", "电极加湿器水位过高",
    "红外加湿器WTP告警", "红外加湿器水位过高", "红外加湿器水位过低", "湿膜加湿器水位过高",
    "湿膜加湿器HL告警", "阀门未打开", "阀门未关闭", "气流丢失", "过滤网脏堵", "新风气流丢失",
    "新风过滤网脏堵", "地板漏水", "烟雾告警", "电源频率异常", "电源过压", "电源欠压",
    "电源缺相", "电源相序错误", "回风温度传感器故障", "送风温度传感器故障",
    "回风湿度传感器故障", "压差传感器故障", "CP丢失告警", "室外温度传感器故障",
    "室外湿度传感器故障", "泵传感器故障", "泵过压", "泵欠压", "泵缺相", "泵相序错误",
    "泵水位告警", "泵通讯故障", "新风系统压差告警",
};
// The unit's alarm states (code 01) are alarms: the host checks them as it checks the rooms.
#define ALM(n) airc::FlagRow(n, kNames[n - 1], kAlarmCaptions[n - kFirstAlarm], "0正常 1告警")
const qx::sql::DefRow kDefs[] = {
    TEM(1), TEM(2), TEM(3), TEM(4), TEM(5),
    HUM(8, 1), HUM(9, 2), HUM(10, 3), HUM(11, 4), HUM(12, 5),
    ALM(19), ALM(20), ALM(21), ALM(22), ALM(23), ALM(24), ALM(25), ALM(26), ALM(27), ALM(28),
    ALM(29), ALM(30), ALM(31), ALM(32), ALM(33), ALM(34), ALM(35), ALM(36), ALM(37), ALM(38),
    ALM(39), ALM(40), ALM(41), ALM(42), ALM(43), ALM(44), ALM(45), ALM(46), ALM(47), ALM(48),
    ALM(49), ALM(50), ALM(51), ALM(52), ALM(53), ALM(54), ALM(55), ALM(56), ALM(57), ALM(58),
    ALM(59), ALM(60),
};
#undef TEM
#undef HUM
#undef ALM

const airc::Shape kShape = airc::WholeBlock(
    {2048, "CyberMate", "EVO-CyberMate-DX..."}, kDefs,
    {"tbEvoCyberDx",
     AIRC_TABLE_HEAD
     "TemInd1 INTEGER, TemInd2 INTEGER, TemInd3 INTEGER, TemInd4 INTEGER, TemInd5 INTEGER, "
     "TemOutd INTEGER, TemAirOut INTEGER, HumInd1 INTEGER, HumInd2 INTEGER, HumInd3 INTEGER, "
     "HumInd4 INTEGER, HumInd5 INTEGER, HumOutd INTEGER, TemRecPump INTEGER, "
     "TemIndAvg INTEGER, HumIndAvg INTEGER, CurHumer INTEGER, CurComp INTEGER, "
     "AStTemRH INTEGER, AStTemRL INTEGER, AStHumRH INTEGER, AStHumRL INTEGER, "
     "AStElcHum INTEGER, AStInFan INTEGER, AStElcHumCH INTEGER, AStElcHumCL INTEGER, "
     "AStElcHumWH INTEGER, AStInfHumWTP INTEGER, AStInfHumWH INTEGER, AStInfHumWL INTEGER, "
     "AStWetHumWH INTEGER, AStWetHumHL INTEGER, AStFlNotOpen INTEGER, AStFlNotClose INTEGER, "
     "AStAirLose INTEGER, AStAirFilth INTEGER, AStNewAirLose INTEGER, AStNewAirFilth INTEGER, "
     "AStFloorLeak INTEGER, AStSmoke INTEGER, AStElecRate INTEGER, AStPowOV INTEGER, "
     "AStPowUV INTEGER, AStPowPL INTEGER, AStPowAP INTEGER, AStAirTSIn INTEGER, "
     "AStAirTSOut INTEGER, AStAIRHSIn INTEGER, AStDifPreSen INTEGER, AStCPLose INTEGER, "
     "AStTSenOut INTEGER, AStHSenOut INTEGER, AStPumpSen INTEGER, AStPumpOV INTEGER, "
     "AStPumpUV INTEGER, AStPumpPL INTEGER, AStPumpAP INTEGER, AStPumpWL INTEGER, "
     "AStPumpCom INTEGER, AStNewSysDP INTEGER, RStFanIn INTEGER, RStComp1 INTEGER, "
     "RStComp2 INTEGER, RStElbow1 INTEGER, RStElbow2 INTEGER, RStElHum INTEGER, "
     "RStRefPump INTEGER, RStHumSt INTEGER"},
    kFields, airc::kBriefAlarms, "精密空调",
    0, 0);  // DataVal: 0 for field 0 and for any number beyond the table

const uint8_t VER = 0x21, CID1 = 0x60;
// `wait` when above 0, else 250 ms; replies fit 512 bytes.
const airc::Link kLink = {true, 250, 0, 511};

// Reply character -> field.
struct At {
    uint8_t fld;
    uint8_t at;
};
// CID2 42: analogue values, 4 characters each.
const At kAnalogue[] = {
    {1, 13}, {2, 17}, {3, 21}, {4, 25}, {5, 29}, {7, 33}, {8, 61}, {9, 65}, {10, 69},
    {11, 73}, {12, 77}, {17, 105}, {6, 113}, {13, 117}, {18, 129}, {14, 133}, {15, 137},
    {16, 141},
};
// CID2 43: state bytes, 2 characters each.
const At kStates[] = {{61, 13}, {62, 15}, {63, 17}, {64, 19}, {65, 21}, {66, 23},
                      {67, 57}, {68, 63}};

// CID2 44: alarm codes, 2 characters each: fields 19..23 from 13, 24..48 from 65, 49 at
// 129, 50..59 from 141, 60 at 165.
struct Run {
    uint8_t fld, count, at;
};
const Run kAlarms[] = {{19, 5, 13}, {24, 25, 65}, {49, 1, 129}, {50, 10, 141}, {60, 1, 165}};

}  // namespace

CSMCyberEvoDx::CSMCyberEvoDx() : CSMAircShape(0x80E, "QX-EVO-CyberMate-DX", kShape) { KeepPerPoint(); }

CSMCyberEvoDx::~CSMCyberEvoDx() {}

int CSMCyberEvoDx::GETAST(int v) { return v == 1 ? 1 : 0; }

int CSMCyberEvoDx::DataGet(ISerBase* channel, int address, int wait) {
    // A failed request leaves the point's own values of the requests it did not reach.
    return OnPoint([&] { return Ask(channel, address, wait); });
}

int CSMCyberEvoDx::Ask(ISerBase* channel, int address, int wait) {
    if (!channel || !channel->IsOpened()) return 0;
    // A unit that sends wrong sums is set up with a nonzero Variant.
    const unsigned options = (m_pItem && m_pItem->Variant != 0) ? (unsigned)qx::kYdSkipSums : 0u;
    uint8_t rx[512];
    auto ask = [&](int cid2, int need) {
        return YdRequest(channel, YdFrame(VER, address, CID1, cid2), rx, sizeof rx, kLink, wait,
                         need, options).ok();
    };

    if (!ask(0x42, 145)) return 0;
    ClearFields(kCount);
    for (const At& a : kAnalogue) {
        const int v = TE_Ascii2uint16(rx + a.at, 4);
        Set(a.fld, v == 0x7FFF ? 0 : v);  // 7FFF: not measured
    }

    if (!ask(0x43, 65)) return 0;
    for (const At& a : kStates) Set(a.fld, TE_Ascii2uint8(rx + a.at, 2));

    if (!ask(0x44, 167)) return 0;
    for (const Run& r : kAlarms)
        for (int i = 0; i < r.count; i++)
            Set(r.fld + i, GETAST(TE_Ascii2uint8(rx + r.at + 2 * i, 2)));
    printf("EvoDx: TRUE\r\n");
    return 1;
}

void CSMCyberEvoDx::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "室内平均温度:%1.1f, 平均湿度:%1.1f", Val(kTemIndAvg) / 10.0,
             Val(kHumIndAvg) / 10.0);
}
