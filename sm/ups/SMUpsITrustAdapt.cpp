#include "ups/SMUpsITrustAdapt.h"

#include <stdio.h>

#include "TeFrame.h"

using qx::sql::DefRow;
using R = TbUpsRecord;

namespace {

// The APM150's columns (kTbUpsColumnsWide) with the bypass voltage (Pout) after Fout.
const uint8_t kColumns[] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsPout, kUpsVbatt,
    kUpsPbatt, kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1,
    kUpsB0, kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsCompany, kUpsMode, kUpsVersion,
    kUpsV2, kUpsV3, kUpsV4, kUpsMbatt,
};

const DefRow kRows[15] = {
    TBUPS_TENTHS(1, "Vin1", "输入电压A", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(2, "Vin2", "输入电压B", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(3, "Vin3", "输入电压C", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(4, "Fin", "输入频率", 0, 490, 510, "输入频率"),
    TBUPS_TENTHS(5, "Vout", "输出电压", 0, 0, 2350, "输出电压"),
    TBUPS_TENTHS(6, "Aout", "输出电流", 0, 0, 1500, "输出电流"),
    TBUPS_TENTHS(7, "Fout", "输出频率", 0, 490, 2350, "输出频率"),
    TBUPS_TENTHS(28, "V2", "输出电压2", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(29, "V3", "输出电压3", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(8, "Pout", "旁路电压", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(26, "Fed", "旁路频率", 0, 490, 2350, "输出频率"),
    // The output fault and the battery low are faults as the battery supply is.
    TBUPS_FLAG(16, "b2", "b2 UPS输出状态", 1, "0－正常；1－故障", "0"),
    TBUPS_FLAG(17, "b1", "b1 电池状态", 1, "0－正常；1－电池电压低", ""),
    TBUPS_FLAG(18, "b0", "b0 UPS输入状态", 1, "0－正常；1－电池供电", "0"),
    TBUPS_TENTHS(19, "Vbatt", "电池电压", 0, 2000, 2350, "电池电压"),
};

const TbUpsShape kShape = {
    "UPS山特兼容KR APC...",
    kRows, 15,
    kColumns, (int)sizeof kColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

// TV_5K_10K, CID2 42 (VER 21): DATAFLAG, then unsigned 16-bit values (4 characters) stored
// as they come: voltages, currents and frequencies in tenths (0899 = 220.1 V).
//   ~21012A009052 00 | 0899 089A 089B 08A3 ... | CHKSUM CR
//   0        9     13   15   19   23   27
struct WordCol {
    int32_t R::*field;
    uint8_t at;
};
const WordCol kWords[] = {
    {&R::Vin1, 15}, {&R::Vin2, 19}, {&R::Vin3, 23}, {&R::Vout, 27}, {&R::v2, 31},
    {&R::v3, 35},   {&R::Aout, 39}, {&R::Aed, 43},  {&R::v4, 47},   {&R::Vbatt, 51},
    {&R::Fout, 55}, {&R::Fin, 67},  {&R::Pout, 71}, {&R::v1, 75},   {&R::Fed, 91},
};
const int kWordsNeed = 91 + 4;

}  // namespace

CSMUpsITrustAdapt::CSMUpsITrustAdapt() : CSMUpsAPM150(0x311, "QX-ITrustAdapt", kShape) {
    m_rec.Pbatt = 1000;
    m_rec.Mbatt = 120;
}

CSMUpsITrustAdapt::~CSMUpsITrustAdapt() {}

int CSMUpsITrustAdapt::DataGet(ISerBase* ch, int adr, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    switch (m_pItem ? m_pItem->Variant : 0) {
    case 2: return DataGet_NX(ch, adr, wait);
    case 3: return DataGet_Test(ch, adr, wait);
    case 4: return DataGet_TV_5K_10K(ch, adr, wait);
    default: return DataGet_TV(ch, adr, wait);
    }
}

int CSMUpsITrustAdapt::DataGet_TV(ISerBase* ch, int adr, int wait) {
    const bool firstInfo = !m_pItem || m_pItem->Variant == 0;
    return PollSequence(ch, adr, wait, {false, firstInfo, true, true});
}

int CSMUpsITrustAdapt::DataGet_NX(ISerBase* ch, int adr, int wait) {
    const bool firstInfo = !m_pItem || m_pItem->Variant == 0;
    return PollSequence(ch, adr, wait, {false, firstInfo, false, true});
}

int CSMUpsITrustAdapt::DataGet_TV_5K_10K(ISerBase* ch, int adr, int wait) {
    if (adr < 0 || adr > 0xFF) return 0;  // no YD/T ADR: nothing is sent
    if (wait <= 0) wait = kDefaultWait;
    if (!Ask(ch, 0x21, adr, 0x2A, 0x42, nullptr, 0, wait, kWordsNeed)) return 0;
    ClearRecord();
    for (const WordCol& c : kWords) m_rec.*c.field = TE_Ascii2uint16(m_reply + c.at, 4);
    return PollAlarms(ch, 0x21, adr, wait, false, true);
}

int CSMUpsITrustAdapt::DataGet_Test(ISerBase*, int, int) {
    // The demonstration unit: fixed values, nothing sent.
    ClearRecord();
    m_rec.Vin1 = 2235;
    m_rec.Vin2 = 2210;
    m_rec.Vin3 = 2324;
    m_rec.Vout = 2341;
    m_rec.v2 = 2267;
    m_rec.v3 = 2250;
    m_rec.Fin = 498;
    m_rec.Fout = 499;
    m_rec.Tem = 310;
    return 1;
}

void CSMUpsITrustAdapt::BriefText(char* out, size_t size) {
    // The 5K-10K unit sends tenths as the others do; its bypass voltage is Pout.
    if (m_pItem && m_pItem->Variant == 4)
        snprintf(out, size, "输入电压:%.1fV,输出电压:%.1fV,旁路电压:%.1fV", m_rec.Vin1 * 0.1,
                 m_rec.Vout * 0.1, m_rec.Pout * 0.1);
    else
        snprintf(out, size, "输入电压1:%.01fV,输入电压2:%.01fV,输入电压3:%.01fV",
                 m_rec.Vin1 * 0.1, m_rec.Vin2 * 0.1, m_rec.Vin3 * 0.1);
}
