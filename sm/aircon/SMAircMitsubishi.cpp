#include "aircon/SMAircMitsubishi.h"

#include <stdio.h>

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kStOnOff = 1, kStMode, kStFan, kTemSet, kTem, kStWind, kStFilter, kStComp, kStAir,
    kStRemote, kStFaultCode,
};

const Field kFields[] = {
    {kStOnOff, "StOnOff", W::I32}, {kStMode, "StMode", W::I32},   {kStFan, "StFan", W::I32},
    {kTemSet, "TemSet", W::I32},   {kTem, "Tem", W::I32},         {kStWind, "StWind", W::I32},
    {kStFilter, "StFilter", W::I32}, {kStComp, "StComp", W::I32}, {kStAir, "StAir", W::I32},
    {kStRemote, "StRemote", W::I32}, {kStFaultCode, "StFaultCode", W::I32},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// The answer, with and without its lead byte:
//   55 xx xx | 9A | 19 | 85 | 03 ...     d0 = on, mode, fan; d1 = temperature;
//   xx xx | 9A | 19 | 85 | 03 ...        d2 = status bits; d3 = fault code
const uint8_t kLead = 0x55;
const int kDataAtLead = 3, kDataAt = 2;

// Bytes of the answer up to its last data byte, as far as its first byte tells.
int AnswerLength(const uint8_t* data, int have) {
    if (have < 1) return kDataAtLead + 4;
    return (data[0] == kLead ? kDataAtLead : kDataAt) + 4;
}

const qx::sql::DefRow kDefs[] = {
    {kStOnOff, "StOnOff", 1, "开关机", 1, 0, 0, "0 开机 1 关机", 0, "", 0},
    {kStMode, "StMode", 1, "模式", 1, 0, 0, "1 除湿 2 自动 3 制热 4 送风 7 制冷", 0, "", 0},
    {kStFan, "StFan", 1, "风速", 1, 0, 0, "5 低风 3 中风 2 高风 1 超高风", 0, "", 0},
    {kTemSet, "TemSet", 1, "设定温度", 10, 10, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {kTem, "Tem", 1, "温度值", 10, 10, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {kStWind, "StWind", 1, "摆风打开", 1, 0, 0, "1是 0否", 0, "", 0},
    // Filter cleaning due and a fault code are the unit's alarms: the host checks them.
    {kStFilter, "StFilter", 1, "过滤网清洗", 1, 1, 0, "1是 0否", 0, "", 0},
    {kStComp, "StComp", 1, "压缩机打开", 1, 0, 0, "1是 0否", 0, "", 0},
    {kStAir, "StAir", 1, "换气打开", 1, 0, 0, "1是 0否", 0, "", 0},
    {kStRemote, "StRemote", 1, "遥控锁定", 1, 0, 0, "1是 0否", 0, "", 0},
    {kStFaultCode, "StFaultCode", 1, "故障代码", 1, 1, 0, "大于0表示机器出现故障", 0, "", 0},
};

const airc::Shape kShape = {
    {1280, "温湿度", "485接口,量程..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbAircMitsubishi",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,StOnOff INTEGER,StMode INTEGER,"
     "StFan INTEGER,TemSet INTEGER,Tem INTEGER,StWind INTEGER,StFilter INTEGER,"
     "StComp INTEGER,StAir INTEGER,StRemote INTEGER,StFaultCode INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    11,  // DataSize: the host checks every field up to the fault code
    kColumns, sizeof kColumns,
    11,
    nullptr, 0,
    airc::kBriefState | airc::kBriefAlarms,
    "空调",
};

// 150 ms for the adapter; at most 120 bytes taken.
const airc::Link kLink = {true, 150, -1, 120};

}  // namespace

CSMAircMitsubishi::CSMAircMitsubishi() : CSMAircShape(0x705, "QX-Airc-Mitsubishi", kShape) {}

CSMAircMitsubishi::~CSMAircMitsubishi() {}

int CSMAircMitsubishi::ChkDb(tagSMItem* item) {
    if (!m_pDb && !m_pDbHist) return 0;
    if (m_pDb) return CSMAircShape::ChkDb(item);
    const int rc = qx::sql::EnsureTable(m_pDbHist, kShape.table);
    if (item) return ChkDbDatInit(kShape.table.name, item);  // the point's rows need the main one
    return rc >= 0 ? 1 : 0;
}

int CSMAircMitsubishi::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !qx::AddrFits(address)) return 0;  // one address byte: nothing sent
    const uint8_t query[8] = {0x55, 0x00, (uint8_t)address, 0x00, 0x00, 0x00, 0x00, 0xAA};
    for (int i = 0; i < 8; i++) m_cmd[i] = query[i];
    uint8_t reply[120];
    const int got = RawRequest(channel, 8, reply, sizeof reply, kLink, wait, AnswerLength);
    // Every data byte must have arrived; the answer has no check of its own.
    if (got < 1 || got < AnswerLength(reply, got)) return 0;
    const uint8_t* d = reply + (reply[0] == kLead ? kDataAtLead : kDataAt);
    Set(kStOnOff, d[0] >> 7 & 1);
    Set(kStMode, d[0] >> 4 & 7);
    Set(kStFan, d[0] & 15);
    // The byte is whole degrees; the rows keep temperatures in tenths (divisor 10, limits
    // 30.0 and 38.0), as every air-conditioner here does.
    Set(kTemSet, d[1] * 10);
    Set(kTem, d[1] * 10);
    Set(kStWind, d[2] & 1);
    Set(kStFilter, d[2] >> 1 & 1);
    Set(kStComp, d[2] >> 2 & 1);
    Set(kStAir, d[2] >> 3 & 1);
    Set(kStRemote, d[2] >> 7 & 1);
    Set(kStFaultCode, d[3]);
    return 1;
}

void CSMAircMitsubishi::BriefText(char* out, size_t size, int state) {
    snprintf(out, size, "温度:%d ", Val(kTem) / 10);
}
