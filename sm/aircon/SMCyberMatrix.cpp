#include "aircon/SMCyberMatrix.h"

namespace {

using namespace airc;

enum Fld : uint8_t {
    kTem = 1, kHum, kSettem, kSethum, kFj, kYs1, kYs2, kJr1, kJr2, kCs, kJs, kFjgz, kYs1gz,
    kYs2gz, kJr1gz, kJr2gz, kLfj1gz, kLfj2gz,
};

const Field kFields[] = {
    {kTem, "tem", W::I32},       {kHum, "hum", W::I32},       {kSettem, "settem", W::I32},
    {kSethum, "sethum", W::I32}, {kFj, "fj", W::I32},         {kYs1, "ys1", W::I32},
    {kYs2, "ys2", W::I32},       {kJr1, "jr1", W::I32},       {kJr2, "jr2", W::I32},
    {kCs, "cs", W::I32},         {kJs, "js", W::I32},         {kFjgz, "fjgz", W::I32},
    {kYs1gz, "ys1gz", W::I32},   {kYs2gz, "ys2gz", W::I32},   {kJr1gz, "jr1gz", W::I32},
    {kJr2gz, "jr2gz", W::I32},   {kLfj1gz, "lfj1gz", W::I32}, {kLfj2gz, "lfj2gz", W::I32},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

const qx::sql::DefRow kDefs[] = {
    {kTem, "tem", 1, "温度值", 10, 6, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {kHum, "hum", 1, "湿度值", 10, 6, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
    // The fan, compressor, heater, dehumidifying and humidifying states: no limit is checked.
    StateRow(kFj, "fj", "风机状态", "0无异常"),
    StateRow(kYs1, "ys1", "压缩机1状态", "0无异常"),
    StateRow(kYs2, "ys2", "压缩机2状态", "0无异常"),
    StateRow(kJr1, "jr1", "电加热1状态", "0无异常"),
    StateRow(kJr2, "jr2", "电加热2状态", "0无异常"),
    StateRow(kCs, "cs", "除湿状态", "0为关"),
    StateRow(kJs, "js", "加湿状态", "0为关"),
    FlagRow(kFjgz, "fjgz", "风机过载报警", "0无异常"),
    FlagRow(kYs1gz, "ys1gz", "压缩机1过载报警", "0无异常"),
    FlagRow(kYs2gz, "ys2gz", "压缩机2过载报警", "0无异常"),
    FlagRow(kJr1gz, "jr1gz", "电加热1过载报警", "0无异常"),
    FlagRow(kJr2gz, "jr2gz", "电加热2过载报警", "0无异常"),
    FlagRow(kLfj1gz, "lfj1gz", "冷凝风机1过载报警", "0无异常"),
    FlagRow(kLfj2gz, "lfj2gz", "冷凝风机2过载报警", "0无异常"),
};

const airc::Shape kShape = {
    {2048, "精密空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbMatrix",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,tem INTEGER,hum INTEGER,settem INTEGER,"
     "sethum INTEGER,fj INTEGER,ys1 INTEGER,ys2 INTEGER,jr1 INTEGER,jr2 INTEGER,cs INTEGER,"
     "js INTEGER,fjgz INTEGER,ys1gz INTEGER,ys2gz INTEGER,jr1gz INTEGER,jr2gz INTEGER,"
     "lfj1gz INTEGER,lfj2gz INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    18,
    kColumns, sizeof kColumns,
    18,  // no answer: every value zeroed
    nullptr, 0,
    0,   // empty summary
    "空调(故障)",
};

// Coils 14..65: bit n is coil 14 + n. Registers 1..15: word n is register 1 + n.
const Pick kCoils[] = {
    Bit(kFj, 0),     Bit(kYs1, 1),    Bit(kYs2, 2),    Bit(kJr1, 3),    Bit(kJr2, 4),
    Bit(kCs, 5),     Bit(kJs, 11),    Bit(kFjgz, 17),  Bit(kYs1gz, 18), Bit(kYs2gz, 19),
    Bit(kJr1gz, 20), Bit(kJr2gz, 47), Bit(kLfj1gz, 49), Bit(kLfj2gz, 50),
};
const Pick kRegs[] = {Reg(kHum, 0), Reg(kTem, 3), Reg(kSettem, 9), Reg(kSethum, 12)};
const Req kReqs[] = {Read(1, 14, 52, kCoils), Read(3, 1, 15, kRegs)};

// `wait` before each reply when above 0, no purge.
const airc::Polling kPolling = {{false, 0, 0, 120}, kReqs, 2, nullptr, 0};

}  // namespace

CSMCyberMatrix::CSMCyberMatrix() : CSMAircShape(0x80A, "QX-CyberMatrix", kShape) {
    PollBy(kPolling);
}
