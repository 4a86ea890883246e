#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// DB100 battery inspection unit: a string of up to 24 cells read with one Modbus function 3
// request of 30 holding registers. Type 0x400.
class CSMDb100 : public CSMBase {
public:
    CSMDb100();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int fld) override;
    // wait is not used.
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;

    static constexpr int kRegs = 30;
    static constexpr int kCells = 24;
    // DataSize: field numbers 1..34, the cells being fields 11..34, so that a host checks the
    // limits of every cell.
    static constexpr int kFields = 10 + kCells;

private:
    int16_t m_val[kRegs] = {};  // registers 0x200.. in order
    int m_valSid = -1;          // the point whose poll filled them
};
