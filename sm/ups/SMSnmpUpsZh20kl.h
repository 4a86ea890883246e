#pragma once
#include "engines/SnmpPoll.h"
#include "ups/SMUpsBase.h"

// Three-phase UPS over SNMP with two object sets: the point's Variant 1 reads the first set
// (values times ten, flags 8.1 to 8.10), any other Variant the second (values as delivered,
// 15 flags). Type 0x323. The record is never cleared by a poll: the fields of the chosen set
// are written (0 where a GET gave nothing), the others keep the point's last values.
class CSMSnmpUpsZh20kl : public CSMUpsBase {
public:
    CSMSnmpUpsZh20kl();
    ~CSMSnmpUpsZh20kl() override;

    int DoItem(tagSMItem* item, int n) override;
    int DataGet(ISerBase* channel, int address, int wait) override;

private:
    qx::SnmpPointRecords<UpsExRecord> m_points;
};
