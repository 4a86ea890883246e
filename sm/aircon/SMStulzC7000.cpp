#include "aircon/SMStulzC7000.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kRunSt = 1, kTem, kHum, kTemSet, kTemSetS, kHumSet, kHumSetS, kTemW, kTemR, kTemS, kHumR,
    kHumS, kTemO, kHumO, kTemRH, kTemSH, kTemRL, kTemSL, kTemWH, kTemWL, kHumRH, kHumSH,
    kHumRL, kHumSL, kTemGC, kTemDCS, kTemDCE, kTemPump, kHumIn, kHumInB, kHumDe, kHumDeB,
};
const int kCount = 32;

#define F(n, c) {n, c, W::I16}
const Field kFields[] = {
    F(kRunSt, "RunSt"),   F(kTem, "Tem"),       F(kHum, "Hum"),       F(kTemSet, "TemSet"),
    F(kTemSetS, "TemSetS"), F(kHumSet, "HumSet"), F(kHumSetS, "HumSetS"), F(kTemW, "TemW"),
    F(kTemR, "TemR"),     F(kTemS, "TemS"),     F(kHumR, "HumR"),     F(kHumS, "HumS"),
    F(kTemO, "TemO"),     F(kHumO, "HumO"),     F(kTemRH, "TemRH"),   F(kTemSH, "TemSH"),
    F(kTemRL, "TemRL"),   F(kTemSL, "TemSL"),   F(kTemWH, "TemWH"),   F(kTemWL, "TemWL"),
    F(kHumRH, "HumRH"),   F(kHumSH, "HumSH"),   F(kHumRL, "HumRL"),   F(kHumSL, "HumSL"),
    F(kTemGC, "TemGC"),   F(kTemDCS, "TemDCS"), F(kTemDCE, "TemDCE"), F(kTemPump, "TemPump"),
    F(kHumIn, "HumIn"),   F(kHumInB, "HumInB"), F(kHumDe, "HumDe"),   F(kHumDeB, "HumDeB"),
};
#undef F
static_assert(sizeof kFields / sizeof kFields[0] == kCount, "fields 1..32");

const qx::sql::DefRow kDefs[] = {
    {kTem, "Tem", 1, "室内温度", 10, 10, 200, "最小值|允许最低室内温度,低于此值告警", 350,
     "最大值|允许最高室内温度,超过此值告警", 0},
    {kHum, "Hum", 1, "室内湿度", 10, 10, 350, "最小值|允许最低室内湿度,低于此值告警", 800,
     "最大值|允许最高室内湿度,超过此值告警", 0},
    {kTemW, "watertemp", 1, "水温", 10, 10, 200, "最小值|允许最低水温,低于此值告警", 800,
     "最大值|允许最高水温,超过此值告警", 0},
};

const airc::Shape kShape = airc::WholeBlock(
    {2048, "世图兹精密空调", "485接口..."}, kDefs,
    {"tbCybStulz",
     AIRC_TABLE_HEAD
     "RunSt INTEGER,Tem INTEGER,Hum INTEGER,TemSet INTEGER,TemSetS INTEGER,HumSet INTEGER,"
     "HumSetS INTEGER,TemW INTEGER,TemR INTEGER, TemS INTEGER, HumR INTEGER, HumS INTEGER,"
     " TemO INTEGER, HumO INTEGER,TemRH INTEGER,TemSH INTEGER,TemRL INTEGER,TemSL INTEGER,"
     "TemWH INTEGER,TemWL INTEGER,HumRH INTEGER,HumSH INTEGER,HumRL INTEGER,HumSL INTEGER,"
     "TemGC INTEGER,TemDCS INTEGER,TemDCE INTEGER,TemPump INTEGER,HumIn INTEGER,"
     " HumInB INTEGER, HumDe INTEGER, HumDeB INTEGER"},
    kFields, airc::kBriefState | airc::kBriefAlarms, "精密空调");

// C7000: the reads of a poll. Value k of a read (a single in registers reg + 2k, reg + 2k + 1)
// goes to fld[k]; 0 stores nothing. `zero`: a field the read refreshes as 0.
struct Read {
    uint16_t reg;
    uint8_t count;  // registers
    uint8_t fld[10];
    uint8_t zero;
};
const Read kReads[] = {
    {2340, 4, {kTem, kHum}, 0},
    {2348, 6, {kTemSet, kTemSetS, kHumSet}, 0},
    {2356, 2, {kHumSetS}, 0},
    {2382, 14, {kTemW, kTemR, kTemS, kHumR, kHumS, kTemO, kHumO}, 0},
    {4478, 20, {kTemRH, kTemRL, kTemSH, kTemSL, kTemWH, kTemWL, kHumRH, kHumSH, kHumRL, kHumSL}, 0},
    {10816, 4, {kTemDCS, kTemDCE}, 0},
    {11618, 2, {0}, kTemPump},
    {10416, 2, {0}, kTemGC},
    {13618, 6, {kHumDe, 0, kHumDeB}, 0},
    {12834, 2, {kHumIn}, 0},
    {12840, 2, {kHumInB}, 0},
};
const int kRunCoil = 1013;
const int kC7000Reply = 144;
const airc::Link kC7000Link = {false, 100, -1, kC7000Reply};

