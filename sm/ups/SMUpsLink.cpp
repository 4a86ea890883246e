#include "ups/SMUpsLink.h"

#include <stdio.h>

#include "ReplyCheck.h"

// Two reads of holding registers (function 3), each value 16 bits, high byte first, stored as
// received:
//
//   170..180   170 Vin1, 171 Fin, 172 Vout, 173 Fout, 174 Aout, 175 Pout, 178 Vbatt, 180 Tem
//              (174 the output current and 175 the load, both in tenths)
//              (176, 177, 179 not used)
//   0          the alarm flags; H its high byte, L its low byte:
//              L bit 2 b7  L bit 1 b6  L bit 0 b5  H bit 7 b4  H bit 6 b3  H bit 5 b2
//              H bit 3 b1  H bit 2 b0
//
// The flags are optional: a missing or refused reply to the second read leaves them 0.

namespace {

// The default UPS handler's measurement rows, with flags of its own. Every flag is a fault
// (1 the fault): the fan lock, the emergency stop and the high temperature alarm as well.
const std::vector<qx::sql::DefRow> kRows = CSMUpsTbUps::DefaultMeasuresWith({
    {11, "b7", 1, "b7旁路频率不稳定", 1, 1, 0, "1表示不稳定", 0, "", 0},
    {12, "b6", 1, "b6电池过充", 1, 1, 0, "1表示过充", 0, "", 0},
    {13, "b5", 1, "b5电池低电压", 1, 1, 0, "1表示低电压", 0, "", 0},
    {14, "b4", 1, "b4过载", 1, 1, 0, "1表示过载", 0, "", 0},
    {15, "b3", 1, "b3风扇锁", 1, 1, 0, "1表示锁告警", 0, "", 0},
    {16, "b2", 1, "b2 EPO激活", 1, 1, 0, "1表示激活", 0, "0", 0},
    {17, "b1", 1, "b1高温", 1, 1, 0, "1表示高温", 0, "", 0},
    {18, "b0", 1, "b0充电失败", 1, 1, 0, "1表示失败", 0, "0", 0},
});

const TbUpsShape kShape = {
    "易事特 EA86系列及兼容...",
    kRows.data(), (int)kRows.size(),
    kTbUpsColumns, (int)sizeof kTbUpsColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

const int kFirstReg = 170;
const int kReadings = 11;
// Register 170 + k → field; 0 for a register not used.
const uint8_t kMap[kReadings] = {kUpsVin1, kUpsFin, kUpsVout, kUpsFout, kUpsAout, kUpsPout,
                                 0,        0,       kUpsVbatt, 0,       kUpsTem};

// Flag → (byte of register 0: 0 high, 1 low; bit), b7 first.
struct FlagBit {
    uint8_t byte, bit;
};
const FlagBit kFlags[8] = {{1, 2}, {1, 1}, {1, 0}, {0, 7}, {0, 6}, {0, 5}, {0, 3}, {0, 2}};

const int kReplyMax = 64;

}  // namespace

CSMUpsLink::CSMUpsLink() : CSMUpsTbUps(0x30F, "QXUPS-EAST", kShape) {
    ClearRecord();  // nothing before the first reply; Pbatt and Mbatt are never read
}

CSMUpsLink::~CSMUpsLink() {}

int CSMUpsLink::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // A unit address is one byte: another one is no unit of this bus.
    if (address < 0 || address > 255) return 0;
    const int waitMs = wait > 100 ? wait : 100;
    uint8_t rx[kReplyMax];
    qx::MbReply a = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, kFirstReg, kReadings, rx,
                               sizeof rx, waitMs);
    if (!a.ok()) return 0;
    TbUpsRecord& r = m_rec;
    r.v1 = r.v2 = r.v3 = r.v4 = 0;
    for (int k = 0; k < kReadings; k++)
        if (kMap[k]) SetField(kMap[k], a.Word(k));

    qx::MbReply b = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, 0, 1, rx, sizeof rx, waitMs);
    if (b.status == qx::ReplyStatus::WriteFailed) return 0;
    uint8_t* const bits[8] = {&r.b7, &r.b6, &r.b5, &r.b4, &r.b3, &r.b2, &r.b1, &r.b0};
    r.status = 0;
    for (int i = 0; i < 8; i++) {
        *bits[i] = b.ok() ? (b.data[kFlags[i].byte] >> kFlags[i].bit) & 1 : 0;
        r.status = (uint8_t)(r.status << 1 | *bits[i]);
    }
    r.Vin2 = r.Vin3 = 0;
    // Neither rating nor texts come from this UPS.
    r.Ved = r.Aed = r.VAed = r.Vdc = r.Fed = 0;
    r.company[0] = r.mode[0] = r.version[0] = '\0';
    return 1;
}

void CSMUpsLink::BriefText(char* out, size_t size) {
    // The load is this UPS's own register (175, tenths of a per cent, as its row divides it),
    // not the output current of 174.
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%1.1f%%, 电池电压:%1.1fV",
             m_rec.Vin1 * 0.1, m_rec.Vout * 0.1, m_rec.Pout * 0.1, m_rec.Vbatt * 0.1);
}
