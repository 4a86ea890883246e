#pragma once
#include "ups/SMUpsBase.h"

// Galaxy 5000 three-phase UPS over SNMP: the agent reports its input and output line counts,
// then each line is read. Type 0x324. The agent is named by the point's address text.
class CSMSnmpUpsMgG5000 : public CSMUpsBase {
public:
    CSMSnmpUpsMgG5000();
    ~CSMSnmpUpsMgG5000() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
};
