#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ups/SMUpsTbUps.h"

// Symmetra and compatible UPS over Modbus RTU (type 0x307), kept in tbUps with SANTAK's
// definition rows, columns and summary. A poll reads five status registers from 0 and 45
// measurement registers from 7; an abnormal state of a point is withheld twice and written
// the third time. No control command.
class CSMUpsSymmetra : public CSMUpsTbUps {
public:
    CSMUpsSymmetra();
    ~CSMUpsSymmetra() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;

    // The wait before each reply: the host's wait when above 100 ms, else 100 ms.
    static int ReplyWait(int wait) { return wait > 100 ? wait : 100; }

protected:
    void BriefText(char* out, size_t size) override;
};
