#pragma once
// Diwen serial touch panel (type 0xB01, "QX-Diwen"): the DGus panel's frames
// (io/DiwenPanel.h) without a database side. Taking a new channel closes the previous one.
#include "SMBase.h"
#include "io/DiwenPanel.h"

class CSMAlmDiwen : public CSMBase, public qx::diwen::Panel<CSMAlmDiwen, qx::diwen::kDiwen> {
public:
    CSMAlmDiwen();

    using CSMBase::DoFunc;
    int GetMask() override { return 0; }
    void RegDb(IDbBase*, int) override {}
    int ChkDb(tagSMItem*) override { return 1; }
    int DataGet(ISerBase* ser, int, int) override { return ser && ser->IsOpened() ? 1 : 0; }
    int DataVal(int) override { return 0; }
    int DataUpd(int, int*, int*, int, IDbBase*) override { return 1; }
    int DoFunc(ISerBase* ser, int, int cmd, void* buf, int len) override { return PanelFunc(ser, cmd, buf, len); }
};
