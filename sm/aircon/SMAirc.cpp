#include "aircon/SMAirc.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"

using namespace airc::tables;

namespace {

enum Fld : uint8_t {
    kSfkwd = 1, kHfkwd, kCt, kHt, kLt, kOt, kDl, kHdl, kLdl, kStatusV, kExceptV,
    kSfkwd2, kHfkwd2, kCt2, kHt2, kLt2, kOt2, kDl2, kHdl2, kLdl2, kStatusV2, kExceptV2,
    kDi1, kDi2, kDo1, kDo2,
    kFn9,  // the byte of the function-9 request; no column
};

// The value block: temperatures in hundredths of a degree, currents in hundredths of an
// ampere, everything else as the device sends it.
const Field kFields[] = {
    {kSfkwd, "Sfkwd", W::U16},   {kHfkwd, "Hfkwd", W::U16},   {kCt, "Ct", W::U8},
    {kHt, "Ht", W::U8},          {kLt, "Lt", W::U8},          {kOt, "Ot", W::U8},
    {kDl, "Dl", W::U8},          {kHdl, "Hdl", W::U8},        {kLdl, "Ldl", W::U16},
    {kStatusV, "StatusV", W::U8}, {kExceptV, "ExceptV", W::U8},
    {kSfkwd2, "Sfkwd2", W::U16}, {kHfkwd2, "Hfkwd2", W::U16}, {kCt2, "Ct2", W::U8},
    {kHt2, "Ht2", W::U8},        {kLt2, "Lt2", W::U8},        {kOt2, "Ot2", W::U8},
    {kDl2, "Dl2", W::U8},        {kHdl2, "Hdl2", W::U8},      {kLdl2, "Ldl2", W::U16},
    {kStatusV2, "StatusV2", W::U8}, {kExceptV2, "ExceptV2", W::U8},
    {kDi1, "Di1", W::U8},        {kDi2, "Di2", W::U8},        {kDo1, "Do1", W::U8},
    {kDo2, "Do2", W::U8},
    {kFn9, nullptr, W::U8},
};

// Columns of the current row and the history row, in statement order.
const uint8_t kColumns[] = {
    kHfkwd, kSfkwd, kHt, kLt, kOt, kCt, kExceptV, kStatusV, kDl, kHdl, kLdl,
    kHfkwd2, kSfkwd2, kHt2, kLt2, kOt2, kCt2, kExceptV2, kStatusV2, kDl2, kHdl2, kLdl2,
    kDi1, kDi2, kDo1, kDo2,
};

// Reply to the function-4 request, 60 registers asked; the controller answers with as many
// as its byte count says. Byte k of the reply (0 the address, 1 the function, 2 the byte
// count); a word is byte k + 256 * byte k+1.
//
//   01 04 34 | 2A 09 | 34 0A | 1A 1E 10 | 00 | 32 | 00 00 | 50 | 0A 00 | 01 | 00 | ...
//   adr fn n   Sfkwd   Hfkwd   Ct Ht Lt        Dl          Hdl  Ldl     St   Ex
struct Src {
    uint8_t fld;
    uint8_t at;    // reply byte
    bool word;     // 16 bits, low byte first
};
const Src kMap[] = {
    {kSfkwd, 3, true},   {kHfkwd, 5, true},   {kCt, 7, false},     {kHt, 8, false},
    {kLt, 9, false},     {kDl, 11, false},    {kHdl, 14, false},   {kLdl, 15, true},
    {kStatusV, 17, false}, {kExceptV, 18, false},
    {kSfkwd2, 27, true}, {kHfkwd2, 29, true}, {kCt2, 31, false},   {kHt2, 32, false},
    {kLt2, 33, false},   {kDl2, 35, false},   {kHdl2, 38, false},  {kLdl2, 39, true},
    {kStatusV2, 41, false}, {kExceptV2, 42, false},
    {kDi1, 51, false},   {kDi2, 52, false},   {kDo1, 53, false},   {kDo2, 54, false},
};
// Reply bytes the decode reads: 0..54.
const int kRecordBytes = 55;

const qx::sql::DefRow kDefs[] = {
    {kStatusV, "StatusV", 1, "空调状态", 1, 4, 1, "0关机 1制冷 2制热", 0, "", 0},
    {kExceptV, "ExceptV", 1, "异常状态", 1, 1, 0, "0无异常", 0, "", 0},
    {kStatusV2, "StatusV2", 1, "空调状态2", 1, 4, 1, "0关机 1制冷 2制热", 0, "", 0},
    {kExceptV2, "ExceptV2", 1, "异常状态2", 1, 1, 0, "0无异常", 0, "", 0},
};

const char* const kStatusWords[] = {"关机", "制冷", "制热"};
const Words kStatus = {kStatusWords, 3, "未知"};
const char* const kOpenWord[] = {"断开"};
const Words kContact = {kOpenWord, 1, "闭合"};

const Key kKeys[] = {
    {".sfkwd1", ".送风口温度1", kSfkwd, KeyFmt::Fixed2, 100, nullptr},
    {".hfkwd1", ".回风口温度1", kHfkwd, KeyFmt::Fixed2, 100, nullptr},
    {".ct1", ".设置温度1", kCt, KeyFmt::Int, 1, nullptr},
    {".ht1", ".上限温度1", kHt, KeyFmt::Int, 1, nullptr},
    {".lt1", ".下限温度1", kLt, KeyFmt::Int, 1, nullptr},
    {".dl1", ".当前电流1", kDl, KeyFmt::Fixed2, 100, nullptr},
    {".hdl1", ".电流上限1", kHdl, KeyFmt::Int, 1, nullptr},
    {".ldl1", ".电流下限1", kLdl, KeyFmt::Int, 1, nullptr},
    {".status1", ".空调状态1", kStatusV, KeyFmt::Word, 1, &kStatus},
    {".sfkwd2", ".送风口温度2", kSfkwd2, KeyFmt::Fixed2, 100, nullptr},
    {".hfkwd2", ".回风口温度2", kHfkwd2, KeyFmt::Fixed2, 100, nullptr},
    {".ct2", ".设置温度2", kCt2, KeyFmt::Int, 1, nullptr},
    {".ht2", ".上限温度2", kHt2, KeyFmt::Int, 1, nullptr},
    {".lt2", ".下限温度2", kLt2, KeyFmt::Int, 1, nullptr},
    {".dl2", ".当前电流2", kDl2, KeyFmt::Fixed2, 100, nullptr},
    {".hdl2", ".电流上限2", kHdl2, KeyFmt::Int, 1, nullptr},
    {".ldl2", ".电流下限2", kLdl2, KeyFmt::Int, 1, nullptr},
    {".status2", ".空调状态2", kStatusV2, KeyFmt::Word, 1, &kStatus},
    {".DI1", nullptr, kDi1, KeyFmt::Word, 1, &kContact},
    {".DI2", nullptr, kDi2, KeyFmt::Word, 1, &kContact},
    {".DO1", nullptr, kDo1, KeyFmt::Word, 1, &kContact},
    {".DO2", nullptr, kDo2, KeyFmt::Word, 1, &kContact},
};

const airc::Shape kShape = {
    {1792, "空调控制", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbAirc",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Hfkwd INTEGER,Sfkwd INTEGER,Ht INTEGER,"
     "Lt INTEGER,Ot INTEGER,Ct INTEGER,Dl INTEGER,Hdl INTEGER,Ldl INTEGER,ExceptV INTEGER,"
     "StatusV INTEGER,Hfkwd2 INTEGER,Sfkwd2 INTEGER,Ht2 INTEGER,Lt2 INTEGER,Ot2 INTEGER,"
     "Ct2 INTEGER,Dl2 INTEGER,Hdl2 INTEGER,Ldl2 INTEGER,ExceptV2 INTEGER,StatusV2 INTEGER,"
     "Di1 INTEGER,Di2 INTEGER,Do1 INTEGER,Do2 INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    26,
    kColumns, sizeof kColumns / sizeof kColumns[0],
    26,  // no answer: fields 1..26 zeroed, the function-9 byte kept
    kKeys, sizeof kKeys / sizeof kKeys[0],
    airc::kBriefState,
    "空调(故障)",
};

// Requests are answered at once: no wait; replies fit 100 bytes. Input left from a late or
// overlong answer is dropped before each request, so it cannot fail the next one.
const airc::Link kLink = {true, 0, -1, 100};

const char* StatusText(int v) {
    switch (v) {
    case 0: return "(关机)";
    case 1: return "(制冷)";
    case 2: return "(制热)";
    default: return "(未知参数)";
    }
}

const char* ExceptText(int v) {
    switch (v) {
    case 0: return "(正常)";
    case 1: return "(温度异常)";
    case 2: return "(温度上限异常)";
    case 4: return "(温度下限异常)";
    case 16: return "(红外发送错误)";
    case 32: return "电流异常";
    default: return "(未知参数)";
    }
}

}  // namespace

CSMAirc::CSMAirc() : CSMAircShape(0x700, "QX-AIRC", kShape) {}

CSMAirc::~CSMAirc() {}

int CSMAirc::ModBusCmdN(int address, int function, int reg, int n, const uint8_t* data) {
    if (n < 0 || n + 8 > (int)sizeof(m_cmd) || (n > 0 && !data)) return 0;
    m_cmd[0] = (uint8_t)address;
    m_cmd[1] = (uint8_t)function;
    CBufHelper::wdToBuf(m_cmd + 2, (uint16_t)reg);
    CBufHelper::wdToBuf(m_cmd + 4, (uint16_t)n);
    if (n > 0) memcpy(m_cmd + 6, data, (size_t)n);
    // The low-order CRC byte comes first.
    CBufHelper::wdToBufLH(m_cmd + 6 + n, CBufHelper::crc16(m_cmd, 6 + n));
    return n + 8;
}

int CSMAirc::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !qx::AddrFits(address)) return 0;
    uint8_t reply[100];
    const int adr = address;

    // The record: function 4, registers 0..59.
    int len = ModBusCmd(adr, 4, 0, 60);
    qx::MbReply r = Request(channel, len, reply, sizeof reply, kLink, wait, kRecordBytes, true);
    if (!r.ok()) return 0;
    for (const Src& s : kMap)
        Set(s.fld, s.word ? CBufHelper::wdFromBufLH(reply + s.at) : reply[s.at]);
    Set(kOt, 0);
    Set(kOt2, 0);

    // Vendor function 9, register 64: one byte at reply byte 3.
    len = ModBusCmd(adr, 9, 64, 1);
    r = Request(channel, len, reply, sizeof reply, kLink, wait, 4);
    if (!r.ok()) return 0;
    Set(kFn9, reply[3]);
    return 1;
}

