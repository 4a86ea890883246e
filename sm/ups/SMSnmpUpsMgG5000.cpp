#include "ups/SMSnmpUpsMgG5000.h"

#include <stdio.h>

#include "ups/SnmpUpsFields.h"

namespace {

#define EX SNMP_EX
#define PHASES SNMP_EX3
#define M ".1.3.6.1.4.1.705.1."

// The objects of one line (%d its number 1..3) and the fields of lines 1..3.
struct LineObject {
    const char* oid;
    uint16_t at[3];
};
const LineObject kInput[] = {
    {M "6.2.1.2.%d", PHASES(Vin)}, {M "6.2.1.3.%d", PHASES(Fin)}, {M "6.2.1.6.%d", PHASES(Iin)},
};
const LineObject kOutput[] = {
    {M "7.2.1.2.%d", PHASES(Vout)}, {M "7.2.1.3.%d", PHASES(Fout)},
    {M "7.2.1.4.%d", PHASES(Pout)}, {M "7.2.1.5.%d", PHASES(Iout)},
};

const qx::SnmpStep kFixed[] = {
    qx::SnmpGet(M "5.5.0", EX(Vbatt)), qx::SnmpGet(M "5.7.0", EX(Tem)),
    qx::SnmpGet(M "5.2.0", EX(Pbatt)), qx::SnmpGet(M "5.1.0", EX(Mbatt)),
    qx::SnmpFlag(M "6.3.0", EX(b0), 0),  qx::SnmpFlag(M "6.4.0", EX(b1), 1),
    qx::SnmpFlag(M "7.3.0", EX(b2), 2),  qx::SnmpFlag(M "7.4.0", EX(b3), 3),
    qx::SnmpFlag(M "7.5.0", EX(b4), 4),  qx::SnmpFlag(M "7.6.0", EX(b5), 5),
    qx::SnmpFlag(M "7.7.0", EX(b6), 6),  qx::SnmpFlag(M "7.10.0", EX(b7), 7),
    qx::SnmpFlag(M "7.11.0", EX(b8), 8), qx::SnmpFlag(M "5.9.0", EX(b9), 9),
};

}  // namespace

CSMSnmpUpsMgG5000::CSMSnmpUpsMgG5000() : CSMUpsBase(0x324) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-MG Galaxy5000");
}

CSMSnmpUpsMgG5000::~CSMSnmpUpsMgG5000() {}

int CSMSnmpUpsMgG5000::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsZh20kl SNMP.err %s\n")) return 0;
    ClearRecord();
    struct Group {
        const char* count;
        const LineObject* objects;
        size_t n;
    } groups[] = {{M "6.1.0", kInput, 3}, {M "7.1.0", kOutput, 4}};
    for (const Group& g : groups) {
        int32_t lines = 0;
        poll.Get(g.count, lines);
        // Only three lines have fields: more are not asked for, a negative count is none.
        if (lines > 3) lines = 3;
        for (int i = 0; i < lines; i++) {
            for (size_t k = 0; k < g.n; k++) {
                char oid[64];
                snprintf(oid, sizeof oid, g.objects[k].oid, i + 1);
                const qx::SnmpStep s = qx::SnmpGet(oid, g.objects[k].at[i]);
                poll.Run(&s, 1, &m_rec, sizeof m_rec);
            }
        }
    }
    poll.Run(kFixed, &m_rec, sizeof m_rec);
    m_rec.status = (int32_t)poll.FlagWord();
    return poll.Result();
}
