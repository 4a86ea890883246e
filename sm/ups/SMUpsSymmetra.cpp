#include "ups/SMUpsSymmetra.h"

#include <stdio.h>
#include <string.h>

#include "ReplyCheck.h"
#include "ups/SMUpsSANTAK.h"

namespace {

const TbUpsShape kShape = {
    "施耐德Symmetra系列及兼容...",
    kTbUpsDefRows, 16,
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, true,
};

// Status: holding registers 0..4 (reply 01 03 0A r0 r1 r2 r3 r4 CRC); a flag is one bit of
// one register.
const int kStatusReg = 0, kStatusCount = 5;
struct Flag {
    uint8_t reg, bit;
    uint8_t TbUpsRecord::*field;
};
const Flag kFlags[] = {
    {0, 3, &TbUpsRecord::b5}, {1, 7, &TbUpsRecord::b4},
    {3, 7, &TbUpsRecord::b7}, {3, 6, &TbUpsRecord::b6}, {3, 3, &TbUpsRecord::b3},
    {3, 2, &TbUpsRecord::b2}, {3, 1, &TbUpsRecord::b1}, {3, 0, &TbUpsRecord::b0},
};

// Measurements: holding registers 7..51 (reply 01 03 5A r7 .. r51 CRC), each stored as the
// unsigned word it is, in the units of its definition row. The temperature is the rounded
// mean of registers 47 and 49.
const int kMeasureReg = 7, kMeasureCount = 45;
struct Word {
    uint8_t reg;
    int32_t TbUpsRecord::*field;
};
const Word kWords[] = {
    {7, &TbUpsRecord::Pbatt}, {8, &TbUpsRecord::Mbatt}, {9, &TbUpsRecord::Vbatt},
    {19, &TbUpsRecord::Fin},  {20, &TbUpsRecord::Vin1}, {26, &TbUpsRecord::Vout},
    {27, &TbUpsRecord::Aout}, {29, &TbUpsRecord::Vin2}, {35, &TbUpsRecord::v2},
    {36, &TbUpsRecord::Aed},  {38, &TbUpsRecord::Vin3}, {44, &TbUpsRecord::v3},
    {45, &TbUpsRecord::v4},
};
const int kTemA = 47, kTemB = 49;

}  // namespace

CSMUpsSymmetra::CSMUpsSymmetra() : CSMUpsTbUps(0x307, "QXUPS-Symmetra", kShape) {
    // Unlike SANTAK, no battery figures before the first reply.
    m_rec.Pbatt = m_rec.Mbatt = 0;
}

CSMUpsSymmetra::~CSMUpsSymmetra() {}

int CSMUpsSymmetra::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // A unit address is one byte: another number would read another unit into this point.
    if (address < 0 || address > 0xFF) return 0;
    const int delay = ReplyWait(wait);
    uint8_t rx[128];

    qx::MbReply st = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, kStatusReg, kStatusCount,
                                rx, sizeof rx, delay);
    if (!st.ok()) return 0;
    TbUpsRecord& r = m_rec;
    for (const Flag& f : kFlags) r.*f.field = (uint8_t)(st.Word(f.reg - kStatusReg) >> f.bit & 1);
    r.status = (uint8_t)(r.b7 << 7 | r.b6 << 6 | r.b5 << 5 | r.b4 << 4 | r.b3 << 3 | r.b2 << 2 |
                         r.b1 << 1 | r.b0);

    // A refused measurement reply keeps this poll's flags and the last measurements.
    qx::MbReply ms = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, kMeasureReg,
                                kMeasureCount, rx, sizeof rx, delay);
    if (!ms.ok()) return 0;
    for (const Word& w : kWords) r.*w.field = ms.Word(w.reg - kMeasureReg);
    r.Tem = (ms.Word(kTemA - kMeasureReg) + ms.Word(kTemB - kMeasureReg) + 1) / 2;

    // Nothing rated, no output frequency and no identification are read from this unit.
    r.Ved = r.VAed = r.Vdc = r.Fed = r.Fout = 0;
    r.company[0] = r.mode[0] = r.version[0] = '\0';
    return 1;
}

void CSMUpsSymmetra::BriefText(char* out, size_t size) { CSMUpsSANTAK::VinBrief(m_rec, out, size); }
