#include "aircon/SMAircDAS.h"

#include <stdio.h>
#include <string.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kWorkStatus = 1, kWorkMode, kWindSpeed, kTempSet, kHumidity, kTempGet, kCurrentGet,
    kCurrentSet, kLowTemp, kHighTemp, kSwitchTime, kCtrlMode, kBrandA, kBrandB, kBrandC,
    kAddress,
};

const Field kFields[] = {
    {kWorkStatus, "WorkStatus", W::U8}, {kWorkMode, "WorkMode", W::U8},
    {kWindSpeed, "WindSpeed", W::U8},   {kTempSet, "TempSet", W::U8},
    {kHumidity, "Humidity", W::U8},     {kTempGet, "TempGet", W::U8},
    {kCurrentGet, "CurrentGet", W::U16}, {kCurrentSet, "CurrentSet", W::U16},
    {kLowTemp, "LowTemp", W::U8},       {kHighTemp, "HighTemp", W::U8},
    {kSwitchTime, "SwitchTime", W::U8}, {kCtrlMode, "CtrlMode", W::U8},
    {kBrandA, "BrandA", W::U8},         {kBrandB, "BrandB", W::U8},
    {kBrandC, "BrandC", W::U8},         {kAddress, "Address", W::U8},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Reply to "addr 03 00 00 00 09": byte k of the reply, registers high byte first except the
// two currents, which the module sends low byte first.
//
//   01 03 12 | 02 01 | 03 1A | 3C 19 | 2C 01 | 20 03 | 10 20 | 05 02 | 11 07 | 09 01 | crc
//   adr fn n  Md St   Fs Ts   Hu Tg   CurGet  CurSet  Lo Hi   Sw Ct   Bb Ba   Bc Ad
struct Src {
    uint8_t fld;
    uint8_t at;
};
const Src kBytes[] = {
    {kWorkMode, 3},  {kWindSpeed, 5},  {kTempSet, 6},  {kHumidity, 7},   {kTempGet, 8},
    {kLowTemp, 13},  {kHighTemp, 14},  {kSwitchTime, 15}, {kCtrlMode, 16}, {kBrandB, 17},
    {kBrandA, 18},   {kBrandC, 19},    {kAddress, 20},
};
const int kRecordBytes = 21;  // bytes 0..20

const qx::sql::DefRow kDefs[] = {
    {kWorkStatus, "WorkStatus", 1, "工作状态", 1, 1, 1, "0关机", 0, "", 0},
    {kTempGet, "TempGet", 1, "室内温度", 1, 6, 20, "最小值|允许最低室内温度,低于此值告警", 35,
     "最大值|允许最高室内温度,超过此值告警", 0},
    {kHumidity, "Humidity", 1, "室内湿度", 1, 6, 35, "最小值|允许最低室内湿度,低于此值告警", 80,
     "最大值|允许最高室内湿度,超过此值告警", 0},
};

const airc::Shape kShape = {
    {1793, "空调控制", "485接口..."},  // the type code itself, not its category
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbAircDas",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,WorkStatus INTEGER,WorkMode INTEGER,"
     "WindSpeed INTEGER,TempSet INTEGER,Humidity INTEGER,TempGet INTEGER,CurrentGet INTEGER,"
     "CurrentSet INTEGER,LowTemp INTEGER,HighTemp INTEGER,SwitchTime INTEGER,CtrlMode INTEGER,"
     "BrandA INTEGER,BrandB INTEGER,BrandC INTEGER,Address INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    26,  // DataSize: more than the 16 fields there are
    kColumns, sizeof kColumns,
    16,
    nullptr, 0,
    airc::kBriefFirst | airc::kBriefAlarms,
    "空调",
};

// Every exchange waits 100 ms for the module; the record fits 23 bytes.
const airc::Link kRead = {true, 100, -1, 23};
const airc::Link kStatusRead = {true, 100, -1, 8};

// A write command: register `reg`; the value byte v goes into the high byte (high) or the
// low byte as `make` turns it; the other byte is field `other` of the last reading, or 0x02
// where `other` is 0 (the brand registers), which needs no reading.
struct Cmd {
    int cmd;
    uint8_t reg;
    bool high;
    uint8_t (*make)(int v);
    uint8_t other;
};
uint8_t Raw(int v) { return (uint8_t)v; }
const Cmd kCmds[] = {
    {0, 0, false, [](int v) -> uint8_t { return v ? 1 : 0; }, kWorkMode},         // on/off
    {1, 0, true, [](int v) -> uint8_t { return v > 3 ? 3 : v; }, kWorkStatus},    // mode
    {16, 1, false, Raw, kWindSpeed},                                              // set temp.
    {17, 1, true, [](int v) -> uint8_t { return v > 4 ? 4 : v; }, kTempSet},      // fan speed
    {96, 6, false, [](int v) -> uint8_t { return v == 4 ? 4 : 1; }, kSwitchTime}, // ctrl mode
    {112, 7, false, Raw, 0},                                                      // brand
    {128, 8, false, Raw, 0},                                                      // brand, addr
};
const int kReadStatus = 145;

}  // namespace

CSMAircDAS::CSMAircDAS() : CSMAircShape(0x701, "QX-AIRCDAS", kShape) {}

CSMAircDAS::~CSMAircDAS() {}

int CSMAircDAS::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !qx::AddrFits(address)) return 0;  // no Modbus unit: nothing sent
    uint8_t reply[32];
    const int len = ModBusCmd(address, 3, 0, 9);
    if (!Request(channel, len, reply, sizeof reply, kRead, wait, kRecordBytes).ok()) return 0;
    Set(kWorkStatus, reply[4] > 1 ? 0 : reply[4]);
    for (const Src& s : kBytes) Set(s.fld, reply[s.at]);
    Set(kCurrentGet, reply[9] | reply[10] << 8);
    Set(kCurrentSet, reply[11] | reply[12] << 8);
    return 1;
}

int CSMAircDAS::DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) {
    if (!channel || !channel->IsOpened() || !buffer || !qx::AddrFits(address)) return 0;
    const Cmd* c = nullptr;
    for (const Cmd& k : kCmds)
        if (k.cmd == command) c = &k;
    if (!c && command != kReadStatus) return 0;  // no command of the module: nothing sent
    int32_t given;
    memcpy(&given, buffer, sizeof given);
    const int v = given & 0xFF;

    // The unchanged byte of the register comes from a fresh reading; a command that merges
    // one writes nothing without it.
    const int polled = DataGet(channel, address, 0);
    if (c && c->other && !polled) return 0;

    if (!c) {
        uint8_t reply[16];
        const int len = ModBusCmd(address, 3, 0, 1);
        if (!Request(channel, len, reply, sizeof reply, kStatusRead, 0, 5).ok()) return 0;
        memcpy(buffer, &reply[4], 1);  // the low byte of register 0, the working status
        return 1;
    }
    const uint8_t mine = c->make(v);
    const uint8_t other = c->other ? (uint8_t)Val(c->other) : 0x02;
    const int value = c->high ? (mine << 8 | other) : (other << 8 | mine);
    const int len = ModBusCmd(address, 6, c->reg, value);
    return Command(channel, len, 8, 100);
}

void CSMAircDAS::FixUp() {
    if (Val(kWorkStatus) > 1) Set(kWorkStatus, 0);
    if (Val(kWindSpeed) > 9) Set(kWindSpeed, 0);
}

void CSMAircDAS::BriefText(char* out, size_t size, int state) {
    snprintf(out, size, "温度:%d, 湿度:%d%%", Val(kTempGet), Val(kHumidity));
}
