#include "aircon/SMEmerson.h"

#include <stdio.h>

#include "TeFrame.h"

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t { kTem = 1, kHum = 2, kStatus = 20, kWarn = 21, kLast = 39 };

#define F(n, name) {n, name, W::I32}
const Field kFields[] = {
    F(1, "tem"), F(2, "hum"), F(3, "va"), F(4, "vb"), F(5, "vc"), F(6, "c"), F(7, "pl"),
    F(8, "hftemset"), F(9, "temset"), F(10, "temoff"), F(11, "humoff"), F(12, "temdead"),
    F(13, "humdead"), F(14, "htemw"), F(15, "ltemw"), F(16, "hhumw"), F(17, "lhumw"),
    F(18, "sftemw"), F(19, "sftemset"), F(20, "status"), F(21, "warn"), F(22, "stfansw"),
    F(23, "sthumisw"), F(24, "stcomp1sw"), F(25, "stcomp2sw"), F(26, "stheater1sw"),
    F(27, "stheater2sw"), F(28, "stalmswsw"), F(29, "stwbybass1sw"), F(30, "stwbybass2sw"),
    F(31, "stwatersw"), F(32, "stdehumisw"), F(33, "streservesw"), F(34, "stcomp1ressw"),
    F(35, "stcomp2ressw"), F(36, "stcool"), F(37, "stheat"), F(38, "stdehumi"), F(39, "sthumi"),
};
#undef F
const uint8_t kColumns[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                            14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                            27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39};

#define LOW "最小值|允许最低值,低于此值告警"
#define HIGH "最大值|允许最高值,超过此值告警"
// The output and mode states (fields 22..39) are states, not alarms, and lie beyond DataSize:
// no limit is checked on them.
#define SW(n, name, cap) {n, name, 1, cap, 1, 0, 0, "0表示关, 1表示开", 0, "", 0}
const qx::sql::DefRow kDefs[] = {
    {1, "Tem", 1, "温度值", 10, 10, 200, LOW, 380, HIGH, 0},
    {2, "Hum", 1, "湿度值", 10, 10, 200, LOW, 780, HIGH, 0},
    {3, "va", 1, "A相电压", 10, 10, 200, LOW, 380, HIGH, 0},
    {4, "vb", 1, "B相电压", 10, 10, 200, LOW, 780, HIGH, 0},
    {5, "vc", 1, "C相电压", 10, 10, 200, LOW, 380, HIGH, 0},
    {6, "c", 1, "加湿器电流", 10, 10, 200, LOW, 780, HIGH, 0},
    {7, "pl", 1, "电源频率", 10, 10, 200, LOW, 380, HIGH, 0},
    // On/off is the unit's state, not an alarm: no limit is checked.
    {20, "status", 1, "空调开关机状态", 1, 0, 0, "0表示关, 1表示开", 0, "", 0},
    {21, "warn", 1, "报警总标志位", 1, 1, 0, "1表示有报警", 0, "", 0},
    SW(22, "stfansw", "风机输出开关状态"),
    SW(23, "sthumisw", "加湿器输出开关状态"),
    SW(24, "stcomp1sw", "压缩机1输出开关状态"),
    SW(25, "stcomp2sw", "压缩机2输出开关状态"),
    SW(26, "stheater1sw", "加热1输出开关状态"),
    SW(27, "stheater2sw", "加热2输出开关状态"),
    SW(28, "stalmswsw", "公共报警输出开关状态"),
    SW(29, "stwbybass1sw", "液路旁通1输出开关状态"),
    SW(30, "stwbybass2sw", "液路旁通2输出开关状态"),
    SW(31, "stwatersw", "注水输出开关状态"),
    SW(32, "stdehumisw", "除湿输出开关状态"),
    SW(33, "streservesw", "备用输出开关状态"),
    SW(34, "stcomp1ressw", "压缩机1反相输出开关状态"),
    SW(35, "stcomp2ressw", "压缩机2反相输出开关状态"),
    SW(36, "stcool", "制冷状态"),
    SW(37, "stheat", "加热状态"),
    SW(38, "stdehumi", "除湿状态"),
    SW(39, "sthumi", "加湿状态"),
};
#undef SW
#undef LOW
#undef HIGH

