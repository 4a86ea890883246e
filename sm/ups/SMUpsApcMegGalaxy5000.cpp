#include "ups/SMUpsApcMegGalaxy5000.h"

#include <stdio.h>

#include "ReplyCheck.h"

using qx::sql::DefRow;

namespace {

// Measurements: holding registers 256..331 (reply 01 03 98 r256 .. r331 CRC), each stored as
// its unsigned word times 10. One register gives the frequency of all three phases.
const int kMeasureReg = 256, kMeasureCount = 76;
struct Reg {
    uint16_t reg;
    uint8_t fld[3];  // the fields it fills (0: none)
};
const Reg kMeasures[] = {
    {256, {kExIin1}},  {257, {kExIin2}},  {258, {kExIin3}},
    {262, {kExIB1}},   {263, {kExIB2}},   {264, {kExIB3}},
    {265, {kExIout1}}, {266, {kExIout2}}, {267, {kExIout3}},
    {277, {kExVin1}},  {278, {kExVin2}},  {279, {kExVin3}},
    {289, {kExVB1}},   {290, {kExVB2}},   {291, {kExVB3}},
    {295, {kExVout1}}, {296, {kExVout2}}, {297, {kExVout3}},
    {301, {kExVbatt}},
    {318, {kExFin1, kExFin2, kExFin3}},
    {320, {kExFB1, kExFB2, kExFB3}},
    {321, {kExFout1, kExFout2, kExFout3}},
    {329, {kExMbatt}}, {330, {kExTem}}, {331, {kExPbatt}},
};

// Status: holding registers 64..79 (reply 01 03 20 r64 .. r79 CRC); each state field is one
// bit of one register.
const int kStatusReg = 64, kStatusCount = 16;
struct Bit {
    uint8_t fld, reg, bit;
};
const Bit kBits[] = {
    {kExB15, 79, 0}, {kExB14, 77, 5},  {kExB13, 73, 3},  {kExB12, 73, 0},
    {kExB11, 66, 2}, {kExB10, 66, 8},  {kExB9, 66, 10},  {kExB8, 65, 6},
    {kExB7, 65, 2},  {kExB6, 65, 1},   {kExB5, 64, 2},   {kExB4, 64, 1},
    {kExB3, 64, 11}, {kExB2, 64, 3},   {kExB1, 64, 5},   {kExB0, 64, 0},
};

#define STATE UPSEX_STATE
#define FAULT UPSEX_FAULT
#define OK_ALARM "0:正常，1:告警"

// The rows of this unit between the base's analog rows (fields 1-18 before, 40-63 after): its
// temperature is the battery's, and its state fields are named. The fields whose 1 is an
// alarm ("0:正常，1:告警") are faults; the rest are states and modes.
const DefRow kOwnRows[17] = {
    UPSEX_ANALOG(22, "Tem", "电池温度", 200, 650, "温度"),
    FAULT(24, "b15", "输出过载", OK_ALARM, ""),
    FAULT(25, "b14", "逆变故障", OK_ALARM, ""),
    STATE(26, "b13", "电池充电", "0:未充电，1:充电中", ""),
    FAULT(27, "b12", "电池充电异常", OK_ALARM, ""),
    STATE(28, "b11", "电池自检", "0:正常，1:电池自检中", ""),
    STATE(29, "b10", "电池自动检测", "0:关，1:开", ""),
    FAULT(30, "b9", "电池温度异常", OK_ALARM, "0"),
    STATE(31, "b8", "旁路模式", "0:非旁路，1:旁路", ""),
    STATE(32, "b7", "ECO模式", "0:普通，1:ECO", "0"),
    STATE(33, "b6", "UPS状态", "0:在线式，1:后备式", ""),
    FAULT(34, "b5", "UPS告警", OK_ALARM, ""),
    STATE(35, "b4", "UPS耦合", "0:正常，1:耦合", ""),
    STATE(36, "b3", "引擎状态", "0:未工作，1:开机", ""),
    STATE(37, "b2", "系统状态", "0:停止，1:工作", "0"),
    FAULT(38, "b1", "电池低压告警", OK_ALARM, ""),
    FAULT(39, "b0", "过载保护", OK_ALARM, "0"),
};

#undef STATE
#undef FAULT
#undef OK_ALARM

}  // namespace

CSMUpsApcMegGalaxy5000::CSMUpsApcMegGalaxy5000() : CSMUpsBase(0x318) {
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-KSTAR-Modbus");
}

CSMUpsApcMegGalaxy5000::~CSMUpsApcMegGalaxy5000() {}

int CSMUpsApcMegGalaxy5000::ChkDef(IDbBase* db, int force) {
    // The base's rows 1-18 (Vin1 .. Fout3), its own 17, the base's last 12 (Vbatt .. FB3).
    return DefRows(db, force, {{kUpsExDefRows, 18}, {kOwnRows, 17}, {kUpsExDefRows + 35, 12}});
}

int CSMUpsApcMegGalaxy5000::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // A unit address is one byte: another number would read another unit into this point.
    if (address < 0 || address > 0xFF) return 0;
    const int delay = ReplyWait(wait);
    uint8_t rx[192];

    qx::MbReply ms = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, kMeasureReg,
                                kMeasureCount, rx, sizeof rx, delay);
    if (!ms.ok()) return 0;
    // Every value from Vin1 to VAed, the state fields included, belongs to this poll.
    ClearRange(m_rec.Vin1, m_rec.VAed);
    for (const Reg& m : kMeasures)
        for (uint8_t fld : m.fld)
            if (fld) *Field(fld) = (int32_t)ms.Word(m.reg - kMeasureReg) * 10;

    // A refused status reply keeps the new measurements; the state fields stay 0.
    qx::MbReply st = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, kStatusReg, kStatusCount,
                                rx, sizeof rx, delay);
    if (!st.ok()) return 0;
    for (const Bit& b : kBits) *Field(b.fld) = st.Word(b.reg - kStatusReg) >> b.bit & 1;
    PackStatus();
    return 1;
}
