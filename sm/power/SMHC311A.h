#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Single-phase DIN-rail energy meter HC-311A over Modbus RTU: its scaling factors (holding
// registers 2, 3, 16, 17), instantaneous values (input registers 0-7), eight energy counters
// (holding registers 64-79) and its output relay (coil 0), which a command switches. The
// values go to tbHC311A. Type 0x106.
class CSMHC311A : public CSMBase {
public:
    // Field numbers: the DataVal index, the tbSMDef Fld and (but for the factors 25-28) the
    // tbHC311A columns. Unsigned fields hold their 32 bits.
    enum Fld : uint8_t {
        kAU = 1, kBU, kCU,            // voltage, 0.1 V (B and C: 0)
        kAI, kBI, kCI,                // current, 0.1 A (B and C: 0)
        kAS, kBS, kCS, kS,            // apparent power, VA (per phase: 0)
        kFR,                          // frequency, 0.01 Hz
        kAP, kBP, kCP, kP,            // active power, W (signed; per phase: 0)
        kAQ, kBQ, kCQ, kQ,            // reactive power, var (signed)
        kAPF, kBPF, kCPF, kPF,        // power factor, thousandths (signed)
        kTemp,                        // module temperature, 0.1 C (signed)
        kKU1, kKU2, kKI1, kKI2,       // factors: holding registers 2, 16, 3, 17
        kEpPH, kEpNH, kEqPH, kEqNH,   // energy counters
        kEpTotal, kEpNet, kEqTotal, kEqNet,  // net counters signed
        kRelayState,                  // 1 relay closed, 0 open
        kFields = kRelayState
    };

    CSMHC311A();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    int32_t m_val[kFields] = {};

private:
    // Every value but the four factors to 0.
    void ClearValues();
};
