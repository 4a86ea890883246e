#pragma once
#include "ups/SMUpsBase.h"

// Galaxy 5000 three-phase UPS over Modbus RTU (type 0x318), kept in tbUpsEx. A poll reads 76
// measurement registers from 256, then 16 status registers from 64. No control command.
class CSMUpsApcMegGalaxy5000 : public CSMUpsBase {
public:
    CSMUpsApcMegGalaxy5000();
    ~CSMUpsApcMegGalaxy5000() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int ChkDef(IDbBase* db, int force) override;

    // The wait before each reply: the host's wait when above 100 ms, else 200 ms.
    static int ReplyWait(int wait) { return wait > 100 ? wait : 200; }
};
