#pragma once
#include "SMUpsTbUps.h"

// GXGD UPS (type 0x310): the Q1 status request alone, values kept in hundredths; the battery
// voltage is scaled by the point's Ext1 (thousandths).
class CSMUpsGXGD : public CSMUpsTbUps {
public:
    CSMUpsGXGD();
    ~CSMUpsGXGD() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    using CSMBase::DoFunc;

protected:
    void BriefText(char* out, size_t size) override;
};
