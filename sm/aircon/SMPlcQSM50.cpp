#include "aircon/SMPlcQSM50.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t { kStarted = 1, kFault, kTem, kHum, kTem2, kHum2, kSpare7, kSpare8, kSpare9 };

const Field kFields[] = {
    {kStarted, "started", W::U16}, {kFault, "fault", W::U16}, {kTem, "tem", W::U16},
    {kHum, "hum", W::U16},         {kTem2, "tem2", W::U16},   {kHum2, "hum2", W::U16},
    {kSpare7, nullptr, W::U16},    {kSpare8, nullptr, W::U16}, {kSpare9, nullptr, W::U16},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6};

// Five reads of function 3, each answered "addr 03 n | hi lo [hi lo] | crc"; a register
// word is big-endian. Fields 7..9 are read by none and stay 0.
struct Read {
    uint16_t reg;
    uint8_t count;
    uint8_t fld[2];
};
const Read kReads[] = {
    {200, 1, {kStarted, 0}},
    {203, 1, {kFault, 0}},
    {0, 2, {kTem, kHum}},
    {60, 1, {kTem2, 0}},
    {67, 1, {kHum2, 0}},
};

const qx::sql::DefRow kDefs[] = {
    {kFault, "fault", 1, "有故障标志", 1, 1, 0, "0无故障", 0, "", 0, 1},
};

const airc::Shape kShape = {
    {2048, "海瑞森精密空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbPlc",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,started INTEGER,fault INTEGER,"
     "tem INTEGER,hum INTEGER,tem2 INTEGER,hum2 INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    9,
    kColumns, sizeof kColumns,
    9,
    nullptr, 0,
    airc::kBriefFirst | airc::kBriefAlarms | airc::kBriefOwnFault,  // "通讯故障" without answer
    nullptr,
};

// 100 ms before each reply; a reply fits 10 bytes.
const airc::Link kLink = {true, 100, -1, 10};

}  // namespace

CSMPlcQSM50::CSMPlcQSM50() : CSMAircShape(0x804, "QX-PLC-QSM50-004", kShape) {}

CSMPlcQSM50::~CSMPlcQSM50() {}

int CSMPlcQSM50::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !qx::AddrFits(address)) return 0;  // no Modbus unit: nothing sent
    uint8_t reply[16];
    for (const Read& rd : kReads) {
        const int len = ModBusCmd(address, 3, rd.reg, rd.count);
        qx::MbReply r = Request(channel, len, reply, sizeof reply, kLink, wait, 3 + 2 * rd.count);
        if (!r.ok()) return 0;  // the requests not yet made keep the last poll's fields
        for (int i = 0; i < rd.count; i++) Set(rd.fld[i], r.Word(i));
    }
    return 1;
}

int CSMPlcQSM50::DoFunc(ISerBase*, int, int, void*, int) { return 0; }

void CSMPlcQSM50::BriefText(char* out, size_t size, int state) {
    if (state == 2) {
        snprintf(out, size, "%s", "通讯故障");
        return;
    }
    snprintf(out, size, "温度:%.1f,湿度:%.1f", Val(kTem) * 0.1, Val(kHum) * 0.1);
}
