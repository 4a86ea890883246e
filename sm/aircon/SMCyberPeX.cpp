#include "aircon/SMCyberPeX.h"

namespace {

using namespace airc;

enum Fld : uint8_t { kUnit = 1, kDs, kFj, kZl, kJrq, kJsq, kCsj, kSTem, kRTem, kRHum, kTemset, kHumset };

const Field kFields[] = {
    {kUnit, "unit", W::I32},   {kDs, "ds", W::I32},       {kFj, "s_fj", W::I32},
    {kZl, "s_zl", W::I32},     {kJrq, "s_jrq", W::I32},   {kJsq, "s_jsq", W::I32},
    {kCsj, "s_csj", W::I32},   {kSTem, "s_tem", W::I32},  {kRTem, "r_tem", W::I32},
    {kRHum, "r_hum", W::I32},  {kTemset, "temset", W::I32}, {kHumset, "humset", W::I32},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

// The humidity row carries the temperature row's limits and notes, as stored definitions
// have it.
const qx::sql::DefRow kDefs[] = {
    {kSTem, "s_tem", 1, "温度", 10, 6, 230, "最小值|允许最低温度,低于此值报警", 380,
     "最大值|允许最高温度,超过此值报警", 0},
    {kRHum, "r_hum", 1, "湿度", 10, 6, 230, "最小值|允许最低温度,低于此值报警", 380,
     "最大值|允许最高温度,超过此值报警", 0},
};

const airc::Shape kShape = {
    {2048, "空调控制", "485接口..."},
    kDefs, 2,
    {"tbPex",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,unit INTEGER,ds INTEGER,s_fj INTEGER,"
     "s_zl INTEGER,s_jrq INTEGER,s_jsq INTEGER,s_csj INTEGER,s_tem INTEGER,r_tem INTEGER,"
     "r_hum INTEGER,temset INTEGER,humset INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    26,  // DataSize as the host knows it; fields 13..26 do not exist
    kColumns, sizeof kColumns,
    12,  // no answer: every value zeroed
    nullptr, 0,
    0,   // empty summary
    "空调(故障)",
};

// Any variant but 1. Inputs 10..30 come one byte per input (byte count 21): the unit at data
// byte 0, fan 14, compressor 15, heater 18, humidifier 19, dehumidifier 20. A unit that packs
// them eight to a byte (byte count 3) carries only its first byte; the states are then 0.
const Pick kInputs[] = {Byte(kUnit, 0), Byte(kFj, 14),  Byte(kZl, 15),
                        Byte(kJrq, 18), Byte(kJsq, 19), Byte(kCsj, 20)};
const Pick kIn15[] = {Reg(kDs, 0)};  // unsigned
const Pick kIn109[] = {SReg(kRTem, 0), SReg(kTemset, 1), SReg(kSTem, 2)};
const Pick kIn129[] = {SReg(kRHum, 0), SReg(kHumset, 1)};
const Req kReqs[] = {
    Read(2, 10, 21, kInputs, true, 0, 21), Read(4, 15, 1, kIn15), Read(4, 109, 4, kIn109),
    Read(4, 129, 2, kIn129),
};

// Variant 1: holding registers 0..63; fields 1..6 are not read.
const Pick kHolding[] = {SReg(kRTem, 3),    SReg(kRHum, 4),    SReg(kTemset, 60),
                         SReg(kSTem, 61),   SReg(kHumset, 62), SReg(kCsj, 63)};
const Req kVariant1[] = {Read(3, 0, 64, kHolding)};

// `wait` before each reply when above 0, no purge.
const airc::Polling kPolling = {{false, 0, 0, 256}, kReqs, 4, kVariant1, 1};

}  // namespace

CSMCyberPeX::CSMCyberPeX() : CSMAircShape(0x808, "QX-AIRC_PeX", kShape) { PollBy(kPolling); }
