#pragma once
#include "ups/SMUpsBase.h"

// HTxx three-phase UPS over Modbus RTU (type 0x315), kept in tbUpsEx. Holding registers
// 13..69 give the phase values and the battery; input registers 83..139 the sixteen status
// words, stored as they come in b15..b0.
class CSMUpsHTxx : public CSMUpsBase {
public:
    CSMUpsHTxx();

    int DataGet(ISerBase* channel, int address, int wait) override;
    int ChkDef(IDbBase* db, int force) override;
};
