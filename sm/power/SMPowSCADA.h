#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// A generator set seen through its SCADA interface over Modbus RTU: four blocks of holding
// registers (101-116, 128-141, 199-201, 300) with frequency, power factors, powers sent as
// 32-bit values offset by 2,000,000,000, phase voltages and currents, coolant temperature,
// oil pressure, battery voltage and the automatic/manual state. Type 0x104; no commands.
class CSMPowSCADA : public CSMBase {
public:
    // The values in tbPowSCADA's column order. Field n of DataVal (and of tbSMDef, whose
    // rows number the voltages, currents, coolant temperature and oil pressure 14 to 21) is
    // value n - 1 of this list, for n = 2 to 24.
    enum Val : uint8_t {
        kZsjgl, kAsjgl, kBsjgl, kCsjgl,  // power, W: total, phases A-C (never polled: 0)
        kZwggl, kAwggl, kBwggl, kCwggl,  // reactive power: total, phases A-C
        kZglys, kAglys, kBglys, kCglys,  // power factor code: -1000, 0, 1000, 2000
        kAdy, kBdy, kCdy,                // phase voltage, 0.1 V
        kAdl, kBdl, kCdl,                // phase current, 0.01 A
        kOilTem,                         // coolant temperature, 0.1 C
        kOilPre,                         // oil pressure, tenths of its unit
        kVbatt,                          // battery voltage, 0.01 V
        kAutoOnOff,                      // automatic/manual state, 0-3
        kPl,                             // frequency, 0.1 Hz
        kValues
    };
    static constexpr int kFirstFld = 2;  // the field number of value 0

    CSMPowSCADA();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    int32_t m_val[kValues] = {};
};
