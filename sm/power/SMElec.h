#pragma once
#include <stdint.h>
#include <time.h>

#include <map>

#include "core/SMBase.h"

// Electricity meter: the default handler of category 0x01 (every code 0x1NN without a class
// of its own), reporting 0x100. One object serves every meter point; the point's Variant is
// the meter model, whose routine polls the meter and fills the 24 values. Besides the
// current row, summary and history rows it keeps the energy counted per day in tbElecM of
// the history database.
class CSMElec : public CSMBase {
public:
    // Field numbers: the DataVal index, the tbSMDef Fld and the column order of tbElec.
    enum Fld : uint8_t {
        kYgzdn = 1,                    // total active energy, Wh
        kZyggl, kAyggl, kByggl, kCyggl,  // active power, W: total, phases A, B, C
        kZwggl, kAwggl, kBwggl, kCwggl,  // reactive power, var
        kZszgl, kAszgl, kBszgl, kCszgl,  // apparent power, VA
        kZglys, kAglys, kBglys, kCglys,  // power factor, thousandths
        kPl,                           // frequency, hundredths of a hertz
        kAdy, kBdy, kCdy,              // phase voltage, tenths of a volt
        kAdl, kBdl, kCdl,              // phase current, hundredths of an ampere
        kFields = kCdl
    };

    CSMElec();
    ~CSMElec() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;
    int VarEval(char* text) override;

    // Modbus write request with data into m_cmd: address, function, register, count, byte
    // count 2 * count, the data, CRC low byte first. Returns the length (0 when it does not
    // fit m_cmd).
    int ModBusCmdN(unsigned char addr, unsigned char func, unsigned short reg,
                   unsigned short count, unsigned char* data);

    // The day key of a local time: (tm_year + 1) * 10000 + (tm_mon + 1) * 100 + tm_yday.
    // Unique per day, growing from day to day, never 0.
    static int DayKey(time_t t);

    // Meter model routines, by the point's Variant. Each polls with the fixed waits of its
    // model and, when every exchange of the model succeeded, stores the values and answers 1;
    // at the first failure it answers 0 and the values stay as they were.
    typedef int (CSMElec::*ModelGet)(ISerBase* ser, int addr, int wait);
    static const int kModelCount = 35;
    static const ModelGet kModels[kModelCount];  // null: no routine for that number

    int DataGet_HCxxx(ISerBase* ser, int addr, int wait);  // model 0, the default

    int32_t m_val[kFields];          // the values of the last successful poll, field order
    int32_t m_iLastDay;              // DataUpd scratch: the last day key of the SID updated
    std::map<int, int> m_mapDay;     // SID -> day key of its last per-day row written or found

private:
    // The per-day energy rows of the point on the history database.
    void DayEnergy(IDbBase* hist, int sid, int type);
};
