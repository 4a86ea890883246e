#include "ups/SMSnmpUpsIta1620k.h"

#include <stdio.h>
#include <string.h>

#include "ups/SnmpUpsFields.h"

const char* OIDA_ITA1620K = ".1.3.6.1.4.1.13400.2.27.2.4.%d.0";

namespace {

#define EX SNMP_EX
#define PHASES SNMP_EX3

// Objects of the pattern: the number of phase 1 (phase i adds i-1) and the fields of phases
// 1..3, or a fixed number and the fields that take its one value.
struct Numbered {
    int number;
    uint16_t at[3];
    bool x10;
    const char* log;  // printed after the read with the phase and the value
};
const Numbered kPhases[] = {
    {4, PHASES(Vin), false, nullptr},   {7, PHASES(Iin), false, "Iin%d=%d\n"},
    {16, PHASES(Vout), false, nullptr}, {35, PHASES(Pout), false, nullptr},
    {19, PHASES(Iout), false, "Iout%d=%d\n"}, {41, PHASES(VB), false, "VB%d=%d\n"},
};
const Numbered kFixed[] = {
    {10, PHASES(Fin), false, nullptr},
    {22, PHASES(Fout), false, nullptr},
    {44, PHASES(FB), false, nullptr},
    {45, {EX(Vbatt), qx::kSnmpNone, qx::kSnmpNone}, false, nullptr},
    {51, {EX(Tem), qx::kSnmpNone, qx::kSnmpNone}, false, nullptr},
    {49, {EX(Pbatt), qx::kSnmpNone, qx::kSnmpNone}, false, nullptr},
    {50, {EX(Mbatt), qx::kSnmpNone, qx::kSnmpNone}, false, nullptr},
    {46, {EX(v2), qx::kSnmpNone, qx::kSnmpNone}, true, nullptr},
};

}  // namespace

CSMSnmpUpsIta1620k::CSMSnmpUpsIta1620k() : CSMUpsBase(0x327) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-ita 1620k");
    m_iDivisor = 100;
}

CSMSnmpUpsIta1620k::~CSMSnmpUpsIta1620k() {}

int CSMSnmpUpsIta1620k::DataGet(ISerBase*, int, int) {
    if (!OIDA_ITA1620K) return 0;
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsIta1620kl SNMP.err %s\n")) return 0;
    ClearRecord();
    // Phase 0..2 of a per-phase object, or (phase -1) a fixed one into all its fields.
    auto read = [&](const Numbered& o, int phase) {
        char oid[64];
        snprintf(oid, sizeof oid, OIDA_ITA1620K, o.number + (phase < 0 ? 0 : phase));
        qx::SnmpStep s = qx::SnmpGet(oid, o.at[0], o.at[1], o.at[2]);
        s.x10 = o.x10;
        if (phase >= 0) s.at[0] = o.at[phase], s.at[1] = s.at[2] = qx::kSnmpNone;
        poll.Run(&s, 1, &m_rec, sizeof m_rec);
    };
    for (int i = 0; i < 3; i++) {
        for (const Numbered& o : kPhases) {
            read(o, i);
            if (o.log) {
                int32_t v;
                memcpy(&v, (const char*)&m_rec + o.at[i], sizeof v);
                printf(o.log, i + 1, (int)v);
            }
        }
    }
    for (const Numbered& o : kFixed) read(o, -1);
    const qx::SnmpStep flag = qx::SnmpGet(".1.3.6.1.4.1.13400.2.27.2.1.1.0", EX(b0), EX(status));
    poll.Run(&flag, 1, &m_rec, sizeof m_rec);
    const UpsExRecord& r = m_rec;
    printf("SNMP Iin=%d,%d,%d  Iout=%d,%d,%d VB=%d,%d,%d\n", r.Iin1, r.Iin2, r.Iin3, r.Iout1,
           r.Iout2, r.Iout3, r.VB1, r.VB2, r.VB3);
    return poll.Result();
}
