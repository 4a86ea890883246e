#include "ups/SMUpsIII.h"

#include <stdio.h>
#include <string.h>

#include "ReplyCheck.h"
#include "ups/SMUpsSANTAK.h"

// Requests (address 1):
//
//   EA 02 02 EA 01 81 82 16     measurements
//   EA 02 02 EA 01 86 87 16     battery
//      L  L     addr cmd (addr + cmd) & 0xFF
//
// A reply repeats the frame's head: EA L L, then address, command and data, the check byte
// at L + 4 and 0x16 at L + 5; only the head and the end are examined. Values are
// little-endian words at fixed offsets from the EA, all before the check byte (voltages in
// tenths of a volt, the frequency in tenths of a hertz):
//
//   measurements  6 Vin1   8 Vin2  10 Vin3  12 Vout  14 v2  16 v3  24 Aout  26 Aed  28 v4
//                 36 Vbatt  38 Vdc  44 Fout;  50: mains fault when any of its low 6 bits is set
//   battery       22: capacity in percent (one byte)

namespace {

// Six of the default UPS handler's rows, as they stand there.
const qx::sql::DefRow kRows[] = {
    CSMUpsTbUps::DefaultRow(kUpsVin1), CSMUpsTbUps::DefaultRow(kUpsVout),
    CSMUpsTbUps::DefaultRow(kUpsFout), CSMUpsTbUps::DefaultRow(kUpsB7),
    CSMUpsTbUps::DefaultRow(kUpsVbatt), CSMUpsTbUps::DefaultRow(kUpsPbatt),
};

const TbUpsShape kShape = {
    "485接口...",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
    nullptr, 0,  // no display keys
    3, false, false,
    2054, "行间空调GI系列",
};

const TbUpsBinField kMeasureFields[] = {
    {kUpsVin1, 6, 2, 1}, {kUpsVin2, 8, 2, 1},  {kUpsVin3, 10, 2, 1}, {kUpsVout, 12, 2, 1},
    {kUpsV2, 14, 2, 1},  {kUpsV3, 16, 2, 1},   {kUpsAout, 24, 2, 1}, {kUpsAed, 26, 2, 1},
    {kUpsV4, 28, 2, 1},  {kUpsVbatt, 36, 2, 1}, {kUpsVdc, 38, 2, 1}, {kUpsFout, 44, 2, 1},
};
const int kFlagsAt = 50;
const TbUpsBinField kBatteryFields[] = {{kUpsPbatt, 22, 1, 1}};
const int kMeasureCount = (int)(sizeof kMeasureFields / sizeof kMeasureFields[0]);
const int kBatteryCount = (int)(sizeof kBatteryFields / sizeof kBatteryFields[0]);

const int kRequestLen = 8;
const int kReplyMax = 80;

// Fields the battery reply leaves at 0: this UPS has none of them.
const uint8_t kUnused[] = {
    kUpsFin, kUpsPout, kUpsTem, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsMbatt, kUpsVed, kUpsVAed, kUpsFed, kUpsV1,
};

}  // namespace

CSMUpsIII::CSMUpsIII() : CSMUpsTbUps(0x309, "UPS-III", kShape) {
    m_iDataCnt = 38;
}

CSMUpsIII::~CSMUpsIII() {}

int CSMUpsIII::IIICmd(uint8_t address, uint8_t command) {
    const uint8_t head[] = {0xEA, 0x02, 0x02, 0xEA, address, command,
                            (uint8_t)(address + command), 0x16};
    memcpy(m_cmd, head, sizeof head);
    return kRequestLen;
}

int CSMUpsIII::FrameLen(const uint8_t* d, int have) {
    if (have < 3) return 3;
    if (d[0] != 0xEA || d[1] != d[2]) return have;  // no frame of this UPS
    return d[1] + 6;
}

bool CSMUpsIII::FrameChk(const uint8_t* reply, int n, int need) {
    if (!reply || n < 3 || reply[0] != 0xEA || reply[1] != reply[2]) return false;
    const int len = reply[1];
    // The decoded bytes must lie before the check byte (L + 4) and the end marker.
    return n >= len + 6 && reply[len + 5] == 0x16 && need <= len + 4;
}

int CSMUpsIII::MeasureNeed() {
    const int words = BinFieldsEnd(kMeasureFields, kMeasureCount);
    return words > kFlagsAt + 1 ? words : kFlagsAt + 1;
}

int CSMUpsIII::BatteryNeed() {
    return BinFieldsEnd(kBatteryFields, kBatteryCount);
}

void CSMUpsIII::TakeMeasures(const uint8_t* reply, int n) {
    if (n < MeasureNeed()) return;
    TakeBinFields(reply, n, kMeasureFields, kMeasureCount);
    m_rec.b7 = (reply[kFlagsAt] & 0x3F) != 0;
    m_rec.status = (uint8_t)(m_rec.b7 << 7);
}

void CSMUpsIII::TakeBattery(const uint8_t* reply, int n) {
    if (!TakeBinFields(reply, n, kBatteryFields, kBatteryCount)) return;
    for (uint8_t f : kUnused) SetField(f, 0);
    m_rec.company[0] = m_rec.mode[0] = m_rec.version[0] = '\0';
}

int CSMUpsIII::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // The frame has one byte for the address: another value would reach another UPS.
    if (address < 0 || address > 0xFF) return 0;
    const int delay = wait > 100 ? wait : 100;
    uint8_t reply[kReplyMax];

    // The record is not cleared: a failed exchange leaves what it would have written.
    int len = IIICmd((uint8_t)address, kMeasure);
    int n = qx::FrameExchange(ch, m_cmd, len, reply, sizeof reply, delay, FrameLen);
    if (!FrameChk(reply, n, MeasureNeed())) return 0;
    TakeMeasures(reply, n);

    len = IIICmd((uint8_t)address, kBattery);
    n = qx::FrameExchange(ch, m_cmd, len, reply, sizeof reply, delay, FrameLen);
    if (!FrameChk(reply, n, BatteryNeed())) return 0;
    TakeBattery(reply, n);
    return 1;
}

void CSMUpsIII::BriefText(char* out, size_t size) {
    // The input voltages come in tenths of a volt, as their row shows them.
    CSMUpsSANTAK::VinBrief(m_rec, out, size);
}
