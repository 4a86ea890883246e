#include "ups/SMUpsAHP.h"

#include <stdio.h>

#include "ReplyCheck.h"
#include "TeFrame.h"

using qx::sql::DefRow;
using R = TbUpsRecord;

namespace {

const DefRow kRows[20] = {
    TBUPS_TENTHS(1, "Vin1", "输入电压A", 10, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(2, "Vin2", "输入电压B", 10, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(3, "Vin3", "输入电压C", 10, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(5, "Vout", "输出电压A", 10, 0, 2350, "输出电压"),
    TBUPS_TENTHS(28, "v2", "输出电压B", 10, 0, 2350, "输出电压"),
    TBUPS_TENTHS(29, "v3", "输出电压C", 10, 0, 2350, "输出电压"),
    TBUPS_TENTHS(6, "Aout", "输出电流A", 10, 0, 150, "输出电流"),
    TBUPS_TENTHS(23, "Aed", "输出电流B", 10, 0, 150, "输出电流"),
    TBUPS_TENTHS(30, "v4", "输出电流C", 10, 0, 150, "输出电流"),
    TBUPS_TENTHS(7, "Fout", "输出频率", 10, 490, 510, "输出频率"),
    // The over-temperatures, the short circuit and the bypass frequency are faults; the three
    // inputs present are states.
    TBUPS_FLAG(11, "b7", "整流器过温", 1, "0:否，1:是", ""),
    TBUPS_FLAG(12, "b6", "逆变器过温", 1, "0:否，1:是", ""),
    TBUPS_FLAG(13, "b5", "环境温度过高", 1, "0:否，1:是", ""),
    TBUPS_FLAG(14, "b4", "逆变器输出短路", 1, "0:否，1:是", ""),
    TBUPS_FLAG(15, "b3", "旁路频率异常", 1, "0:否，1:是", ""),
    TBUPS_FLAG(16, "b2", "有旁路输入", 0, "0:否，1:是", "0"),
    TBUPS_FLAG(17, "b1", "有市电输入", 0, "0:关闭，1:开启", ""),
    TBUPS_FLAG(18, "b0", "有电池输入", 0, "0:否，1:是", "0"),
    TBUPS_TENTHS(19, "Vbatt", "电池电压", 10, 200, 2350, "电池电压"),
    TBUPS_TENTHS(9, "Tem", "环境温度", 10, 20, 650, "温度"),
};

const TbUpsShape kShape = {
    "AHP-ModbusRTU通信...",
    kRows, 20,
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,  // the APM150's
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

// Modbus: holding registers 100..140 in one read; each value register is whole units, stored
// times 10.
//   request  01 03 00 64 00 29 C5 CB
//   reply    01 03 52 | R100 R101 ... R140 (big-endian) | CRC
const int kFirstReg = 100, kRegCount = 41;
struct RegCol {
    int32_t R::*field;
    uint8_t reg;
};
const RegCol kRegs[] = {
    {&R::Vin1, 100}, {&R::Vin2, 101}, {&R::Vin3, 102}, {&R::Vout, 110}, {&R::v2, 111},
    {&R::v3, 112},   {&R::Aout, 113}, {&R::Aed, 114},  {&R::v4, 115},   {&R::Vbatt, 119},
    {&R::Tem, 124},  {&R::Fin, 125},  {&R::Fout, 126},
};
// The flags: a bit of register 137, 138 or 139 each.
struct BitCol {
    uint8_t R::*flag;
    uint8_t reg, bit;
};
const BitCol kBits[] = {
    {&R::b0, 137, 0}, {&R::b1, 137, 1}, {&R::b2, 137, 2}, {&R::b3, 138, 0},
    {&R::b4, 138, 4}, {&R::b5, 139, 0}, {&R::b6, 139, 1}, {&R::b7, 139, 2},
};

// YD/T 1363: floats (8 characters, times 10) and state bytes (2 characters) of the five
// data requests, at the same columns whatever the Variant. INFO starts with the group and DATAFLAG bytes (columns 13..16).
//   ~21014000A024 0100 | 00806643 00806743 00806843 00004642 | CHKSUM CR    (40/41)
//   0                    17       25       33       41
using FloatCol = CSMUpsAPM150::FloatCol;
using ByteCol = CSMUpsAPM150::ByteCol;
const FloatCol kInput[] = {
    {&R::Vin1, 17, 17, 10}, {&R::Vin2, 25, 25, 10}, {&R::Vin3, 33, 33, 10}, {&R::Fin, 41, 41, 10},
};
const FloatCol kOutput[] = {{&R::Vout, 17, 17, 10}, {&R::Aout, 25, 25, 10}};
const FloatCol kPhases[] = {
    {&R::v1, 13, 13, 10}, {&R::v2, 21, 21, 10}, {&R::v3, 29, 29, 10}, {&R::v4, 37, 37, 10},
    {&R::Fed, 45, 45, 10},
};
const ByteCol kState43[] = {{&R::b7, 19, 19}};
const ByteCol kState44[] = {
    {&R::b6, 17, 17}, {&R::b5, 19, 19}, {&R::b4, 21, 21}, {&R::b3, 23, 23}, {&R::b2, 27, 27},
};

}  // namespace

CSMUpsAHP::CSMUpsAHP() : CSMUpsAPM150(0x313, "QXUPS-AHP", kShape) {
    m_rec.Pbatt = m_rec.Mbatt = 0;
}

CSMUpsAHP::~CSMUpsAHP() {}

int CSMUpsAHP::DataGet(ISerBase* ch, int adr, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    if (m_pItem && m_pItem->Variant != 0) return DataGetCUC06H(ch, adr, wait);
    return DataGetAhp(ch, adr, wait);
}

int CSMUpsAHP::DataGetAhp(ISerBase* ch, int adr, int wait) {
    // The unit address is one byte: another one is not cut to it, which would read another
    // unit into this point.
    if (adr < 0 || adr > 0xFF) return 0;
    uint8_t rx[3 + 2 * kRegCount + 2 + 32];
    qx::MbReply r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, adr, 3, kFirstReg, kRegCount, rx,
                               sizeof rx, wait > 100 ? wait : kModbusWait);
    if (!r.ok()) {
        printf("[A%02d] QXUPS-AHP Modbus: %s\r\n", adr, qx::ReplyStatusText(r.status));
        return 0;
    }
    // Only this reply's values: nothing of an earlier poll (of another point) stays.
    ClearRecord();
    for (const RegCol& c : kRegs) m_rec.*c.field = r.Word(c.reg - kFirstReg) * 10;
    for (const BitCol& c : kBits) m_rec.*c.flag = (r.Word(c.reg - kFirstReg) >> c.bit) & 1;
    PackStatus();
    return 1;
}

int CSMUpsAHP::DataGetCUC06H(ISerBase* ch, int adr, int wait) {
    (void)wait;  // the unit answers in its own time: a fixed wait
    if (adr < 0 || adr > 0xFF) return 0;
    // The data group asked for: one INFO byte. A Variant beyond it would ask another group.
    const int group = m_pItem && m_pItem->Variant > 0 ? m_pItem->Variant : 1;
    if (group > 0xFF) return 0;
    const uint8_t g = (uint8_t)group;

    // The version the unit speaks: asked with VER 00, answered with its own.
    if (!Ask(ch, 0x00, adr, 0x40, 0x4F, nullptr, 0, kYdtWait, 0)) return 0;
    ClearRecord();
    const int ver = TE_Ascii2uint8(m_reply + 1, 2);

    // The state bytes are kept as the unit sends them.
    auto bytes = [this](const ByteCol* cols, size_t n) {
        for (size_t i = 0; i < n; i++) m_rec.*cols[i].flag = TE_Ascii2uint8(m_reply + cols[i].at, 2);
    };
    if (!Ask(ch, ver, adr, 0x40, 0x41, &g, 1, kYdtWait, Need(kInput, false, 8))) return 0;
    TakeFloats(kInput, false);
    if (!Ask(ch, ver, adr, 0x42, 0x41, nullptr, 0, kYdtWait, Need(kOutput, false, 8))) return 0;
    TakeFloats(kOutput, false);
    if (!Ask(ch, ver, adr, 0x40, 0x43, &g, 1, kYdtWait, Need(kState43, false, 2))) return 0;
    bytes(kState43, 1);
    if (!Ask(ch, ver, adr, 0x40, 0x44, &g, 1, kYdtWait, Need(kState44, false, 2))) return 0;
    bytes(kState44, sizeof kState44 / sizeof kState44[0]);
    if (!Ask(ch, ver, adr, 0x40, 0x46, &g, 1, kYdtWait, Need(kPhases, false, 8))) return 0;
    TakeFloats(kPhases, false);
    // status, b1 and b0 stay 0.
    return 1;
}

std::vector<int> CSMUpsAHP::UnreadFields() const {
    if (m_pItem && m_pItem->Variant != 0) return {kUpsFout, kUpsTem, kUpsVbatt};
    return {};
}

void CSMUpsAHP::BriefText(char* out, size_t size) {
    const TbUpsRecord& r = m_rec;
    if (m_pItem && m_pItem->Variant > 0)
        snprintf(out, size, "输入电压:%1.1fV, %1.1fV, %1.1fV", r.Vin1 / 10.0, r.Vin2 / 10.0,
                 r.Vin3 / 10.0);
    else
        snprintf(out, size,
                 "输入电压:%1.1fV, %1.1fV, %1.1fV, 输出电压:%1.1fV, %1.1fV, %1.1fV, "
                 "输出电流:%1.1fA,%1.1fA,%1.1fA, 电池电压:%1.1fV",
                 r.Vin1 / 10.0, r.Vin2 / 10.0, r.Vin3 / 10.0, r.Vout / 10.0, r.v2 / 10.0,
                 r.v3 / 10.0, r.Aout / 10.0, r.Aed / 10.0, r.v4 / 10.0, r.Vbatt / 10.0);
}
