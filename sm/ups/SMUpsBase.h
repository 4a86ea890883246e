#pragma once
#include <stddef.h>
#include <stdint.h>

#include <initializer_list>
#include <vector>

#include "SMBase.h"
#include "SMSql.h"

// Base of the three-phase UPS drivers: the tbUpsEx record (input, output and bypass voltage,
// current and frequency per phase, battery, rating, state bytes and identification texts),
// the table tbUpsEx with its current row and history row, the default definition rows, the
// summary and the display texts of VarEval. It talks to no device: DataGet and DoFunc are
// 0 here. A driver on it is its constructor, its DataGet and, where its rows differ, its
// ChkDef:
//
//   CSMUpsX::CSMUpsX() : CSMUpsBase(0x3nn) { snprintf(m_note, sizeof m_note, "QXUPS-X"); }
//
//   // Reply columns -> record fields, one row per value (a sample reply above them).
//   static const struct { int offset; uint8_t fld; } kFloats[] = {
//       {15, kExVin1}, {23, kExVin2}, {31, kExVin3}, ...
//   };
//   int CSMUpsX::DataGet(ISerBase* ch, int addr, int wait) {
//       uint8_t rx[512];
//       qx::YdReply r = qx::YdRequest(ch, 0x21, addr, 0x2A, 0x42, nullptr, 0, rx, sizeof rx,
//                                     wait, 23 + 8);     // reads up to character 30
//       if (!r.ok()) return 0;                            // record untouched
//       ClearRecord();
//       for (auto& f : kFloats) *Field(f.fld) = ToInt(TE_Ascii2float(rx + f.offset, 8) * 10.0f);
//       PackStatus();
//       return 1;
//   }
//   int CSMUpsX::ChkDef(IDbBase* db, int force) { return DefRows(db, force, kRows, 43); }
//
// What the base gives a driver:
//   m_rec            the record; field numbers (DataVal, tbSMDef Fld, alarm bit n-1) below
//   Field(fld)       the int32 of a value field (1..51, 55..63), null for others
//   ClearRecord()    every value, the reserved block and the texts to 0 (flags and divisor
//                    stay); ClearRange(first, last) only the int32 fields first..last in
//                    memory order (both of m_rec)
//   PackStatus()     status = b15 * 2^15 + ... + b1 * 2 + b0, a plain sum of the stored bytes
//   ToInt(x)         a device's float product as int: truncated toward zero when finite and
//                    in range, saturated beyond it, 0 for NaN
//   DefRows(...)     ChkDef's contract for a driver's own rows: NeedDef, then the rows
//                    (given whole, or as runs of the base's rows and its own)
//   m_flags[2]       two bytes for the driver's own use (false from the constructor)
//   m_iDivisor       100: the summary shows hundredths; anything else: tenths (10 here)
// RegDb, ChkDb, DataVal, DataUpd (state, current row, summary with the alarm captions,
// history row; texts escaped) and VarEval are the base's.

// Field numbers of the record: the DataVal index, the tbSMDef Fld and the alarm bit (n-1).
enum UpsExFld : uint8_t {
    kExVin1 = 1, kExVin2, kExVin3, kExVout1, kExVout2, kExVout3,            // 1..6
    kExIin1, kExIin2, kExIin3, kExIout1, kExIout2, kExIout3,                // 7..12
    kExFin1, kExFin2, kExFin3, kExFout1, kExFout2, kExFout3,                // 13..18
    kExPout1, kExPout2, kExPout3, kExTem, kExStatus,                        // 19..23
    kExB15, kExB14, kExB13, kExB12, kExB11, kExB10, kExB9, kExB8,           // 24..31
    kExB7, kExB6, kExB5, kExB4, kExB3, kExB2, kExB1, kExB0,                 // 32..39
    kExVbatt, kExPbatt, kExMbatt,                                           // 40..42
    kExVed, kExAed, kExVAed, kExVdc, kExFed,                                // 43..47
    kExV1, kExV2, kExV3, kExV4,                                             // 48..51
    kExCompany, kExMode, kExVersion,                                        // 52..54
    kExVB1, kExVB2, kExVB3, kExIB1, kExIB2, kExIB3, kExFB1, kExFB2, kExFB3, // 55..63
    kExLastField = kExFB3
};