// C5000: the record's fields. Words (low byte first) at 3..15, bytes from 55 on; the running
// state is bit 0 of byte 134, the last byte decoded.
struct Src {
    uint8_t fld;
    uint8_t at;
    bool word;
};
const Src kC5000[] = {
    {kTemW, 3, true},    {kTemR, 5, true},    {kTemS, 7, true},    {kHumR, 9, true},
    {kHumS, 11, true},   {kTemO, 13, true},   {kHumO, 15, true},   {kTemRH, 55, false},
    {kTemSH, 56, false}, {kTemRL, 57, false}, {kTemSL, 58, false}, {kTemWH, 59, false},
    {kTemWL, 60, false}, {kHumRH, 61, false}, {kHumRL, 62, false}, {kHumSH, 63, false},
    {kHumSL, 64, false}, {kTemDCS, 69, false}, {kTemDCE, 70, false}, {kTemPump, 71, false},
    {kTemGC, 72, false}, {kHumDe, 83, false}, {kHumDeB, 84, false}, {kHumIn, 87, false},
    {kHumInB, 88, false},
};
const int kC5000RunAt = 134;
const int kC5000Record = 512;

// The C5000 record is taken whole: ask for all of it.
int C5000Length(const uint8_t*, int) { return kC5000Record; }

}  // namespace

CSMStulzC7000::CSMStulzC7000() : CSMAircShape(0x802, "QX-STULZ-C7000", kShape) { KeepPerPoint(); }

CSMStulzC7000::~CSMStulzC7000() {}

int CSMStulzC7000::DataGet(ISerBase* channel, int address, int wait) {
    return PollByVariant(channel, address, wait, &CSMStulzC7000::DataGet_C5000,
                         &CSMStulzC7000::DataGet_C7000);
}

int CSMStulzC7000::C5000Cmd(uint8_t* out, int address) {
    if (!out || !qx::AddrFits(address)) return 0;
    out[0] = (uint8_t)address;
    out[1] = 0x01;
    out[2] = 0x02;
    CBufHelper::wdToBufLH(out + 3, (uint16_t)(0x10000 - CBufHelper::sum(out, 3)));
    return 5;
}

int CSMStulzC7000::DataGet_C5000(ISerBase* channel, int address, int) {
    uint8_t request[5];
    if (!C5000Cmd(request, address)) return 0;  // no address field holds it
    uint8_t reply[kC5000Record];
    memset(reply, 0, sizeof reply);
    const int got = qx::FrameExchange(channel, request, 5, reply, sizeof reply, 100, C5000Length);
    // Every byte decoded must have arrived: a shorter record keeps the last values.
    if (got <= kC5000RunAt) return 0;
    ClearFields(kCount);
    for (const Src& s : kC5000) Set(s.fld, s.word ? CBufHelper::wdFromBufLH(reply + s.at) : reply[s.at]);
    Set(kRunSt, reply[kC5000RunAt] & 1);
    return 1;
}

void CSMStulzC7000::FvFromBuf(float* out, const uint8_t* in, int n) {
    for (int i = 0; out && in && i < n; i++) {
        const uint32_t bits = CBufHelper::dwFromBuf(in + 4 * i);
        memcpy(&out[i], &bits, sizeof bits);
    }
}

int CSMStulzC7000::GetC7000(ISerBase* channel, int address, int function, int reg, int count,
                            uint8_t* reply, int replyLen) {
    if (!qx::AddrFits(address)) return 0;
    const int len = ModBusCmd(address, function, reg, count);
    const int need = 3 + qx::MbDataBytes(function, count);
    return Request(channel, len, reply, replyLen, kC7000Link, 0, need).ok() ? 1 : 0;
}

int CSMStulzC7000::DataGet_C7000(ISerBase* channel, int address, int) {
    if (!qx::AddrFits(address)) return 0;
    uint8_t reply[kC7000Reply];
    channel->Purge();
    for (const Read& rd : kReads) {
        if (!GetC7000(channel, address, 3, rd.reg, rd.count, reply, sizeof reply)) return 0;
        float v[10];
        FvFromBuf(v, reply + 3, rd.count / 2);
        for (int k = 0; k < rd.count / 2; k++) {
            if (!rd.fld[k]) continue;
            // Only a finite value whose tenths fit the field is stored.
            const double t = trunc((double)v[k] * 10.0);
            if (isfinite(t) && t >= -32768.0 && t <= 32767.0) Set(rd.fld[k], (int)t);
        }
        if (rd.zero) Set(rd.zero, 0);
    }
    if (!GetC7000(channel, address, 1, kRunCoil, 1, reply, sizeof reply)) return 0;
    Set(kRunSt, reply[3]);  // the whole coil status byte
    return 1;
}

int CSMStulzC7000::ModBusCmdN(int address, int function, int reg, int count, const uint8_t* data) {
    return CBufHelper::ModBusCmdN(m_cmd, sizeof m_cmd, address, function, reg, count, data);
}

int CSMStulzC7000::DoFunc(ISerBase* channel, int address, int command, void* buffer, int) {
    if (!channel || !channel->IsOpened() || !buffer || !qx::AddrFits(address)) return 0;
    if (((command >> 16) & 0xFF) != 16) return 0;  // the controller takes register writes only
    uint32_t v;
    memcpy(&v, buffer, sizeof v);
    uint8_t data[4];
    CBufHelper::dwToBuf(data, v);
    const int len = ModBusCmdN(address, 16, command & 0xFFFF, 2, data);
    return len > 0 ? Command(channel, len, 50, 100) : 0;
}

std::vector<int> CSMStulzC7000::UnreadFields() const {
    // The C5000 record holds the return air, not the room.
    if (Variant() == 1) return {kTem, kHum};
    return {};
}

void CSMStulzC7000::BriefText(char* out, size_t size, int) {
    // A C5000 shows the return air, a C7000 the room.
    const bool c5000 = Variant() == 1;
    const int tem = c5000 ? kTemR : kTem, hum = c5000 ? kHumR : kHum;
    snprintf(out, size, "温度:%.1f℃ 湿度:%.1f%%RH", Val(tem) / 10.0, Val(hum) / 10.0);
}
