#include "ups/SMUpsSmart.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "QxPlatform.h"

// Each query is one letter; each answer one line ended by CR LF, read from its start:
//
//   Y  "SM\r\n"      the unit is there (Fin, Vin1..Vin3, v1..v4 cleared, Ved 2200)
//   C  "031.5\r\n"   temperature          tenths    B  "27.40\r\n"  battery voltage   tenths
//   Q  "08\r\n"      status, hexadecimal: b7..b0   f  "100.0\r\n"  battery capacity  tenths
//   g  "024\r\n"     Vdc, whole                     L  "220.4\r\n"  input voltage     tenths
//   M  "235.0\r\n"   v1, tenths                     N  "196.0\r\n"  v2                tenths
//   O  "220.0\r\n"   output voltage, tenths         F  "50.00\r\n"  output frequency  tenths
//   P  "041.0\r\n"   load (also Aout), tenths       j  "0042:\r\n"  battery time, whole (Fin 500)
//
// A value is taken as it is decoded: a later query that fails keeps those before it.

namespace {

// The default UPS handler's measurement rows, with flags and a battery time of its own.
const std::vector<qx::sql::DefRow> kRows = CSMUpsTbUps::DefaultMeasuresWith({
    {12, "B6", 1, "电池低电压", 1, 1, 0, "1表示电池低电压", 0, "", 0},
    {13, "B5", 1, "输出过载", 1, 1, 0, "1表示旁路模式", 0, "", 0},
    {14, "B4", 1, "电池逆变模式", 1, 1, 0, "1表示电池逆变输出", 0, "", 0},
    {15, "B3", 1, "在线模式", 1, 0, 0, "1表示在线模式,通常为1", 0, "", 0},
    {21, "Mbatt", 1, "电池时间", 1, 0, 5, "最小值|允许最低电池时间,低于此值告警", 0, "", 0},
});

// Fed and v4 are not written.
const uint8_t kColumns[] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsVout, kUpsAout, kUpsFin, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsVed, kUpsAed, kUpsVAed, kUpsVdc, kUpsV1, kUpsV2, kUpsV3, kUpsPout, kUpsMbatt,
    kUpsCompany, kUpsMode, kUpsVersion,
};

const TbUpsShape kShape = {
    "APC UPS Smart...",
    kRows.data(), (int)kRows.size(),
    kColumns, (int)sizeof kColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

enum Decode : uint8_t {
    kPresence,  // "SM"
    kTenths,    // the number at the start, times 10, truncated toward zero
    kWhole,     // the whole number at the start
    kHexStatus, // a hexadecimal number: its low byte is the status
};
struct Query {
    char letter;
    Decode decode;
    uint8_t fld;
};
const Query kQueries[] = {
    {'Y', kPresence, 0},      {'C', kTenths, kUpsTem},  {'Q', kHexStatus, kUpsStatus},
    {'g', kWhole, kUpsVdc},   {'B', kTenths, kUpsVbatt}, {'f', kTenths, kUpsPbatt},
    {'L', kTenths, kUpsVin1}, {'M', kTenths, kUpsV1},   {'N', kTenths, kUpsV2},
    {'O', kTenths, kUpsVout}, {'F', kTenths, kUpsFout}, {'P', kTenths, kUpsPout},
    {'j', kWhole, kUpsMbatt},
};

const int kAnswerMax = 50;
const int kRatedVoltage = 2200;
const int kMainsFrequency = 500;

// The number at the start of text in the given form; false when it is no finite int.
bool Number(const char* text, Decode decode, int32_t& out) {
    double v = decode == kTenths ? atof(text) * 10.0 : (double)strtoll(text, nullptr, 10);
    if (!isfinite(v) || v >= 2147483648.0 || v <= -2147483649.0) return false;
    out = (int32_t)v;
    return true;
}

}  // namespace

CSMUpsSmart::CSMUpsSmart() : CSMUpsTbUps(0x303, "QX-UPSSMART", kShape) {
    ClearRecord();  // nothing before the first reply
    m_iDataCnt = 36;
}

CSMUpsSmart::~CSMUpsSmart() {}

int CSMUpsSmart::DataVal(int field) {
    return field == 36 ? 0 : CSMUpsTbUps::DataVal(field);
}

int CSMUpsSmart::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    TbUpsRecord& r = m_rec;
    uint8_t answer[kAnswerMax + 1];
    for (const Query& q : kQueries) {
        const int n = Exchange(ch, &q.letter, 1, 100, answer, kAnswerMax, "\n");
        const int least = q.decode == kPresence ? 4 : 2;
        if (n < least || answer[n - 2] != '\r' || answer[n - 1] != '\n') return 0;
        answer[n - 2] = '\0';
        const char* text = (const char*)answer;
        int32_t v = 0;
        switch (q.decode) {
        case kPresence:
            if (text[0] != 'S' || text[1] != 'M') return 0;
            r.Fin = r.Vin1 = r.Vin2 = r.Vin3 = 0;
            r.v1 = r.v2 = r.v3 = r.v4 = 0;
            r.Ved = kRatedVoltage;
            continue;
        case kHexStatus: {
            const uint8_t s = (uint8_t)strtoull(text, nullptr, 16);
            uint8_t* const bits[8] = {&r.b7, &r.b6, &r.b5, &r.b4, &r.b3, &r.b2, &r.b1, &r.b0};
            for (int i = 0; i < 8; i++) *bits[i] = (s >> (7 - i)) & 1;
            r.status = s;
            continue;
        }
        case kTenths:
        case kWhole:
            if (!Number(text, q.decode, v)) return 0;
            SetField(q.fld, v);
            break;
        }
        if (q.letter == 'f') r.Aed = r.VAed = 0;
        if (q.letter == 'N') r.v3 = 0;  // the reserved word
        if (q.letter == 'P') r.Aout = r.Pout;
    }
    r.Fin = kMainsFrequency;
    // Every complete poll names the maker, whatever an earlier point or update left.
    snprintf(r.company, sizeof r.company, "APC");
    snprintf(r.mode, sizeof r.mode, "UPS Smart");
    snprintf(r.version, sizeof r.version, "v");
    m_bIdentRead = 1;
    return 1;
}

int CSMUpsSmart::DoFunc(ISerBase* ch, int address, int command, void* buffer, int length) {
    if (!ch || !ch->IsOpened() || command != 1) return 0;
    if (ch->Write((const unsigned char*)"W", 1) != 1) return 0;
    qx::SleepMs(100);
    return 1;
}

void CSMUpsSmart::BriefText(char* out, size_t size) {
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%1.1f%%", m_rec.Vin1 * 0.1,
             m_rec.Vout * 0.1, m_rec.Aout * 0.1);
}
