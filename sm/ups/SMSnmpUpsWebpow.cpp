#include "ups/SMSnmpUpsWebpow.h"

#include <stddef.h>
#include <stdio.h>

#include "ups/SnmpUpsFields.h"

const char* OIDA_WEBPOW = ".1.3.6.1.4.1.2468.1.2.1.1.2.%d.0";

namespace {

#define EX SNMP_EX
#define PHASES SNMP_EX3

// Input table: frequency, voltage, current and v1..v3 per phase.
const qx::SnmpColumn kInput[] = {
    {2, PHASES(Fin), false}, {3, PHASES(Vin), false}, {6, PHASES(Iin), false},
    {7, {EX(v1), EX(v2), EX(v3)}, false},
};
// Output table; its column 4 is the bypass current until the bypass table gives its own.
const qx::SnmpColumn kOutput[] = {
    {2, PHASES(Vout), false}, {3, PHASES(Iout), false}, {4, PHASES(IB), false},
    {5, PHASES(Pout), true},
};
const qx::SnmpColumn kBypass[] = {{2, PHASES(VB), false}, {3, PHASES(IB), false}};

const qx::SnmpStep kSteps[] = {
    qx::SnmpTable("1.3.6.1.4.1.2468.1.2.1.1.3.3.1", kInput),
    qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.2.4.0", EX(Pbatt)),
    qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.2.7.0", EX(Tem)),
    qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.2.3.0", EX(Mbatt)),
    qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.2.1.0", EX(Vdc)),
    qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.2.5.0", EX(Vbatt)),
    qx::SnmpGet10("1.3.6.1.4.1.2468.1.2.1.1.4.2.0", EX(Fout1), EX(Fout2), EX(Fout3)),
    qx::SnmpTable("1.3.6.1.4.1.2468.1.2.1.1.4.4.1", kOutput),
    qx::SnmpGet("1.3.6.1.4.1.2468.1.2.1.1.5.1.0", EX(FB1), EX(FB2), EX(FB3)),
    qx::SnmpTable("1.3.6.1.4.1.2468.1.2.1.1.5.3.1", kBypass),
};

}  // namespace

CSMSnmpUpsWebpow::CSMSnmpUpsWebpow() : CSMUpsBase(0x32C) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-WEBPOW");
}

CSMSnmpUpsWebpow::~CSMSnmpUpsWebpow() {}

int CSMSnmpUpsWebpow::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsIta1620kl SNMP.err %s\n")) return 0;
    ClearRecord();
    poll.Run(kSteps, &m_rec, sizeof m_rec);
    return poll.Result();
}