const airc::Shape kShape = {
    {2048, "艾默生精密空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbEmerson",
     AIRC_TABLE_HEAD
     "tem INTEGER,hum INTEGER,va INTEGER,"
     "vb INTEGER,vc INTEGER,c INTEGER,pl INTEGER,hftemset INTEGER,temset INTEGER,"
     "temoff INTEGER,humoff INTEGER,temdead INTEGER,humdead INTEGER,htemw INTEGER,"
     "ltemw INTEGER,hhumw INTEGER,lhumw INTEGER,sftemw INTEGER,sftemset INTEGER,"
     "status INTEGER,warn INTEGER,stfansw INTEGER,sthumisw INTEGER,stcomp1sw INTEGER,"
     "stcomp2sw INTEGER,stheater1sw INTEGER,stheater2sw INTEGER,stalmswsw INTEGER,"
     "stwbybass1sw INTEGER,stwbybass2sw INTEGER,stwatersw INTEGER,stdehumisw INTEGER,"
     "streservesw INTEGER,stcomp1ressw INTEGER,stcomp2ressw INTEGER,stcool INTEGER,"
     "stheat INTEGER,stdehumi INTEGER,sthumi INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    21,  // DataSize: the alarm captions cover fields 1..21
    kColumns, sizeof kColumns / sizeof kColumns[0],
    kLast,
    nullptr, 0,
    airc::kBriefState | airc::kBriefAlarms | airc::kBriefFirst,
    "精密空调",
};

const int kVer = 0x21, kCid1 = 0x60;
// Every request waits 200 ms whatever the host's wait; replies fit 200 bytes.
const airc::Link kLink = {true, 200, -1, 199};

// Characters of a 4-character value k of an INFO: 13 + 4k.
int Word4(int k) { return 13 + 4 * k; }

}  // namespace

CSMEmerson::CSMEmerson() : CSMAircShape(0x801, "QX-EMERSON", kShape) { KeepPerPoint(); }

CSMEmerson::~CSMEmerson() {}

int CSMEmerson::DataGet(ISerBase* channel, int address, int wait) {
    // A failed request leaves the point's own values of the requests it did not reach.
    return OnPoint([&] { return Ask(channel, address, wait); });
}

int CSMEmerson::Ask(ISerBase* channel, int address, int wait) {
    if (!channel || !channel->IsOpened()) return 0;
    uint8_t rx[200];
    auto ask = [&](int cid2, int need) {
        return YdRequest(channel, YdFrame(kVer, address, kCid1, cid2), rx, sizeof rx, kLink, wait,
                         need).ok();
    };

    // Analogue values: fields 1..7, 4 characters each.
    if (!ask(0x42, Word4(7))) return 0;
    for (int k = 0; k < 7; k++) Set(1 + k, TE_Ascii2uint16(rx + Word4(k), 4));

    // Parameters: fields 8..19.
    if (!ask(0x47, Word4(12))) return 0;
    for (int k = 0; k < 12; k++) Set(8 + k, TE_Ascii2uint16(rx + Word4(k), 4));

    // Switch states: the unit's state at 13, then fields 22..39 two characters each.
    if (!ask(0x82, 15 + 2 * 18)) return 0;
    Set(kStatus, TE_Ascii2uint8(rx + 13, 2));
    for (int k = 0; k < 18; k++) Set(22 + k, TE_Ascii2uint8(rx + 15 + 2 * k, 2));

    // Alarms: any character of 15..36 other than '0' is an alarm.
    if (!ask(0x85, 37)) return 0;
    int warn = 0;
    for (int i = 15; i <= 36 && !warn; i++) warn = rx[i] != '0';
    Set(kWarn, warn);
    return 1;
}

void CSMEmerson::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "温度:%.1f,湿度:%.1f", Val(kTem) / 10.0, Val(kHum) / 10.0);
}
