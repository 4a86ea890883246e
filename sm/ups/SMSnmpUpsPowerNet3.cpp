#include "ups/SMSnmpUpsPowerNet3.h"

#include <stdio.h>

#include "ups/SnmpUpsFields.h"

const char* OIDA_POWERNET = ".1.3.6.1.4.1.13400.2.27.2.4.%d.0";

namespace {

#define EX SNMP_EX
#define PHASES SNMP_EX3

// Phase tables: each row is a phase, its number the row's sub-identifier.
const qx::SnmpColumn kInput[] = {
    {3, PHASES(Vin), false}, {6, PHASES(Iin), false}, {9, {EX(v1), EX(v2), EX(v3)}, false},
};
const qx::SnmpColumn kOutput[] = {
    {3, PHASES(Vout), false}, {4, PHASES(Iout), false}, {7, PHASES(VB), false},
    {10, PHASES(Pout), false}, {13, PHASES(IB), false}, {16, PHASES(FB), false},
};

const qx::SnmpStep kSteps[] = {
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.3.2.4.0", EX(Fin1), EX(Fin2), EX(Fin3)),
    qx::SnmpTable("1.3.6.1.4.1.318.1.1.1.9.2.3.1", kInput),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.2.2.1.0", EX(Pbatt)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.2.2.2.0", EX(Tem)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.2.2.3.0", EX(Mbatt)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.2.2.7.0", EX(Vdc)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.2.2.8.0", EX(Vbatt)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.4.2.2.0", EX(Fout1), EX(Fout2), EX(Fout3)),
    qx::SnmpTable("1.3.6.1.4.1.318.1.1.1.9.3.3.1", kOutput),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.4.2.8.0", EX(Ved)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.4.2.11.0", EX(Aed)),
    qx::SnmpGet10("1.3.6.1.4.1.318.1.1.1.4.2.12.0", EX(v4)),
    // The whole state integer; b7..b0 stay 0.
    qx::SnmpGet("1.3.6.1.4.1.318.1.1.1.11.1.1.0", EX(status)),
};

}  // namespace

CSMSnmpUpsPowerNet3::CSMSnmpUpsPowerNet3() : CSMUpsBase(0x328) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-POWERNET3");
}

CSMSnmpUpsPowerNet3::~CSMSnmpUpsPowerNet3() {}

int CSMSnmpUpsPowerNet3::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsIta1620kl SNMP.err %s\n")) return 0;
    ClearRecord();
    poll.Run(kSteps, &m_rec, sizeof m_rec);
    return poll.Result();
}
