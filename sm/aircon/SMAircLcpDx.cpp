#include "aircon/SMAircLcpDx.h"

#include <stdio.h>

using namespace airc::tables;

namespace {

enum Fld : uint8_t { kRunSt = 1, kFault, kTI1, kTO1, kTemSet };

const Field kFields[] = {
    {kRunSt, "RunSt", W::U16}, {kFault, "Fault", W::U16}, {kTI1, "TI1", W::U16},
    {kTO1, "TO1", W::U16},     {kTemSet, "TemSet", W::U16},
};
const uint8_t kColumns[] = {kRunSt, kFault, kTI1, kTO1, kTemSet};

// Reply to "addr 04 00 15 00 1C": registers 21..48, big-endian; TO1 is register 21 (byte 3),
// TI1 register 22 (byte 5), TemSet register 45 (byte 51).
//   01 04 38 | 00 D2 | 00 FA | ... | 00 DC | ... | crc
// Reply to "addr 03 00 02 00 02": RunSt register 2 (byte 3), Fault register 3 (byte 5).
//   01 03 04 | 00 01 | 00 00 | crc
const int kTempBytes = 53;
const int kFlagBytes = 7;

const qx::sql::DefRow kDefs[] = {
    {kRunSt, "RunSt", 1, "运行状态标志", 1, 0, 0, "0停止 1运行 2告警", 0, "", 0},
    // The fault flag is the unit's alarm: the host checks it. The running state (2 in alarm)
    // is a state, 1 while the unit runs.
    airc::FlagRow(kFault, "Fault", "故障标志", "0无故障"),
};

const char* const kRunWords[] = {"停止", "启动"};
const Words kRun = {kRunWords, 2, "告警"};
const char* const kFaultWords[] = {"无告警"};
const Words kFaultFlag = {kFaultWords, 1, "有告警"};

const Key kKeys[] = {
    {".state", ".运行状态", kRunSt, KeyFmt::Word, 1, &kRun},
    {".fault", ".故障标志", kFault, KeyFmt::Word, 1, &kFaultFlag},
    {".temIn1", ".入风口温度", kTI1, KeyFmt::Fixed1, 10, nullptr},
    {".temOut1", ".出风口温度", kTO1, KeyFmt::Fixed1, 10, nullptr},
    {".temSet", ".设置温度", kTemSet, KeyFmt::Fixed1, 10, nullptr},
};

const airc::Shape kShape = {
    {1792, "行间空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbAircLcpDx",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,RunSt INTEGER,Fault INTEGER,TI1 INTEGER,"
     "TO1 INTEGER,TemSet INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    5,
    kColumns, sizeof kColumns,
    5,
    kKeys, sizeof kKeys / sizeof kKeys[0],
    airc::kBriefState | airc::kBriefAlarms,
    "行间空调",
};

// 100 ms before each reply, or the host's wait when longer.
const airc::Link kTemps = {true, 100, 100, 100};
const airc::Link kFlags = {true, 100, 100, 20};

const int kCoilCommand = 5;

}  // namespace

CSMAircLcpDx::CSMAircLcpDx() : CSMAircShape(0x702, "QX-LCP-DX", kShape) {}

CSMAircLcpDx::~CSMAircLcpDx() {}

int CSMAircLcpDx::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !qx::AddrFits(address)) return 0;  // no Modbus unit: nothing sent
    uint8_t reply[100];
    int len = ModBusCmd(address, 4, 21, 28);
    qx::MbReply r = Request(channel, len, reply, sizeof reply, kTemps, wait, kTempBytes);
    if (!r.ok()) return 0;
    Set(kTO1, r.Word(0));
    Set(kTI1, r.Word(1));
    Set(kTemSet, r.Word(45 - 21));

    len = ModBusCmd(address, 3, 2, 2);
    r = Request(channel, len, reply, sizeof reply, kFlags, wait, kFlagBytes);
    if (!r.ok()) return 0;  // the new temperatures stay, the flags are the last poll's
    Set(kRunSt, r.Word(0));
    Set(kFault, r.Word(1));
    return 1;
}

int CSMAircLcpDx::DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) {
    if (!channel || !channel->IsOpened() || !qx::AddrFits(address)) return 0;
    if (command != kCoilCommand) return 0;  // no command of the unit: nothing sent
    // The unit takes 0x0001 in the value field of its coil write and echoes it.
    const int len = ModBusCmd(address, 5, 29, 1);
    return Command(channel, len, 20, 100);
}

void CSMAircLcpDx::BriefText(char* out, size_t size, int state) {
    const int run = Val(kRunSt);
    snprintf(out, size, "运行状态：%s", run == 0 ? "停止" : run == 1 ? "正常" : "告警");
}
