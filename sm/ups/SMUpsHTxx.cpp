#include "ups/SMUpsHTxx.h"

#include <stdio.h>

#include "ReplyCheck.h"

using qx::sql::DefRow;

namespace {

// One register of a reply, the field it goes to and the divisor it is stored with.
struct Reg {
    uint16_t reg;
    uint8_t fld;
    uint8_t div;
};

// Request 01 03 00 0D 00 39: holding registers 13..69. Frequencies come in hundredths and are
// kept in tenths; everything else is the register's word unchanged.
const int kValueStart = 13, kValueCount = 57;
const Reg kValues[] = {
    {13, kExVin1, 1},   {14, kExVin2, 1},   {15, kExVin3, 1},
    {16, kExIin1, 1},   {17, kExIin2, 1},   {18, kExIin3, 1},
    {19, kExFin1, 10},  {20, kExFin2, 10},  {21, kExFin3, 10},
    {25, kExVout1, 1},  {26, kExVout2, 1},  {27, kExVout3, 1},
    {28, kExIout1, 1},  {29, kExIout2, 1},  {30, kExIout3, 1},
    {31, kExFout1, 10}, {32, kExFout2, 10}, {33, kExFout3, 10},
    {50, kExVbatt, 1},  {54, kExTem, 1},    {55, kExMbatt, 1},  {56, kExPbatt, 1},
};

// Request 01 04 00 53 00 39: input registers 83..139. Each status word is stored as it comes
// (0 or 1 on a sound UPS); status is their weighted sum.
const int kStateStart = 83, kStateCount = 57;
const Reg kStates[] = {
    {83, kExB15, 1},  {84, kExB14, 1},  {85, kExB13, 1},  {86, kExB12, 1},
    {87, kExB11, 1},  {88, kExB10, 1},  {91, kExB9, 1},   {96, kExB8, 1},
    {97, kExB7, 1},   {99, kExB6, 1},   {107, kExB5, 1},  {108, kExB4, 1},
    {110, kExB3, 1},  {111, kExB2, 1},  {112, kExB1, 1},  {113, kExB0, 1},
};

#define ANALOG UPSEX_ANALOG
#define STATE UPSEX_STATE
#define FAULT UPSEX_FAULT
#define NO_YES "0:否，1:是"

// The base's rows, but for the battery temperature and the sixteen named states: the faults
// (1 the fault) with alarm kind 1; the battery connected, the maintenance bypass switch, the
// generator and the battery self-test are states.
const DefRow kRows[] = {
    kUpsExDefRows[0],  kUpsExDefRows[1],  kUpsExDefRows[2],    // Vin1..Vin3
    kUpsExDefRows[3],  kUpsExDefRows[4],  kUpsExDefRows[5],    // Vout1..Vout3
    kUpsExDefRows[6],  kUpsExDefRows[7],  kUpsExDefRows[8],    // Iin1..Iin3
    kUpsExDefRows[9],  kUpsExDefRows[10], kUpsExDefRows[11],   // Iout1..Iout3
    kUpsExDefRows[12], kUpsExDefRows[13], kUpsExDefRows[14],   // Fin1..Fin3
    kUpsExDefRows[15], kUpsExDefRows[16], kUpsExDefRows[17],   // Fout1..Fout3
    ANALOG(22, "Tem", "电池温度", 200, 650, "温度"),
    STATE(24, "b15", "电池连接状态", "0:未连接，1:已连接", ""),
    STATE(25, "b14", "维修旁路空开状态", "0:断开，1:闭合", ""),
    FAULT(26, "b13", "EPO状态", "0:无紧急关机，1:紧急关机", ""),
    FAULT(27, "b12", "逆变器启动容量不足", "0:容量足够，1:容量不足", ""),
    STATE(28, "b11", "发电机接入", NO_YES, ""),
    FAULT(29, "b10", "交流输入故障", NO_YES, "0"),
    FAULT(30, "b9", "旁路故障", NO_YES, ""),
    FAULT(31, "b8", "输出短路", NO_YES, "0"),
    FAULT(32, "b7", "电池 EOD", NO_YES, ""),
    STATE(33, "b6", "电池自检状态", "0:未自检，1:成功", ""),
    FAULT(34, "b5", "电池低压", NO_YES, ""),
    FAULT(35, "b4", "电池接反", NO_YES, ""),
    FAULT(36, "b3", "输入N线断开", NO_YES, ""),
    FAULT(37, "b2", "旁路风扇故障", NO_YES, "0"),
    FAULT(38, "b1", "失去N+X冗余", NO_YES, ""),
    FAULT(39, "b0", "EOD系统禁止", NO_YES, "0"),
    kUpsExDefRows[35], kUpsExDefRows[36], kUpsExDefRows[37],   // Vbatt, Pbatt, Mbatt
};

#undef ANALOG
#undef STATE
#undef FAULT
#undef NO_YES

}  // namespace

CSMUpsHTxx::CSMUpsHTxx() : CSMUpsBase(0x315) {
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-HTxx-RMX");
}

int CSMUpsHTxx::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    const int delay = wait > 100 ? wait : 200;
    uint8_t rx[256];
    qx::MbReply r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 3, kValueStart, kValueCount,
                               rx, sizeof rx, delay);
    if (!r.ok()) return 0;
    // Vdc, Fed, v1..v4 and the texts are no readings of this UPS: only the rest is renewed.
    ClearRange(m_rec.Vin1, m_rec.VAed);
    for (const Reg& v : kValues) *Field(v.fld) = r.Word(v.reg - kValueStart) / v.div;

    // Without the status words the poll fails, the values above already taken.
    r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 4, kStateStart, kStateCount, rx,
                   sizeof rx, delay);
    if (!r.ok()) return 0;
    for (const Reg& s : kStates) *Field(s.fld) = r.Word(s.reg - kStateStart);
    PackStatus();
    return 1;
}

int CSMUpsHTxx::ChkDef(IDbBase* db, int force) {
    return DefRows(db, force, kRows, (int)(sizeof kRows / sizeof kRows[0]));
}
