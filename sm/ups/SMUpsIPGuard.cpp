#include "ups/SMUpsIPGuard.h"

using qx::sql::DefRow;

namespace {

// Request 01 04 00 19 00 33: input registers 25..75. Reply 01 04 66 <51 words> CRC; every
// value is the register's word unchanged.
const int kStart = 25, kCount = 51;
const TbUpsReg kRegs[] = {
    {25, kUpsVdc},  {26, kUpsMbatt}, {29, kUpsVbatt}, {34, kUpsFin},  {35, kUpsVin1},
    {39, kUpsVin2}, {43, kUpsVin3},  {47, kUpsFout},  {49, kUpsVout}, {50, kUpsAout},
    {61, kUpsFed},  {63, kUpsVed},   {64, kUpsAed},   {65, kUpsVAed}, {73, kUpsPout},
    {74, kUpsPbatt}, {75, kUpsTem},
};

// Request 01 02 00 11 00 15: inputs 17..37. This UPS answers one byte per input, not one bit:
// 01 02 15 <21 bytes> CRC. Data byte k is input 17 + k:
//   k 0..5    b0..b5, the byte as it arrives
//   k 6..13   bit k - 6 of b6 when not 0
//   k 14..20  bit k - 14 of b7 when not 0
const int kInputStart = 17, kInputCount = 21;

#define VIN(fld, name, caption)                                                          \
    {fld, name, 1, caption, 10, 6, 2000, "最小值|允许最低输入电压,低于此值告警", 2450, \
     "最大值|允许最高输入电压,超过此值告警", 0}
#define STATE(fld, name, caption, alarm, high) {fld, name, 1, caption, 1, alarm, 0, "0正常", 0, high, 0}

const DefRow kRows[] = {
    VIN(1, "Vin1", "输入电压1"),
    VIN(2, "Vin2", "输入电压2"),
    VIN(3, "Vin3", "输入电压3"),
    CSMUpsTbUps::DefaultRow(kUpsFin),
    CSMUpsTbUps::DefaultRow(kUpsVout),
    CSMUpsTbUps::DefaultRow(kUpsAout),
    CSMUpsTbUps::DefaultRow(kUpsFout),
    CSMUpsTbUps::DefaultRow(kUpsPout),
    STATE(11, "b7", "b7综合状态", 1, ""),
    STATE(12, "b6", "b6综合状态", 1, ""),
    STATE(13, "b5", "b5输出关闭", 1, ""),
    STATE(14, "b4", "b4旁路故障", 1, ""),
    // Every input is a fault (0 normal): the overload, the output and input faults as well.
    STATE(15, "b3", "b3过载", 1, ""),
    STATE(16, "b2", "b2输出故障", 1, "0"),
    STATE(17, "b1", "b1输入故障", 1, ""),
    STATE(18, "b0", "b0温度过高", 1, "0"),
    CSMUpsTbUps::DefaultRow(kUpsVbatt),
    CSMUpsTbUps::DefaultRow(kUpsPbatt),
    {21, "Mbatt", 1, "电池时间", 10, 0, 300, "最小值|允许最低时间,低于此值告警", 0, "", 0},
};

#undef VIN
#undef STATE

// The default columns and the two values this UPS has a definition row for besides them.
const uint8_t kColumns[] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsCompany, kUpsMode, kUpsVersion,
    kUpsPout, kUpsMbatt,
};

const TbUpsShape kShape = {
    "UPS-IPGUARD",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kColumns, (int)sizeof kColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
    0, "",  // the type's name is the model text alone
    false,
    false,  // DataVal stops at field 33
};

}  // namespace

// The texts start empty (the shape's record does) and no reply of this UPS fills them.
CSMUpsIPGuard::CSMUpsIPGuard() : CSMUpsTbUps(0x305, "QX-UPSIPG", kShape) {
    m_iDataCnt = 33;
}

int CSMUpsIPGuard::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    uint8_t rx[256];
    // Both replies are read 100 ms after the request, whatever the host gives.
    qx::MbReply r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 4, kStart, kCount, rx,
                               sizeof rx, 100);
    if (!r.ok()) return 0;
    TakeWords(r, kStart, kRegs, sizeof kRegs / sizeof kRegs[0]);
    TbUpsRecord& rec = m_rec;
    rec.status = rec.b7 = rec.b6 = rec.b5 = rec.b4 = rec.b3 = rec.b2 = rec.b1 = rec.b0 = 0;

    // The input states: without them the values still stand, with the bits at 0.
    r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 2, kInputStart, kInputCount, rx,
                   sizeof rx, 100, kInputCount);
    if (!r.ok()) return 1;
    const uint8_t* in = r.data;
    uint8_t* const low[6] = {&rec.b0, &rec.b1, &rec.b2, &rec.b3, &rec.b4, &rec.b5};
    for (int k = 0; k < 6; k++) *low[k] = in[k];
    for (int k = 6; k <= 13; k++)
        if (in[k]) rec.b6 = (uint8_t)(rec.b6 | 1 << (k - 6));
    for (int k = 14; k <= 20; k++)
        if (in[k]) rec.b7 = (uint8_t)(rec.b7 | 1 << (k - 14));
    return 1;
}

void CSMUpsIPGuard::BriefText(char* out, size_t size) {
    // The summary is the alarm text alone.
    if (size) out[0] = '\0';
}

int CSMUpsIPGuard::DoFunc(ISerBase* ch, int address, int command, void* buffer, int length) {
    return BeeperToggle(ch, command);
}
