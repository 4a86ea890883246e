#include "SMUpsGXGD.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <array>

#include "QxPlatform.h"
#include "SMUps.h"

// GXGD dialect: the status request only, numbers in hundredths stored as they are.
//
//   "Q1\r\n" (variant 1: "Q6\r\n")
//            (230.0 000.0 230.0 012 50.0 2.25 30.0 00000001<cr>
//             Vin   Vfault Vout load Hz  Vbat Tem  b7..b0
//   Vbatt = Vbat(hundredths) * Ext1 / 1000

namespace {

// The default definition rows with the analog values in hundredths.
const std::array<qx::sql::DefRow, 16> kRows = [] {
    std::array<qx::sql::DefRow, 16> rows;
    for (size_t i = 0; i < rows.size(); i++) {
        rows[i] = kTbUpsDefRows[i];
        if (rows[i].divisor == 10) rows[i].divisor = 100;
    }
    return rows;
}();

const TbUpsKey kKeys[] = {
    {".Vin", kUpsVin1, kKeyHundredths},   {".Fin", kUpsFin, kKeyHundredths},
    {".Vout", kUpsVout, kKeyHundredths},  {".Aout", kUpsAout, kKeyHundredths},
    {".Fout", kUpsFout, kKeyHundredths},  {".Pout", kUpsPout, kKeyHundredths},
    {".B7", kUpsB7, kKeyInt},             {".B6", kUpsB6, kKeyInt},
    {".B5", kUpsB5, kKeyInt},             {".B4", kUpsB4, kKeyInt},
    {".B3", kUpsB3, kKeyInt},             {".B2", kUpsB2, kKeyInt},
    {".B1", kUpsB1, kKeyInt},             {".B0", kUpsB0, kKeyInt},
    {".status", kUpsStatus, kKeyInt},     {".Tem", kUpsTem, kKeyInt},
    {".Vbatt", kUpsVbatt, kKeyHundredths}, {".Pbatt", kUpsPbatt, kKeyInt},
    {".Ved", kUpsVed, kKeyInt},           {".Aed", kUpsAed, kKeyInt},
    {".VAed", kUpsVAed, kKeyInt},         {".Vdc", kUpsVdc, kKeyInt},
    {".Fed", kUpsFed, kKeyInt},           {".company", kUpsCompany, kKeyText},
    {".mode", kUpsMode, kKeyText},        {".version", kUpsVersion, kKeyText},
    {".Vfault", kUpsV1, kKeyInt},
};

const TbUpsShape kShape = {
    "UPS山特兼容KR APC...",
    kRows.data(), (int)kRows.size(),
    kTbUpsColumns, (int)(sizeof kTbUpsColumns),
    kKeys, (int)(sizeof kKeys / sizeof kKeys[0]),
    3, false, false,
};

const int kReplyMax = 100;
const int kNetworkKind = 2;  // bits 20..23 of a channel's type

}  // namespace

CSMUpsGXGD::CSMUpsGXGD() : CSMUpsTbUps(0x310, "RE-RIRA", kShape) {}

CSMUpsGXGD::~CSMUpsGXGD() {}

int CSMUpsGXGD::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // The battery scale is the point's own: without a current point there is nothing to poll.
    if (!m_pItem) return 0;
    printf("SMUps::DataGet ...\r\n");

    const char* request = m_pItem->Variant == 1 ? "Q6\r\n" : "Q1\r\n";
    const int written = ch->Write((const unsigned char*)request);
    qx::SleepMs(150);
    printf("SMUps::DataGet write: %d ext1=%d\r\n", written, wait);
    if (written != 4) return 0;
    if (((ch->GetType() >> 20) & 0xF) == kNetworkKind && wait > 0) qx::SleepMs(wait);

    uint8_t reply[kReplyMax + 1];
    int n = ch->Read(reply, kReplyMax, 0);
    if (n > kReplyMax) n = kReplyMax;
    printf("SMUps::DataGet read: %d\r\n", n);
    if (n < 1) return 0;
    reply[n] = '\0';
    printf("SMUps::DataGet buf: %s\r\n", (const char*)reply);
    if (!Framed(reply, n, '(')) return 0;
    const char* text = (const char*)reply;

    int N[7] = {0};
    int pos = 1;
    if (CSMUps::GetVals(N, text, pos, n, 7) < 7) return 0;
    if (n - 1 - pos < 8) return 0;  // eight status characters before the final CR

    TbUpsRecord& r = m_rec;
    r.Pout = r.Fout = r.v1 = r.v2 = r.v3 = r.v4 = 0;
    r.Vin1 = N[0];
    r.v1 = N[1];
    r.Vout = N[2];
    r.Aout = N[3];
    r.Fin = N[4];
    r.Fout = N[4];
    r.Vbatt = Trunc((double)((int64_t)m_pItem->Ext1 * N[5]) * 0.001);
    r.Tem = N[6];
    SetStatusBits(text + pos);
    r.Vin2 = r.Vin3 = 0;
    r.Ved = r.Aed = r.VAed = r.Vdc = r.Fed = 0;
    r.company[0] = r.mode[0] = r.version[0] = '\0';
    return 1;
}

void CSMUpsGXGD::BriefText(char* out, size_t size) {
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%d%%", m_rec.Vin1 * 0.01,
             m_rec.Vout * 0.01, m_rec.Aout / 100);
}

int CSMUpsGXGD::DoFunc(ISerBase* ch, int address, int command, void* buffer, int length) {
    return BeeperToggle(ch, command);  // the only command of this UPS
}
