#include "aircon/SMCyberDelta.h"

#include <stdio.h>

#include "QxPlatform.h"

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kTem = 1, kHum, kTemSet, kHumSet, kRunSt, kFault, kFanFault, kSysAFault, kSysBFault,
    kLowPowAFault, kLowPowBFault, kSenFault, kFanRunSt, kSysARunSt, kSysBRunSt, kHeatRunSt,
    kHumRunSt,
};
const int kCount = 17;

// Field n: its column, the register it is read from and its caption (null: no row).
struct Reg {
    const char* column;
    uint16_t reg;
    const char* caption;
};
const Reg kRegs[] = {
    {"Tem", 4312, "当前温度"},          {"Hum", 4322, "当前湿度"},
    {"TemSet", 4509, nullptr},          {"HumSet", 4513, nullptr},
    {"RunSt", 2168, "机组启停状态"},    {"Fault", 2199, "总故障"},
    {"FanFault", 2208, "风机故障"},     {"SysAFault", 2209, "系统 A故障"},
    {"SysBFault", 2210, "系统 B故障"},  {"LowPowAFault", 2216, "A低压故障"},
    {"LowPowBFault", 2217, "B低压故障"}, {"SenFault", 2223, "传感器故障"},
    {"FanRunSt", 2848, "风机运行"},     {"SysARunSt", 2849, "系统 A运行"},
    {"SysBRunSt", 2850, "系统 B运行"},  {"HeatRunSt", 2851, "电加热运行"},
    {"HumRunSt", 2852, "加湿器运行"},
};
static_assert(sizeof kRegs / sizeof kRegs[0] == kCount, "one register per field");
// Fields 1..12 are read one register each; 13..17 in one read of seven registers.
const int kSingles = 12;
const int kBlockCount = 7;

#define F(n) {n, kRegs[n - 1].column, W::U16}
const Field kFields[] = {
    F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8), F(9), F(10), F(11), F(12), F(13), F(14),
    F(15), F(16), F(17),
};
#undef F
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

const char kRun[] = "0：停止，1运行";
const char kFaultLegend[] = "0：正常，1：故障";
// The running states have no limits; the faults are the unit's alarms, which the host checks.
#define S(n) airc::StateRow(n, kRegs[n - 1].column, kRegs[n - 1].caption, kRun)
#define A(n) airc::FlagRow(n, kRegs[n - 1].column, kRegs[n - 1].caption, kFaultLegend)
const qx::sql::DefRow kDefs[] = {
    {kTem, "Tem", 1, "当前温度", 10, 10, 0, "最小值,低于此值告警", 0, "最大值,超过此值告警", 0},
    {kHum, "Hum", 1, "当前湿度", 10, 10, 0, "最小值,低于此值告警", 0, "最大值,超过此值告警", 0},
    S(5),  A(6),  A(7),  A(8),  A(9),  A(10), A(11), A(12),
    S(13), S(14), S(15), S(16), S(17),
};
#undef S
#undef A

const airc::Shape kShape = {
    {2048, "Cyber", "JADC0110 海瑞弗空调 ..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberDelta",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Tem INTEGER, Hum INTEGER, TemSet INTEGER,"
     " HumSet INTEGER, RunSt INTEGER, Fault INTEGER, FanFault INTEGER, SysAFault INTEGER,"
     " SysBFault INTEGER, LowPowAFault INTEGER, LowPowBFault INTEGER, SenFault INTEGER,"
     " FanRunSt INTEGER, SysARunSt INTEGER, SysBRunSt INTEGER, HeatRunSt INTEGER,"
     " HumRunSt INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    kCount,
    kColumns, sizeof kColumns,
    kCount,  // no answer: every value zeroed
    nullptr, 0,
    airc::kBriefAlarms,  // no St column
    "精密空调",
};

// Modbus ASCII, 300 ms before each reply; the input is purged once per poll.
const airc::Link kLink = {false, 300, -1, 256, false, qx::MbFraming::Ascii};

}  // namespace

CSMCyberDelta::CSMCyberDelta() : CSMAircShape(0x81E, "QX-Cyber-JADC0110", kShape) { KeepPerPoint(); }

CSMCyberDelta::~CSMCyberDelta() {}

int CSMCyberDelta::ModbusRTU2ASCII(uint8_t* out, const uint8_t* rtu, int len) {
    return qx::MbRtuToAscii(out, 2 * (len - 2) + 5, rtu, len);
}

int CSMCyberDelta::ModbusASCII2RTU(uint8_t* out, const uint8_t* ascii, int len) {
    return qx::MbAsciiToRtu(out, ascii, len);
}

uint8_t CSMCyberDelta::GetCheckLrc(const uint8_t* buf, int n) { return qx::MbLrc(buf, n); }

int CSMCyberDelta::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !channel->IsOpened() || !qx::AddrFits(address)) return 0;
    return OnPoint([&] { return Reads(channel, address, wait); });
}

int CSMCyberDelta::Reads(ISerBase* channel, int address, int wait) {
    channel->Purge();
    uint8_t reply[256];
    // A failed read ends the poll; the fields read before it keep their new values.
    for (int f = 1; f <= kSingles + 1; f++) {
        const int count = f <= kSingles ? 1 : kBlockCount;
        const int len = ModBusCmd(address, 3, kRegs[f - 1].reg, count);
        qx::MbReply r = Request(channel, len, reply, sizeof reply, kLink, wait, 3 + 2 * count);
        if (!r.ok()) return 0;
        if (f <= kSingles)
            Set(f, r.Word(0));
        else
            for (int k = 0; k + kFanRunSt <= kCount; k++) Set(kFanRunSt + k, r.Word(k));
    }
    return 1;
}

void CSMCyberDelta::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "当前温度:%1.1f°C, 当前湿度:%1.1f%%", Val(kTem) / 10.0, Val(kHum) / 10.0);
}
