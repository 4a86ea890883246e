#include "aircon/SMSnmpCyberPex.h"

#include <inttypes.h>
#include <stdio.h>

#include "engines/SnmpPoll.h"

using airc::Field;
using airc::Key;
using airc::KeyFmt;
using airc::W;

namespace {

#define PEX "1.3.6.1.4.1.476.1.42.3.4."

// Field n (1..26): its column and the object it is read from.
struct Object {
    const char* column;
    const char* oid;
};
const Object kObjects[] = {
    {"tem", PEX "1.3.3.1.3.1"},   {"temS", PEX "1.3.1.0"},     {"temP", PEX "1.3.2.0"},
    {"temD", PEX "1.3.4.0"},      {"hum", PEX "2.2.3.1.3.1"},  {"humS", PEX "2.2.1.0"},
    {"humP", PEX "2.2.2.0"},      {"humD", PEX "2.2.4.0"},     {"temH", PEX "1.3.3.1.4.1"},
    {"temL", PEX "1.3.3.1.5.1"},  {"humH", PEX "2.2.3.1.4.1"}, {"humL", PEX "2.2.3.1.5.1"},
    {"stXt", PEX "3.1.0"},        {"stZl", PEX "3.2.0"},       {"stJs", PEX "3.4.0"},
    {"stCs", PEX "3.5.0"},        {"stFj", PEX "3.7.0"},       {"stZr", PEX "3.21.0"},
    {"stOff", PEX "3.14.0"},      {"stRun", PEX "3.15.0"},     {"xqZl", PEX "3.9.0"},
    {"xqZr", PEX "3.10.0"},       {"xqFj", PEX "3.16.0"},      {"xqCold", PEX "3.17.0"},
    {"xqCs", PEX "3.18.0"},       {"xqJs", PEX "3.19.0"},
};
const int kCount = 26;
static_assert(sizeof kObjects / sizeof kObjects[0] == kCount, "one object per field");

#define F(n) {n, kObjects[n - 1].column, W::I32}
const Field kFields[] = {
    F(1),  F(2),  F(3),  F(4),  F(5),  F(6),  F(7),  F(8),  F(9),  F(10), F(11), F(12), F(13),
    F(14), F(15), F(16), F(17), F(18), F(19), F(20), F(21), F(22), F(23), F(24), F(25), F(26),
};
const uint8_t kColumns[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                            14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26};

const qx::sql::DefRow kDefs[] = {
    {1, "tem", 1, "当前温度", 100, 6, 2000, "最小值|允许最低温度", 2350, "最大值|允许最高温度", 0},
    {2, "temS", 1, "设定温度", 100, 0, 2000, "", 2350, "", 0},
    {5, "hum", 1, "当前湿度", 100, 6, 2000, "最小值|允许最低湿度", 2350, "最大值|运行最高湿度", 0},
    {6, "humS", 1, "设定湿度", 100, 0, 490, "", 510, "", 0},
    {9, "temH", 1, "高温温度", 100, 0, 0, "", 2350, "", 0},
    {10, "temL", 1, "低温温度", 100, 0, 0, "", 1500, "", 0},
    {11, "humH", 1, "高湿湿度", 100, 0, 490, "", 2350, "", 0},
    {12, "humL", 1, "低湿湿度", 100, 0, 2000, "", 2350, "", 0},
    {13, "stXt", 1, "系统状态", 100, 0, 2000, "", 2350, "", 0},
    {14, "stZl", 1, "制冷状态", 100, 0, 2000, "", 2350, "", 0},
    // Humidifying and dehumidifying are states of the running unit: no limit is checked.
    {15, "stJs", 1, "加湿状态", 100, 0, 20000, "", 23500, "", 0},
    {16, "stCs", 1, "除湿状态", 100, 0, 20000, "", 23500, "", 0},
    {17, "stFj", 1, "风机状态", 100, 0, 4900, "", 23500, "", 0},
    {18, "stZr", 1, "加热状态", 100, 0, 4900, "", 23500, "", 0},
    {20, "stRun", 1, "运行模式", 100, 0, 4900, "", 23500, "", 0},
};

// Temperatures and humidities in tenths, states as numbers.
#define T(k, n) {k, nullptr, n, KeyFmt::Fixed1, 10, nullptr}
#define N(k, n) {k, nullptr, n, KeyFmt::Int, 1, nullptr}
const Key kKeys[] = {
    T(".tem", 1),     T(".temS", 2),    T(".temP", 3),    T(".temD", 4),
    T(".hum", 5),     T(".humS", 6),    T(".humP", 7),    T(".humD", 8),
    T(".temH", 9),    T(".temL", 10),   T(".humH", 11),   T(".humL", 12),
    N(".stXt", 13),   N(".stZl", 14),   N(".stJs", 15),   N(".stCs", 16),
    N(".stFj", 17),   N(".stZr", 18),   N(".stOff", 19),  N(".stRun", 20),
    N(".xqZl", 21),   N(".xqZr", 22),   N(".xqFj", 23),   N(".xqCold", 24),
    N(".xqCs", 25),   N(".xqJs", 26),
};

const airc::Shape kShape = {
    {768, "UPS", "UPS山特兼容KR APC..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberPexS",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,tem INTEGER,temS INTEGER,temP INTEGER,"
     "temD INTEGER,hum INTEGER,humS INTEGER,humP INTEGER,humD INTEGER,temH INTEGER,"
     "temL INTEGER,humH INTEGER,humL INTEGER,stXt INTEGER,stZl INTEGER,stJs INTEGER,"
     "stCs INTEGER,stFj INTEGER,stZr INTEGER,stOff INTEGER,stRun INTEGER,xqZl INTEGER,"
     "xqZr INTEGER,xqFj INTEGER,xqCold INTEGER,xqCs INTEGER,xqJs INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    kCount,
    kColumns, sizeof kColumns,
    kCount,  // state 2: every value zeroed
    kKeys, sizeof kKeys / sizeof kKeys[0],
    airc::kBriefOwnFault,  // the summary alone, after the current row; "通讯故障" in state 2
    nullptr,
    0,  // DataVal(0) is 0
};

}  // namespace

CSMSnmpCyberPex::CSMSnmpCyberPex() : CSMAircShape(0x831, "QX-CYBER-PEX", kShape) {
    printf("SNMP CyberPex new: %" PRIxPTR "\r\n", (uintptr_t)this);
}

CSMSnmpCyberPex::~CSMSnmpCyberPex() {}

int CSMSnmpCyberPex::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "CyberPex SNMP.err %s\n", true, false)) return 0;
    ClearFields(kCount);
    for (int f = 1; f <= kCount; f++) {
        int32_t v;
        poll.Get(kObjects[f - 1].oid, v);
        Set(f, v);
    }
    return poll.Result();
}

int CSMSnmpCyberPex::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    // The shape zeroes the values whenever no alarm bits come; in state 1 (flag bit 0) they
    // stay, so the shape is given no alarm as for an answered poll.
    std::vector<int> none;
    alarmBits = qx::sql::KeptAlarmBits(flags, alarmBits, m_iDataCnt, none);
    return CSMAircShape::DataUpd(flags, alarmBits, snapId, sid, history);
}

void CSMSnmpCyberPex::BriefText(char* out, size_t size, int state) {
    if (state == 2) {
        snprintf(out, size, "%s", "通讯故障");
        return;
    }
    // The stored integers, as the agent gives them.
    snprintf(out, size, "当前温度:%1.1f ℃, 当前湿度:%1.1f %%", (double)Val(1), (double)Val(5));
}
