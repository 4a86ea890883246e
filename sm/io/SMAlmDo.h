#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// The controller's built-in dry-contact alarm outputs (DO), switched on the host's command
// through the GPIO channel; a state byte kept in tbDio. Type 0xA02.
class CSMAlmDo : public CSMBase {
public:
    CSMAlmDo();

    int GetMask() override { return 1; }
    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int i) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    uint8_t m_b[9];  // byte 0 Dio, bytes 1..8 D01..D08 (no operation sets these)
};
