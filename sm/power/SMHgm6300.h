#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Generator-set controller over Modbus RTU: 88 status coils and holding registers 0-34 in
// five reads; 67 coil states (coils 0-62 and 84-87) and 35 registers (10, 12 and 14 never
// read) kept and stored in tbHgm. Commands 30 and 31 switch coil 0 or 1 on. Type 0x107.
class CSMHgm6300 : public CSMBase {
public:
    static constexpr int kCoils = 67;  // fields 1-67: s00..s3e, s54..s57
    static constexpr int kRegs = 35;   // fields 68-102: r00..r22
    static constexpr int kFields = kCoils + kRegs;

    CSMHgm6300();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    struct Block {
        uint8_t s[kCoils];   // 0 or 1
        uint16_t r[kRegs];   // as read
    } m_val = {};
};
