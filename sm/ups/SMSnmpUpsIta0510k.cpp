#include "ups/SMSnmpUpsIta0510k.h"

#include <inttypes.h>
#include <stdio.h>

#include "ups/SnmpUpsFields.h"

using namespace Snmp_pp;

namespace {

#define TB SNMP_TB
#define I "1.3.6.1.4.1.13400.2.16.2."

#define LO(q) "最小值|允许最低" q ",低于此值告警"
#define HI(q) "最大值|允许最高" q ",超过此值告警"
const qx::sql::DefRow kRows[] = {
    {1, "Vin1", 1, "输入电压A", 100, 6, 2000, LO("输入电压"), 2350, HI("输入电压"), 0},
    {2, "Vin2", 1, "输入电压B", 100, 6, 2000, LO("输入电压"), 2350, HI("输入电压"), 0},
    {3, "Vin3", 1, "输入电压C", 100, 6, 2000, LO("输入电压"), 2350, HI("输入电压"), 0},
    {4, "Fin", 1, "输入频率", 100, 0, 490, LO("输入频率"), 510, HI("输入频率"), 0},
    {5, "Vout", 1, "输出电压", 100, 0, 0, LO("输出电压"), 2350, HI("输出电压"), 0},
    {6, "Aout", 1, "输出电流", 100, 0, 0, LO("输出电流"), 1500, HI("输出电流"), 0},
    {7, "Fout", 1, "输出频率", 100, 0, 490, LO("输出频率"), 2350, HI("输出频率"), 0},
    {8, "Pout", 1, "输出负载", 100, 0, 2000, LO("输出负载"), 2350, HI("输出负载"), 0},
    {27, "V1", 1, "输出功率", 100, 0, 2000, LO("输出负载"), 2350, HI("输出负载"), 0},
    {28, "V2", 1, "输出视在功率", 100, 0, 2000, LO("输出负载"), 2350, HI("输出负载"), 0},
    {29, "V3", 1, "旁路电压", 100, 6, 20000, LO("输入电压"), 23500, HI("输入电压"), 0},
    {30, "V4", 1, "旁路电流", 100, 6, 20000, LO("输入电压"), 23500, HI("输入电压"), 0},
    {26, "Fed", 1, "旁路频率", 100, 0, 4900, LO("输出频率"), 23500, HI("输出频率"), 0},
    {19, "Vbatt", 1, "电池电压", 10, 0, 2000, LO("电池电压"), 2350, HI("电池电压"), 0},
    {20, "Pbatt", 1, "电池容量", 10, 0, 300, LO("容量"), 0, "", 0},
};

// The wide column list, with Pout: the current row and the history row.
const uint8_t kColumns[] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsPout, kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1,
    kUpsB0, kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsCompany, kUpsMode, kUpsVersion,
    kUpsV2, kUpsV3, kUpsV4, kUpsMbatt,
};

const TbUpsShape kShape = {
    "UPS山特兼容KR APC...",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kColumns, (int)sizeof kColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    0, false, false,
    0, nullptr, true,  // "通讯故障" when the UPS did not answer
};

// The bindings of the one request; binding 0 is the state (its low 8 bits are kept).
const struct {
    const char* oid;
    uint16_t at;
} kBindings[] = {
    {I "1.1.0", qx::kSnmpNone}, {I "2.1.0", TB(Vin1)}, {I "2.2.0", TB(Vin2)},
    {I "2.3.0", TB(Vin3)},      {I "2.4.0", TB(Fin)},  {I "3.1.0", TB(Vout)},
    {I "3.2.0", TB(Aout)},      {I "3.3.0", TB(Fout)}, {I "3.4.0", TB(v1)},
    {I "3.5.0", TB(v2)},        {I "3.6.0", TB(Pout)}, {I "4.1.0", TB(v3)},
    {I "4.2.0", TB(v4)},        {I "4.3.0", TB(Fed)},  {I "5.1.0", TB(Vbatt)},
    {I "5.2.0", TB(Pbatt)},
};

}  // namespace

CSMSnmpUpsIta0510k::CSMSnmpUpsIta0510k() : CSMSnmpUpsTbUps(0x31E, "QX-UPS-ITA0510K", kShape) {
    printf("ita0510k new: %" PRIxPTR "\r\n", (uintptr_t)this);
}

CSMSnmpUpsIta0510k::~CSMSnmpUpsIta0510k() {}

int CSMSnmpUpsIta0510k::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsIta0510k SNMP.err %s\n", false)) return 0;
    Pdu& pdu = poll.pdu();
    for (const auto& b : kBindings) pdu += Vb(Oid(b.oid));
    TbUpsRecord& r = m_rec;
    r.b7 = r.b6 = r.b5 = r.b4 = r.b3 = r.b2 = r.b1 = r.b0 = 0;
    r.status = 0;

    // One request for all: it is answered or fails as a whole.
    const int status = poll.snmp().get(pdu, poll.target());
    poll.Note(status, false);
    if (status != SNMP_CLASS_SUCCESS) {
        printf("UpsIta0510k SNMP.get err %s\n", Snmp::error_msg(status));
        return 0;
    }
    // A binding that carries no integer (an octet string, an exception value) leaves its field.
    Vb vb;
    for (int i = 0; i < (int)(sizeof kBindings / sizeof kBindings[0]); i++) {
        int v;
        if (!pdu.get_vb(vb, i) || vb.get_value(v) != SNMP_CLASS_SUCCESS) continue;
        if (i == 0) r.status = (uint8_t)v;
        else qx::SnmpPoll::Store(&r, sizeof r, kBindings[i].at, v);
    }
    pdu.get_vb(vb, 0);
    printf("UpsIta0510k upsState %s\n", vb.get_printable_value());
    return 1;
}

void CSMSnmpUpsIta0510k::Summary(char* out, size_t size) {
    const TbUpsRecord& r = m_rec;
    snprintf(out, size, "输入电压:%1.2fV, 输出电压:%1.2fV, 输出负载:%1.2f%%", r.Vin1 * 0.01,
             r.Vout * 0.01, r.Pout * 0.01);
}
