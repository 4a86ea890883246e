#pragma once
#include <stdint.h>

#include <map>

#include "power/SMBattBase.h"

// BAT100 battery monitor. Type 0x402.
class CSMBatt100 : public CSMBattBase {
public:
    CSMBatt100();

    int DataVal(int fld) override;
    // count: the cells to read in this poll (0: the stored count), not a wait.
    int DataGet(ISerBase* ser, int addr, int count) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    static constexpr int kCells = 256;

private:
    struct Group {
        uint16_t curr1 = 0, curr2 = 0, volt = 0, fourth = 0;
    };
    bool ReadBlock(ISerBase* ser, int addr, int base, int k, uint16_t* array, int* got);
    void ClearCells();

    Group m_group;                  // group block of the current point
    std::map<int, Group> m_groups;  // last decoded group block per SID
    int m_cellsSid = -1;            // the point whose poll filled the arrays
    uint16_t m_v[kCells] = {}, m_r[kCells] = {}, m_t[kCells] = {}, m_t2[kCells] = {};
};