// The tbUpsEx record in memory order, which is also the order of the table's columns (the
// reserved block has no column and no field number).
struct UpsExRecord {
    int32_t Vin1, Vin2, Vin3;
    int32_t Vout1, Vout2, Vout3;
    int32_t VB1, VB2, VB3;
    int32_t Iin1, Iin2, Iin3;
    int32_t Iout1, Iout2, Iout3;
    int32_t IB1, IB2, IB3;
    int32_t Fin1, Fin2, Fin3;
    int32_t Fout1, Fout2, Fout3;
    int32_t FB1, FB2, FB3;
    int32_t Pout1, Pout2, Pout3;
    int32_t Tem;
    int32_t status;
    int32_t b15, b14, b13, b12, b11, b10, b9, b8, b7, b6, b5, b4, b3, b2, b1, b0;
    int32_t reserved[16];
    int32_t Vbatt, Pbatt, Mbatt;
    int32_t Ved, Aed, VAed, Vdc, Fed;
    int32_t v1, v2, v3, v4;
    char company[16];
    char mode[12];
    char version[12];
};

// "create table tbUpsEx(...)": the columns after the table name.
extern const char kUpsExCreate[];
// The base's 47 definition rows, in registration order.
extern const qx::sql::DefRow kUpsExDefRows[47];

// Row forms shared by the three-phase drivers' definition rows: an analog value in tenths with
// its low and high limits (q names the quantity in the limit texts), a state value with its
// legend, and a fault flag with its legend (alarm kind 1: any value but 0 is the fault).
#define UPSEX_LOW(q) "最小值|允许最低" q ",低于此值告警"
#define UPSEX_HIGH(q) "最大值|允许最高" q ",超过此值告警"
#define UPSEX_ANALOG(fld, name, cap, lo, hi, q) \
    {fld, name, 1, cap, 10, 10, lo, UPSEX_LOW(q), hi, UPSEX_HIGH(q), 0}
#define UPSEX_STATE(fld, name, cap, legend, high) {fld, name, 1, cap, 1, 0, 0, legend, 0, high, 0}
#define UPSEX_FAULT(fld, name, cap, legend, high) {fld, name, 1, cap, 1, 1, 0, legend, 0, high, 0}

class CSMUpsBase : public CSMBase {
public:
    explicit CSMUpsBase(int type);
    ~CSMUpsBase() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int field) override;
    int DataGet(ISerBase* channel, int address, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;
    using CSMBase::DoFunc;
    int VarEval(char* text) override;

    // The definition rows of the type: NeedDef, then the rows. 0 when none were needed, else
    // the last insert's result.
    virtual int ChkDef(IDbBase* db, int force);

    // The summary without the alarm text, as DataUpd writes it after a poll that answered.
    void BriefText(char* out, size_t size) const;

    // A device's float product as int: truncated toward zero when finite and within the int
    // range, saturated beyond it, 0 for NaN.
    static int32_t ToInt(double v);

    UpsExRecord m_rec;
    uint8_t m_flags[2];
    int32_t m_iDivisor;

protected:
    // The fields with a definition row that the current point's poll does not read: DataUpd
    // passes over their alarm bits (state and alarm captions), since their 0 is no reading.
    virtual std::vector<int> UnreadFields() const { return {}; }

    int32_t* Field(int fld);
    const int32_t* Field(int fld) const;
    void ClearRecord();
    void ClearRange(int32_t& first, int32_t& last);
    void PackStatus();
    int DefRows(IDbBase* db, int force, const qx::sql::DefRow* rows, int count);
    // The same for rows given in runs (a driver's rows that are the base's with some of its
    // own in between): NeedDef once, then every run in order.
    struct DefRun {
        const qx::sql::DefRow* rows;
        int count;
    };
    int DefRows(IDbBase* db, int force, std::initializer_list<DefRun> runs);
};
