#include "ups/SMSnmpUpsZh20kl.h"

#include <stdio.h>

#include "ups/SnmpUpsFields.h"

namespace {

#define EX SNMP_EX
#define A "1.3.6.1.4.1.30966.1."
#define B "1.3.6.1.4.1.45514.2."

const qx::SnmpStep kFirst[] = {
    qx::SnmpGet10("." A "2.1.0", EX(Vin1)),   qx::SnmpGet10("." A "2.4.0", EX(Fin1)),
    qx::SnmpGet10("." A "2.5.0", EX(Vin2)),   qx::SnmpGet10("." A "2.8.0", EX(Fin2)),
    qx::SnmpGet10("." A "2.9.0", EX(Vin3)),   qx::SnmpGet10("." A "2.12.0", EX(Fin3)),
    qx::SnmpGet10("." A "4.1.0", EX(Vout1)),  qx::SnmpGet10("." A "4.2.0", EX(Pout1)),
    qx::SnmpGet10("." A "4.3.0", EX(Vout2)),  qx::SnmpGet10("." A "4.4.0", EX(Pout2)),
    qx::SnmpGet10("." A "4.5.0", EX(Vout3)),  qx::SnmpGet10("." A "4.6.0", EX(Pout3)),
    qx::SnmpGet10("." A "4.7.0", EX(Fout1)),  qx::SnmpGet10("." A "4.8.0", EX(Fout2)),
    qx::SnmpGet10("." A "4.9.0", EX(Fout3)),
    qx::SnmpGet10("." A "9.1.0", EX(VB1)),    qx::SnmpGet10("." A "9.2.0", EX(VB2)),
    qx::SnmpGet10("." A "9.3.0", EX(VB3)),
    qx::SnmpGet10("." A "9.4.0", EX(FB1)),    qx::SnmpGet10("." A "9.5.0", EX(FB2)),
    qx::SnmpGet10("." A "9.6.0", EX(FB3)),
    qx::SnmpGet10("." A "3.1.0", EX(Vbatt)),  qx::SnmpGet10("." A "3.2.0", EX(Tem)),
    qx::SnmpGet10("." A "3.3.0", EX(Pbatt)),  qx::SnmpGet10("." A "3.4.0", EX(Mbatt)),
    qx::SnmpFlag("." A "8.1.0", EX(b0), 0),   qx::SnmpFlag("." A "8.2.0", EX(b1), 1),
    qx::SnmpFlag("." A "8.3.0", EX(b2), 2),   qx::SnmpFlag("." A "8.4.0", EX(b3), 3),
    qx::SnmpFlag("." A "8.5.0", EX(b4), 4),   qx::SnmpFlag("." A "8.6.0", EX(b5), 5),
    qx::SnmpFlag("." A "8.7.0", EX(b6), 6),   qx::SnmpFlag("." A "8.8.0", EX(b7), 7),
    qx::SnmpFlag("." A "8.9.0", EX(b8), 8),   qx::SnmpFlag("." A "8.10.0", EX(b9), 9),
};

const qx::SnmpStep kSecond[] = {
    qx::SnmpGet("." B "2.1.0", EX(Vin1)),  qx::SnmpGet("." B "2.2.0", EX(Vin2)),
    qx::SnmpGet("." B "2.3.0", EX(Vin3)),
    qx::SnmpGet("." B "2.7.0", EX(Iin1)),  qx::SnmpGet("." B "2.8.0", EX(Iin2)),
    qx::SnmpGet("." B "2.9.0", EX(Iin3)),
    qx::SnmpGet("." B "2.12.0", EX(Fin1), EX(Fin2), EX(Fin3)),
    qx::SnmpGet("." B "6.1.0", EX(Vout1)), qx::SnmpGet("." B "6.2.0", EX(Vout2)),
    qx::SnmpGet("." B "6.3.0", EX(Vout3)),
    qx::SnmpGet("." B "6.7.0", EX(Iout1)), qx::SnmpGet("." B "6.8.0", EX(Iout2)),
    qx::SnmpGet("." B "6.9.0", EX(Iout3)),
    qx::SnmpGet("." B "6.13.0", EX(Pout1)), qx::SnmpGet("." B "6.14.0", EX(Pout2)),
    qx::SnmpGet("." B "6.15.0", EX(Pout3)),
    qx::SnmpGet("." B "6.12.0", EX(Fout1), EX(Fout2), EX(Fout3)),
    qx::SnmpGet("." B "4.1.0", EX(VB1)),   qx::SnmpGet("." B "4.2.0", EX(VB2)),
    qx::SnmpGet("." B "4.3.0", EX(VB3)),
    qx::SnmpGet("." B "4.7.0", EX(IB1)),   qx::SnmpGet("." B "4.8.0", EX(IB2)),
    qx::SnmpGet("." B "4.9.0", EX(IB3)),
    qx::SnmpGet("." B "4.12.0", EX(FB1), EX(FB2), EX(FB3)),
    qx::SnmpGet("." B "8.1.0", EX(Vbatt)), qx::SnmpGet("." B "8.3.0", EX(Pbatt)),
    qx::SnmpGet("." B "8.4.0", EX(Mbatt)), qx::SnmpGet("." B "12.4.0", EX(Tem)),
    qx::SnmpFlag("." B "3.1.0", EX(b0), 0),   qx::SnmpFlag("." B "9.1.0", EX(b1), 1),
    qx::SnmpFlag("." B "9.4.0", EX(b2), 2),   qx::SnmpFlag("." B "9.5.0", EX(b3), 3),
    qx::SnmpFlag("." B "12.1.0", EX(b4), 4),  qx::SnmpFlag("." B "12.5.0", EX(b5), 5),
    qx::SnmpFlag("." B "5.1.0", EX(b6), 6),   qx::SnmpFlag("." B "7.4.0", EX(b7), 7),
    qx::SnmpFlag("." B "7.1.0", EX(b8), 8),   qx::SnmpFlag("." B "7.2.0", EX(b9), 9),
    qx::SnmpFlag("." B "7.3.0", EX(b10), 10), qx::SnmpFlag("." B "10.1.0", EX(b11), 11),
    qx::SnmpFlag("." B "11.1.0", EX(b12), 12), qx::SnmpFlag("." B "11.2.0", EX(b13), 13),
    qx::SnmpFlag("." B "11.3.0", EX(b14), 14),
};

}  // namespace

CSMSnmpUpsZh20kl::CSMSnmpUpsZh20kl() : CSMUpsBase(0x323) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-ZH20KL");
}

CSMSnmpUpsZh20kl::~CSMSnmpUpsZh20kl() {}

int CSMSnmpUpsZh20kl::DoItem(tagSMItem* item, int n) {
    m_points.Switch(m_rec, item);
    return CSMUpsBase::DoItem(item, n);
}

int CSMSnmpUpsZh20kl::DataGet(ISerBase*, int, int) {
    qx::SnmpPoll poll;
    if (!poll.Open(m_pItem, "UpsZh20kl SNMP.err %s\n")) return 0;
    if (m_pItem->Variant == 1) poll.Run(kFirst, &m_rec, sizeof m_rec);
    else poll.Run(kSecond, &m_rec, sizeof m_rec);
    // Each flag answering nonzero sets its own bit; the flag fields keep the values delivered.
    m_rec.status = (int32_t)poll.FlagWord();
    return poll.Result();
}
