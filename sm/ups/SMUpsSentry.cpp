#include "ups/SMUpsSentry.h"

#include <stdio.h>

// Request: the byte C0. Reply: at least 70 bytes, 'g' second; the rest are read at fixed
// offsets:
//
//   offset  0    1    ... 41 42 43 44 ... 48  ... 59   60   61  ... 68 69
//           ?    'g'      Fin   Vbatt     Tem     Vout v2   v3      Fout
//                         LE    BE        byte    output A, B, C  LE
//
// The frequencies come in tenths of a hertz and are kept so. The output voltages come in whole
// volts, one byte each (220 for 220 V), and are kept in tenths, as the output voltage's row
// (divisor 10) shows them.
// An input frequency of 0 is a mains failure: b7, and status bit 7.

namespace {

const qx::sql::DefRow kRows[] = {
    CSMUpsTbUps::DefaultRow(kUpsB7),
    CSMUpsTbUps::DefaultRow(kUpsVout),
    CSMUpsTbUps::DefaultRow(kUpsFout),
};

const TbUpsShape kShape = {
    "232接口...",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
    nullptr, 0,
    3, false, false, 0, "SENTRY UPS",
};

const uint8_t kRequest = 0xC0;
const int kReplyMax = 120;
const int kMark = 1;  // 'g'

const TbUpsBinField kFields[] = {
    {kUpsFin, 41, 2, 1},         {kUpsVbatt, 43, 2, 1, true}, {kUpsTem, 48, 1, 1},
    {kUpsVout, 59, 1, 10},       {kUpsV2, 60, 1, 10},         {kUpsV3, 61, 1, 10},
    {kUpsFout, 68, 2, 1},
};
const int kFieldCount = (int)(sizeof kFields / sizeof kFields[0]);

}  // namespace

CSMUpsSentry::CSMUpsSentry() : CSMUpsTbUps(0x30A, "UPS-SENTRY", kShape) {
    ClearRecord();  // nothing before the first reply
    m_iDataCnt = 38;
}

CSMUpsSentry::~CSMUpsSentry() {}

int CSMUpsSentry::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    uint8_t reply[kReplyMax + 1];
    // Gathered until every field arrived; a reply without them all is refused.
    const int least = BinFieldsEnd(kFields, kFieldCount);
    const int n = Exchange(ch, &kRequest, 1, wait > 100 ? wait : 100, reply, kReplyMax, nullptr,
                           least);
    if (n < least || reply[kMark] != 'g') return 0;

    ClearRecord();
    TakeBinFields(reply, n, kFields, kFieldCount);
    TbUpsRecord& r = m_rec;
    r.b7 = r.Fin == 0;
    r.status = (uint8_t)(r.b7 << 7);
    return 1;
}

void CSMUpsSentry::BriefText(char* out, size_t size) {
    snprintf(out, size, "输入频率:%.1fHz,输出电压1:%.1fV,输出电压2:%.1fV,输出电压3:%.1fV",
             m_rec.Fin * 0.1, m_rec.Vout * 0.1, m_rec.v2 * 0.1, m_rec.v3 * 0.1);
}
