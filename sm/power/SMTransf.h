#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Temperature controller of a dry-type transformer over Modbus RTU: the winding temperatures of
// phases A, B and C and of the iron core with a fault flag per sensor (input registers 0-3)
// and the device's four state bits (coils 0-3). Type 0x103; it takes no commands.
class CSMTransf : public CSMBase {
public:
    // Field numbers: the DataVal index, the tbSMDef Fld and the column order of tbTransf.
    enum Fld : uint8_t {
        kTemA = 1, kTemB, kTemC, kTemI,          // temperatures, degrees C
        kStSenA, kStSenB, kStSenC, kStSenI,      // sensor of each: 0 normal, 1 fault
        kStSen, kStWind, kStAlm, kStTrip,        // coils 0-3: sensor, fan, alarm, trip
        kFields = kStTrip
    };

    CSMTransf();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    int32_t m_val[kFields] = {};  // the values of the last poll, field order
};
