#include "ups/SMUpsHR7000.h"

#include <stdio.h>

using qx::sql::DefRow;

namespace {

// Request 01 04 00 01 00 42: input registers 1..66. Reply 01 04 84 <66 words> CRC; every value
// is the register's word unchanged (voltages, currents and frequencies in tenths).
const TbUpsReg kRegs[] = {
    {1, kUpsFin},    {5, kUpsVin1},   {6, kUpsVin2},   {7, kUpsVin3},   {10, kUpsFout},
    {14, kUpsVout},  {15, kUpsV2},    {16, kUpsV3},    {17, kUpsAout},  {18, kUpsAed},
    {19, kUpsV4},    {35, kUpsVbatt}, {36, kUpsPbatt}, {40, kUpsTem},   {53, kUpsMbatt},
};
const TbUpsRegBlock kBlock = {4, 1, 66, kRegs, sizeof kRegs / sizeof kRegs[0]};
// Fault words: any of them not 0 is a UPS fault (b4, bit 4 of status).
const int kFaultFirst = 58, kFaultLast = 66;

// The default handler's rows of these fields.
const std::vector<DefRow> kRows =
    CSMUpsTbUps::DefaultRows({kUpsVin1, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsB4});

const TbUpsShape kShape = CSMUpsTbUps::WideShape(kRows, "SENTRY UPS");

}  // namespace

CSMUpsHR7000::CSMUpsHR7000() : CSMUpsTbUps(0x30B, "UPS-HR7000", kShape) {
    m_iDataCnt = 38;
}

int CSMUpsHR7000::DataGet(ISerBase* ch, int address, int wait) {
    uint8_t rx[256];
    const qx::MbReply r = ReadBlock(ch, address, kBlock, wait > 100 ? wait : 100, rx, sizeof rx);
    if (!r.ok()) return 0;
    bool fault = false;
    for (int reg = kFaultFirst; reg <= kFaultLast; reg++)
        fault = fault || r.Word(reg - kBlock.start);
    m_rec.b4 = fault ? 1 : 0;
    m_rec.status = (uint8_t)(m_rec.b4 << 4);
    return 1;
}

void CSMUpsHR7000::FrequencyBrief(const TbUpsRecord& r, char* out, size_t size) {
    snprintf(out, size, "输入频率:%.1fHz,输入电压1:%.1fV,输入电压2:%.1fV,输入电压3:%.1fV",
             r.Fin * 0.1, r.Vin1 * 0.1, r.Vin2 * 0.1, r.Vin3 * 0.1);
}

void CSMUpsHR7000::BriefText(char* out, size_t size) { FrequencyBrief(m_rec, out, size); }
