#pragma once
// DGus serial touch panel (type 0xB00, "QX-DGus"): writes variables, the page shown and the
// clock of the panel (io/DiwenPanel.h); nothing is read back. Its state row goes to the host's
// tbAlmGsm; its own table tbAlmDGus holds the points' current rows.
#include "SMBase.h"
#include "io/DiwenPanel.h"

class CSMDGusMonitor : public CSMBase, public qx::diwen::Panel<CSMDGusMonitor, qx::diwen::kDGus> {
public:
    CSMDGusMonitor();

    using CSMBase::DoFunc;
    int GetMask() override { return 0; }
    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int) override { return 0; }
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int, int cmd, void* buf, int len) override { return PanelFunc(ser, cmd, buf, len); }
};
