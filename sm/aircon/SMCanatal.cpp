#include "aircon/SMCanatal.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kStatus = 1, kSAlarm, kSFj, kSYsj, kSZqd, kSJrq, kSJsq, kSZbj, kRCs, kRJs, kRZl, kRJr,
    kTem, kHum, kTemSet, kHumSet,
};

const Field kFields[] = {
    {kStatus, "status", W::U32}, {kSAlarm, "s_alarm", W::U32}, {kSFj, "s_fj", W::U32},
    {kSYsj, "s_ysj", W::U32},    {kSZqd, "s_zqd", W::U32},     {kSJrq, "s_jrq", W::U32},
    {kSJsq, "s_jsq", W::U32},    {kSZbj, "s_zbj", W::U32},     {kRCs, "r_cs", W::U32},
    {kRJs, "r_js", W::U32},      {kRZl, "r_zl", W::U32},       {kRJr, "r_jr", W::U32},
    {kTem, "tem", W::U32},       {kHum, "hum", W::U32},        {kTemSet, "temset", W::U32},
    {kHumSet, "humset", W::U32},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// The five requests, in order; the start is the reference number as it goes on the wire.
//   01 01 01 | 01 | CRC                       coil 1: status, the whole data byte
//   01 02 01 | 7F | CRC                       inputs 10001-10007: s_alarm .. s_zbj
//   01 02 01 | 0F | CRC                       inputs 10021-10024: r_cs .. r_jr
//   01 04 04 | 00 FA | 01 C2 | CRC            input registers 30002-30003: tem, hum
//   01 03 10 | 00 DC | .. .. .. | 01 F4 | ..  holding 40015-40022: temset (1st), humset (5th)
const airc::Pick kCoil[] = {airc::Byte(kStatus, 0)};  // the coil byte as it came
const airc::Pick kSBits[] = {
    airc::Bit(kSAlarm, 0), airc::Bit(kSFj, 1), airc::Bit(kSYsj, 2), airc::Bit(kSZqd, 3),
    airc::Bit(kSJrq, 4),   airc::Bit(kSJsq, 5), airc::Bit(kSZbj, 6),
};
const airc::Pick kRBits[] = {airc::Bit(kRCs, 0), airc::Bit(kRJs, 1), airc::Bit(kRZl, 2), airc::Bit(kRJr, 3)};
const airc::Pick kTemHum[] = {airc::Reg(kTem, 0), airc::Reg(kHum, 1)};
const airc::Pick kSets[] = {airc::Reg(kTemSet, 0), airc::Reg(kHumSet, 4)};

// Not cleared: a failed read keeps its fields, and those after it, from the point's last poll.
const airc::Req kReqs[] = {
    airc::Read(1, 1, 1, kCoil),
    airc::Read(2, 10001, 7, kSBits),
    airc::Read(2, 10021, 4, kRBits),
    airc::Read(4, 30002, 2, kTemHum),
    airc::Read(3, 40015, 8, kSets),
};
// Fixed 100 ms before each read; `wait` is not used. Replies fit 30 bytes.
const airc::Polling kPolling = {{false, 100, -1, 30}, kReqs, 5, nullptr, 0};

const qx::sql::DefRow kDefs[] = {
    airc::FlagRow(kSAlarm, "s_alarm", "报警标志", "0正常"),
};

const airc::Shape kShape = {
    {2048, "佳力图空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCanatal",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,status INTEGER,s_alarm INTEGER,"
     "s_fj INTEGER,s_ysj INTEGER,s_zqd INTEGER,s_jrq INTEGER,s_jsq INTEGER,s_zbj INTEGER,"
     "r_cs INTEGER,r_js INTEGER,r_zl INTEGER,r_jr INTEGER,tem INTEGER,hum INTEGER,"
     "temset INTEGER,humset INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    16,
    kColumns, sizeof kColumns / sizeof kColumns[0],
    16,
    nullptr, 0,
    airc::kBriefAlarms,
    "佳力图空调",
};

}  // namespace

CSMCanatal::CSMCanatal() : CSMAircShape(0x807, "AIRC-CANATAL", kShape) { PollBy(kPolling); }

void CSMCanatal::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "现场温度%.1f℃, 现场湿度%.1f%%", Val(kTem) * 0.1, Val(kHum) * 0.1);
}
