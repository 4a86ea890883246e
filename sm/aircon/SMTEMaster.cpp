#include "aircon/SMTEMaster.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t { kTem = 1, kHum = 2, kOnoff = 10, kStfj = 11, kCount = 22 };

#define F(n, name) {n, name, W::I32}
const Field kFields[kCount] = {
    F(1, "tem"),     F(2, "hum"),      F(3, "temh"),     F(4, "teml"),     F(5, "humh"),
    F(6, "huml"),    F(7, "temset"),   F(8, "humset"),   F(9, "worktime"), F(10, "onoff"),
    F(11, "stfj"),   F(12, "stys1"),   F(13, "stys2"),   F(14, "stjy1"),   F(15, "stjy2"),
    F(16, "stcs"),   F(17, "stjs"),    F(18, "workmode"), F(19, "almst1"), F(20, "almst2"),
    F(21, "almst3"), F(22, "almst4"),
};
#undef F

const qx::sql::DefRow kDefs[] = {
    {1, "tem", 1, "温度值", 10, 6, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {2, "hum", 1, "湿度值", 10, 6, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
    {19, "almst1", 1, "告警状态1", 1, 1, 255, "255 无异常", 0, "", 0},
    {20, "almst2", 1, "告警状态2", 1, 1, 255, "255 无异常", 0, "", 0},
    {21, "almst3", 1, "告警状态3", 1, 1, 255, "255 无异常", 0, "", 0},
    {22, "almst4", 1, "告警状态4", 1, 1, 255, "255 无异常", 0, "", 0},
};

const airc::Shape kShape = airc::WholeBlock(
    {768, "精密空调", "用于 T-MASTER 及 E-MASTER..."}, kDefs,
    {"tbTEMaster",
     AIRC_TABLE_HEAD
     "tem INTEGER,hum INTEGER,temh INTEGER,"
     "teml INTEGER,humh INTEGER,huml INTEGER,temset INTEGER,humset INTEGER,worktime INTEGER,"
     "onoff INTEGER,stfj INTEGER,stys1 INTEGER,stys2 INTEGER,stjy1 INTEGER,stjy2 INTEGER,"
     "stcs INTEGER,stjs INTEGER,workmode INTEGER,almst1 INTEGER,almst2 INTEGER,"
     "almst3 INTEGER,almst4 INTEGER"},
    kFields, airc::kBriefAlarms, "精密空调",
    0);  // DataVal(0) is 0

const int kCid1 = 0x60, kCid2 = 0xE0;
// Answered at once; the reply fits 128 bytes.
const airc::Link kLink = {true, 0, -1, 127};

// Reply character -> field, 4 or 2 characters.
struct At {
    uint8_t fld, at, chars;
};
const At kMap[] = {
    {1, 13, 4},  {2, 17, 4},  {3, 35, 4},  {4, 39, 4},  {5, 43, 4},  {6, 47, 4},
    {7, 51, 4},  {8, 59, 4},  {9, 67, 4},  {10, 21, 2}, {18, 25, 2}, {19, 27, 2},
    {20, 29, 2}, {21, 31, 2}, {22, 33, 2},
};
const int kStateByte = 23;  // bits 0..6: fields 11..17
const int kNeed = 71;       // the last value ends at character 70

}  // namespace

CSMTEMaster::CSMTEMaster() : CSMAircShape(0x80C, "QX-TEMaster", kShape) { KeepPerPoint(); }

CSMTEMaster::~CSMTEMaster() {}

int CSMTEMaster::DataGet(ISerBase* channel, int address, int wait) {
    // A failed request leaves the point's own values of the requests it did not reach.
    return OnPoint([&] { return Ask(channel, address, wait); });
}

int CSMTEMaster::Ask(ISerBase* channel, int address, int wait) {
    if (!channel || !channel->IsOpened()) return 0;
    uint8_t rx[128];
    if (!YdRequest(channel, YdFrame(codec.Ver(), address, kCid1, kCid2), rx, sizeof rx, kLink,
                   wait, kNeed).ok())
        return 0;
    ClearFields(kCount);
    for (const At& a : kMap)
        Set(a.fld, a.chars == 4 ? codec.Acsii2uint16(rx + a.at, 4) : codec.Acsii2uint8(rx + a.at, 2));
    if (Val(kHum) == 0x8001) Set(kHum, 0);  // no humidity sensor
    const int st = codec.Acsii2uint8(rx + kStateByte, 2);
    for (int i = 0; i < 7; i++) Set(kStfj + i, (st >> i) & 1);
    return 1;
}

void CSMTEMaster::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "空调状态：%s, 温度：%1.1f℃, 湿度：%1.1f%%", Val(kOnoff) ? "开" : "关",
             Val(kTem) / 10.0, Val(kHum) / 10.0);
}
