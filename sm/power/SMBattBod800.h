#pragma once
#include <stdint.h>

#include "power/SMBattBase.h"

// BOD-800 battery monitor. Type 0x404.
class CSMBattBod800 : public CSMBattBase {
public:
    CSMBattBod800();

    int DataVal(int fld) override;
    // count: the cells to read in this poll (0: the stored count), not a wait.
    int DataGet(ISerBase* ser, int addr, int count) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    static constexpr int kCells = 128;
    static constexpr uint16_t kNoReply = 256;  // status of a cell without a valid reply

private:
    void ClearCells();

    int m_cellsSid = -1;  // the point whose poll filled the arrays
    uint16_t m_st[kCells], m_v[kCells] = {}, m_t[kCells] = {};
};
