#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// ADU1000 battery inspection unit: 49 cell voltages and two battery groups (total voltage,
// current, temperature) read in one YD/T 1363 exchange. Type 0x401.
class CSMADU1000 : public CSMBase {
public:
    CSMADU1000();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int fld) override;
    // wait is not used: the reply is read as it comes.
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;

    static constexpr int kFields = 58;
    static constexpr int kCells = 49;

private:
    // The reply of one poll decoded into the value block (fields 1..58 at [0..57]); false,
    // with the block unchanged, when it is not a whole checked reply of 470 characters.
    bool Decode(const uint8_t* reply, int n);

    uint16_t m_val[kFields] = {};
    int m_valSid = -1;  // the point whose poll filled the block
};
