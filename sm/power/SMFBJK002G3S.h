#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Monitoring unit of a -48 V DC power system over Modbus RTU: the line voltages of two AC
// inputs, the bus-bar voltage, the AC phase currents, the load current and a temperature
// (input registers 256-275), seven fault states (discrete inputs 256-260, 304-305) and four
// battery-group pairs (input registers 408, 438, 468, 498). Type 0x105; no commands.
class CSMFBJK002G3S : public CSMBase {
public:
    // Field numbers: the DataVal index, the tbSMDef Fld and the column order of
    // tbFBJK002G3S. Every value is its register or input as read.
    enum Fld : uint8_t {
        kDyuv1 = 1, kDyvw1, kDywu1,        // AC input 1 line voltages, 0.1 V
        kDyuv2, kDyvw2, kDywu2,            // AC input 2 line voltages, 0.1 V
        kDymp,                             // bus-bar voltage, 0.1 V
        kDlA, kDlB, kDlC,                  // AC phase currents, 0.1 A
        kDlfc,                             // load current, 0.1 A
        kTem,                              // temperature
        kStAC, kStDC, kStBatt, kStMod, kStPart, kStDCGY, kStDCQY,  // 0 normal, 1 fault
        kPBatt1, kPTem1, kPBatt2, kPTem2, kPBatt3, kPTem3, kPBatt4, kPTem4,
        kFields = kPTem4
    };

    CSMFBJK002G3S();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    int32_t m_val[kFields] = {};
};