int CSMAirc::DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) {
    if (!channel || !qx::AddrFits(address) || !channel->IsOpened()) return 0;
    const int reg = command & 0xFFFF;
    const int fn = (command >> 16) & 0xFF;
    if (reg != 42 && reg <= 63) return 0;  // no command of this device
    if (!buffer) return 0;
    int32_t v;
    memcpy(&v, buffer, sizeof v);

    int len;
    if (reg == 42) {
        const uint8_t data[3] = {(uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v};
        len = ModBusCmdN(address, fn ? fn : 11, 42, 3, data);
    } else {
        const uint8_t data[1] = {(uint8_t)v};
        len = ModBusCmdN(address, 8, reg, 1, data);
    }
    return Command(channel, len, len, 0, true);
}

void CSMAirc::FixUp() {
    if (Val(kStatusV) > 2) Set(kStatusV, 0);
    if (Val(kStatusV2) > 2) Set(kStatusV2, 0);
}

void CSMAirc::BriefText(char* out, size_t size, int state) {
    // The summary shows unit 1 only.
    snprintf(out, size, "空调%s,送风口温度:%.2f℃,空调状态:%d%s,异常状态:%d%s", airc::StateMark(state),
             Val(kSfkwd) / 100.0, Val(kStatusV), StatusText(Val(kStatusV)), Val(kExceptV),
             ExceptText(Val(kExceptV)));
}
