#include "ups/SMSnmpUpsPowerNet.h"

#include <stdio.h>

#include "ups/SnmpUpsFields.h"

namespace {

#define TB SNMP_TB
#define P "1.3.6.1.4.1.318.1.1.1."

// Columns of the current row and the history row: Pout, Mbatt and VAed are not written.
const uint8_t kColumns[] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsV2, kUpsV3, kUpsV4,
    kUpsCompany, kUpsMode, kUpsVersion,
};

const TbUpsShape kShape = {
    "UPS山特兼容KR APC...",
    kTbUpsDefRows, 16,
    kColumns, (int)sizeof kColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    0, false, false,
};

// Every value times ten; a GET without answer leaves its field.
const qx::SnmpStep kSteps[] = {
    qx::SnmpGet10(P "3.2.1.0", TB(Vin1)),  qx::SnmpGet10(P "3.2.2.0", TB(Vin2)),
    qx::SnmpGet10(P "3.2.3.0", TB(Vin3)),  qx::SnmpGet10(P "3.2.4.0", TB(Fin)),
    qx::SnmpGet10(P "3.2.5.0", TB(v1)),    qx::SnmpGet10(P "2.2.1.0", TB(Pbatt)),
    qx::SnmpGet10(P "2.2.2.0", TB(Tem)),   qx::SnmpGet10(P "2.2.3.0", TB(Mbatt)),
    qx::SnmpGet10(P "2.2.7.0", TB(Vdc)),   qx::SnmpGet10(P "2.2.8.0", TB(Vbatt)),
    qx::SnmpGet10(P "4.2.1.0", TB(Vout)),  qx::SnmpGet10(P "4.2.2.0", TB(Fout)),
    qx::SnmpGet10(P "4.2.3.0", TB(Pout)),  qx::SnmpGet10(P "4.2.4.0", TB(Aout)),
    qx::SnmpGet10(P "4.2.8.0", TB(v2)),    qx::SnmpGet10(P "4.2.11.0", TB(v3)),
    qx::SnmpGet10(P "4.2.12.0", TB(v4)),
};

}  // namespace

CSMSnmpUpsPowerNet::CSMSnmpUpsPowerNet() : CSMSnmpUpsTbUps(0x31B, "RE-RIRA", kShape) {}

CSMSnmpUpsPowerNet::~CSMSnmpUpsPowerNet() {}

int CSMSnmpUpsPowerNet::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsPowerNet SNMP.err %s\n")) return 0;
    poll.Run(kSteps, &m_rec, sizeof m_rec, true);
    TbUpsRecord& r = m_rec;
    r.b7 = r.b6 = r.b5 = r.b4 = r.b3 = r.b2 = r.b1 = r.b0 = 0;
    r.status = 0;
    int32_t state;
    if (poll.Get(P "11.1.1.0", state)) r.status = (uint8_t)state;
    return poll.Result();
}

void CSMSnmpUpsPowerNet::Summary(char* out, size_t size) {
    const TbUpsRecord& r = m_rec;
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%.1f%%", r.Vin1 * 0.1,
             r.Vout * 0.1, r.Pout * 0.1);
}
