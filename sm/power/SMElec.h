#pragma once
#include <stdint.h>
#include <time.h>

#include <array>
#include <climits>
#include <map>

#include "core/ReplyCheck.h"
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

    // ------------------------------------------------------------ models as data
    // Most models are a fixed list of read requests and a decode of their replies. A model
    // declares them as a MeterModel and its routine is one call of RunModel:
    //
    //   const CSMElec::MeterStep kSteps12[] = {{3, 0, 18, 100}};
    //   void Decode12(const CSMElec::MeterReplies& x, int32_t* v) { v[kYgzdn - 1] = ...; }
    //   const CSMElec::MeterModel kModel12 = {kSteps12, 1, CSMElec::kZeroFirst, Decode12};
    //   int CSMElec::DataGet_DDSD1352(ISerBase* s, int a, int w) { return RunModel(kModel12, s, a); }
    //
    // The shared exchange purges the channel before every request and checks every reply
    // (CRC, function, exception, byte count).
    struct MeterStep {
        uint8_t function;   // 1 to 4
        uint16_t reg;       // first register (see MeterModel::start)
        uint16_t count;     // registers asked for
        uint16_t waitMs;    // wait between request and reply
    };
    static const int kMaxSteps = 6;
    // The checked replies of one poll, in step order, each with the register it starts at.
    struct MeterReplies {
        qx::MbReply r[kMaxSteps];
        int start[kMaxSteps];
        int n;
        int ext1, ext2;  // the point's Ext1 and Ext2
        // Registers of the reply that holds reg (searched from the last step back, so a
        // model that reads a register twice gets the later reading). Values that did not
        // arrive whole read 0.
        uint16_t U16(int reg) const;
        int16_t S16(int reg) const { return (int16_t)U16(reg); }
        uint32_t U32(int reg) const;  // reg the high word
        uint32_t W32(int reg) const;  // reg the low word
        // IEEE singles: the bit pattern of U32(reg) (high word first) or W32(reg) (low word
        // first); 0.0 when the registers did not arrive.
        float F32(int reg) const;
        float WF32(int reg) const;
        // Register reg of step i's reply only (for steps whose registers overlap another
        // step's of another function); 0 when it did not arrive.
        uint16_t At(int i, int reg) const;
        bool Has(int reg) const;
        // Bytes of step i's reply by reply offset (the address byte being offset 0): the
        // big-endian value of width bytes at offset off, 0 unless every byte arrived.
        uint64_t Off(int i, int off, int width) const;
    };
    typedef void (*MeterDecode)(const MeterReplies& x, int32_t* v);
    enum MeterFlags : uint8_t {
        kZeroFirst = 1,  // every field not decoded reads 0; else it keeps the last poll's value
    };
    struct MeterModel {
        const MeterStep* steps;
        uint8_t count;
        uint8_t flags;                // MeterFlags
        MeterDecode decode;
        qx::MbFraming framing;        // Tcp: MBAP framing, transaction ids from m_tid
        int (*start)(int ext1);       // when set, the first register of step 0 by Ext1
    };
    // Runs the steps in order, stopping at the first that fails; when all answered, decodes
    // them into a copy of the values and stores it: 1. A failed poll leaves every value as
    // it was: 0.
    int RunModel(const MeterModel& model, ISerBase* ser, int addr);

    // Transaction id of the next Modbus TCP request: counts up from 1 across every point
    // this handler serves, 65535 is followed by 0.
    uint16_t m_tid;

    int DataGet_KINGWEB(ISerBase* ser, int addr, int wait);      // 1
    int DataGet_WBxxx(ISerBase* ser, int addr, int wait);        // 2
    int DataGet_AYNX(ISerBase* ser, int addr, int wait);         // 3
    int DataGet_DSG(ISerBase* ser, int addr, int wait);          // 4
    int DataGet_DTSD1352(ISerBase* ser, int addr, int wait);     // 5
    int DataGet_XJJC(ISerBase* ser, int addr, int wait);         // 6
    int DataGet_DAM3503A(ISerBase* ser, int addr, int wait);     // 8
    int DataGet_JPMCWB(ISerBase* ser, int addr, int wait);       // 10 (RTU), 13 (TCP)
    int DataGet_DDSD1352(ISerBase* ser, int addr, int wait);     // 12
    int DataGet_SPM33(ISerBase* ser, int addr, int wait);        // 14
    int DataGet_ELCLXD(ISerBase* ser, int addr, int wait);       // 15
    int DataGet_ENT500M_INT(ISerBase* ser, int addr, int wait);  // 17 (F3), 21 (F4)
    int DataGet_ENTPD1150E(ISerBase* ser, int addr, int wait);   // 18
    int DataGet_YD2037(ISerBase* ser, int addr, int wait);       // 19
    int DataGet_ElcComb(ISerBase* ser, int addr, int wait);      // 26
    int DataGet_ElcHczy(ISerBase* ser, int addr, int wait);      // 27
    int DataGet_HC33B1(ISerBase* ser, int addr, int wait);       // 28
    int DataGet_TW13011(ISerBase* ser, int addr, int wait);      // 30
    int DataGet_DTSD3366(ISerBase* ser, int addr, int wait);     // 32
    int DataGet_YD2010(ISerBase* ser, int addr, int wait);       // 33
    int DataGet_XSY(ISerBase* ser, int addr, int wait);          // 34

    // Models with floating-point registers.
    int DataGet_NKL194E(ISerBase* ser, int addr, int wait);         // 7
    int DataGet_ELECLED(ISerBase* ser, int addr, int wait);         // 9
    int DataGet_ELECZQ(ISerBase* ser, int addr, int wait);          // 11
    int DataGet_ENT500M_FLOAT(ISerBase* ser, int addr, int wait);   // 16 (F3), 20 (F4)
    int DataGet_ELCLCD(ISerBase* ser, int addr, int wait);          // 22
    int DataGet_ELCATS(ISerBase* ser, int addr, int wait);          // 23
    int DataGet_ELCTJYD(ISerBase* ser, int addr, int wait);         // 24
    int DataGet_ELC194E(ISerBase* ser, int addr, int wait);         // 25
    int DataGet_SDXXE(ISerBase* ser, int addr, int wait);           // 29
    int DataGet_ElcX(ISerBase* ser, int addr, int wait);            // 31

    // A single-precision value times mul, divided by div (0: not), truncated toward zero;
    // 0 where the value is not a number, infinite, or its scaled value does not fit 32 bits.
    static int32_t FloatField(float x, float mul, float div);

    int32_t m_val[kFields];          // the values of the last successful poll, field order
    int32_t m_iLastDay;              // DataUpd scratch: the last day key of the SID updated
    std::map<int, int> m_mapDay;     // SID -> day key of its last per-day row written or found

    // The values belong to the point they were read for: a model that leaves fields as they
    // were (no zero first) and the models that keep values through a failed poll keep that
    // point's own, never the last point's. Called with the current point; the first point
    // takes the block as it is.
    void OwnValues();
    int m_valSid = INT_MIN;                                // the point m_val belongs to
    std::map<int, std::array<int32_t, kFields>> m_kept;    // SID -> its values when last left

private:
    // The per-day energy rows of the point on the history database.
    void DayEnergy(IDbBase* hist, int sid, int type);
};
