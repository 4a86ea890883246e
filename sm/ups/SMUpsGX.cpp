#include "ups/SMUpsGX.h"

#include "ups/SMUpsHR7000.h"

using qx::sql::DefRow;

namespace {

// Request 01 03 00 01 00 38: holding registers 1..56. Reply 01 03 70 <56 words> CRC; every
// value is the register's word unchanged (voltages, currents and frequencies in tenths). The
// other fields stay 0.
const TbUpsReg kRegs[] = {
    {13, kUpsVin1}, {14, kUpsVin2}, {15, kUpsVin3}, {19, kUpsFin},  {25, kUpsVout},
    {26, kUpsV2},   {27, kUpsV3},   {28, kUpsAout}, {29, kUpsAed},  {30, kUpsV4},
    {31, kUpsFout}, {49, kUpsTem},  {50, kUpsVbatt}, {55, kUpsMbatt}, {56, kUpsPbatt},
};
const TbUpsRegBlock kBlock = {3, 1, 56, kRegs, sizeof kRegs / sizeof kRegs[0]};

// Request 01 04 00 51 00 01: input register 81, asked only to see that the UPS answers.
const int kCheckReg = 81;

// The default handler's rows of these fields.
const std::vector<DefRow> kRows = CSMUpsTbUps::DefaultRows(
    {kUpsVin1, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsB7, kUpsB5, kUpsB4});

const TbUpsShape kShape = CSMUpsTbUps::WideShape(kRows, "GX UPS");

}  // namespace

CSMUpsGX::CSMUpsGX() : CSMUpsTbUps(0x30C, "UPS-GX", kShape) {
    m_iDataCnt = 38;
}

int CSMUpsGX::DataGet(ISerBase* ch, int address, int wait) {
    uint8_t rx[256];
    // This UPS answers at once: its replies are read without a wait, whatever the host gives.
    if (!ReadBlock(ch, address, kBlock, 0, rx, sizeof rx).ok()) return 0;
    // A UPS that does not answer the check fails the poll, its values already taken.
    const qx::MbReply r =
        qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 4, kCheckReg, 1, rx, sizeof rx, 0);
    return r.ok() ? 1 : 0;
}

void CSMUpsGX::BriefText(char* out, size_t size) {
    // The input frequency is in tenths of a hertz, as its row shows it (register 19 of a unit
    // on 50 Hz holds 500).
    CSMUpsHR7000::FrequencyBrief(m_rec, out, size);
}
