#pragma once
#include <stdint.h>

#include "core/SMBase.h"
#include "core/ReplyCheck.h"

// Water-leak detectors over Modbus RTU: every leak code 0x6xx shares this handler, which
// reports 0x600. The item's Variant names the detector model and its register map: locating
// (sensing-cable) controllers that report where along the cable the water is, and a plain
// detector with a state word. Model 1 takes its cable length from the item's Ext1 and writes
// it to the device once (Ext1 then reads negative).
class CSMLeak : public CSMBase {
public:
    CSMLeak();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int VarEval(char* text) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    // A write of count registers without a byte count (the models' own form): address,
    // function, register, count, 2 * count data bytes, CRC. Returns its length, 8 + 2 * count;
    // 0 when it does not fit m_cmd.
    int ModBusCmdN(int addr, int function, int reg, int count, const uint8_t* data);

    // Value block, fields 1 to 8.
    struct Values {
        uint8_t kind;    // 1 locating models, 0 the plain detector
        uint8_t status;  // 1 leak (the plain detector: its raw state byte)
        uint8_t lineRB;  // red/black sensing wire broken
        uint8_t lineYG;  // yellow/green sensing wire broken
        int32_t locate;  // leak position, tenths of a metre
        int32_t lmd;     // a further register per model
        int32_t cable;   // cable length, tenths of a metre
        int32_t extra;   // model 1's register 11; only DataVal(8) reads it
    };
    Values m_v = {};

    // One read of a model's map and what its reply fills.
    struct Read {
        uint8_t function;
        uint16_t reg;
        uint8_t count;
        void (*decode)(Values& v, const qx::MbReply& r);
    };

private:
    // The readings as the device means them: a plain detector's state above 1 is a fault of
    // its wires, with no position, length or register; a position beyond 100 m or beyond the
    // cable is none. Run on every poll read, so that the host's limits judge what is stored.
    void Settle();
    // Model 1's length write, once per positive Ext1.
    void WriteLength(ISerBase* ser, int addr, int waitMs);
};
