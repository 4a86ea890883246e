#pragma once
#include <stddef.h>
#include <stdint.h>

#include <initializer_list>
#include <map>
#include <vector>

#include "ReplyCheck.h"
#include "SMBase.h"
#include "SMSql.h"

// The tbUps handler shape: the single-phase UPS record, the table tbUps, its statements, the
// definition rows, the display keys and the summary mechanics, shared by every UPS driver
// that keeps one record in tbUps. A driver of the shape supplies its tables (TbUpsShape),
// its summary text (BriefText) and its DataGet; everything else is here.
//
//   static const uint8_t kCols[] = {kUpsVin1, kUpsVin2, ..., kUpsCompany, kUpsMode, kUpsVersion};
//   static const TbUpsShape kShape = {
//       "山特UPS...",                     // tbSMType description
//       kTbUpsDefRows, 16,                // definition rows (or the driver's own)
//       kCols, sizeof kCols,              // columns of the current row and the history row
//       kTbUpsKeys, 27,                   // VarEval keys
//       3, false, true,                   // alarm captions, summary with St, failure counter
//   };
//   CSMUpsX::CSMUpsX() : CSMUpsTbUps(0x304, "RE-RIRA", kShape) {}
//   void CSMUpsX::BriefText(char* out, size_t n) { snprintf(out, n, "...", m_rec.Vin1 * 0.1); }
//   int CSMUpsX::DataGet(...) { ...exchange...; ClearRecord(); m_rec.Vin1 = ...; return 1; }
//
// RegDb, ChkDb, DataVal (1..33, 34 and 35 the read-once flags), DataUpd (state, current row,
// summary with the alarm captions, history row; texts escaped) and VarEval come from here;
// DoFunc is the driver's (the base's is 0).

// Field numbers of the record: the DataVal index, the tbSMDef Fld and the alarm-bit position
// (bit n-1 marks field n).
enum TbUpsFld : uint8_t {
    kUpsVin1 = 1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsPout, kUpsTem,
    kUpsStatus,                                                               // 10
    kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,           // 11..18
    kUpsVbatt, kUpsPbatt, kUpsMbatt, kUpsVed, kUpsAed, kUpsVAed, kUpsVdc, kUpsFed,  // 19..26
    kUpsV1, kUpsV2, kUpsV3, kUpsV4,                                           // 27..30
    kUpsCompany, kUpsMode, kUpsVersion,                                       // 31..33
    kUpsLastField = kUpsVersion
};

// The tbUps value record, in memory order. The texts lie before v1..v4 while their field
// numbers (31..33) follow v4, as the table's columns do.
struct TbUpsRecord {
    int32_t Vin1, Vin2, Vin3, Fin, Vout, Aout, Fout, Pout, Tem;
    uint8_t status;
    uint8_t b7, b6, b5, b4, b3, b2, b1, b0;
    int32_t Vbatt, Pbatt, Mbatt, Ved, Aed, VAed, Vdc, Fed;
    char company[16];
    char mode[12];
    char version[12];
    int32_t v1, v2, v3, v4;
};

// One display key of VarEval: the whole text must equal `key`.
enum TbUpsKeyFmt : uint8_t {
    kKeyTenths,     // "%.1f" of value / 10.0
    kKeyHundredths, // "%.1f" of value / 100.0
    kKeyInt,        // "%d"
    kKeyText,       // "%s"
};
struct TbUpsKey {
    const char* key;
    uint8_t fld;
    TbUpsKeyFmt fmt;
};

// What a driver of the shape states about itself.
struct TbUpsShape {
    const char* typeDesc;        // last value of the tbSMType row (GBK)
    const qx::sql::DefRow* defRows;  // definition rows, in registration order
    int defRowCount;
    const uint8_t* columns;      // field numbers written by the current-row update and the
    int columnCount;             // history insert, in statement order
    const TbUpsKey* keys;        // VarEval keys, compared in order
    int keyCount;
    int alarmNotes;              // at most this many captions in the summary's alarm text
                                 // (0: the summary has no alarm text)
    bool briefWithState;         // the summary statement also writes St
    bool failureCounter;         // withhold a point's poll without answer twice, write it the
                                 // third time (an alarm is written at once)
    int typeClass = 0;               // class constant of the tbSMType row (0: 768)
    const char* typeFamily = nullptr;  // the name before the model text (null: "UPS"; "":
                                       // the model text alone)
    bool ownFault = false;       // a poll without answer too gets the driver's BriefText, which
                                 // names the fault itself and shows no value
    bool readFlagFields = true;  // DataVal 34 and 35 give the read-once flags (else -1)
};

// One value of a binary reply: the byte (width 1) or the word (width 2; little-endian
// unless msbFirst) at offset `at`, times `scale`, into field `fld` (1..30). Scale 0 makes it a
// flag: 1 when the value is not 0.
struct TbUpsBinField {
    uint8_t fld;
    uint8_t at;
    uint8_t width;
    uint8_t scale;
    bool msbFirst = false;
};

// One register of a Modbus reply and the record field (1..30, not a text) it is stored in.
struct TbUpsReg {
    uint16_t reg;
    uint8_t fld;
};

// One Modbus read of a block of registers and the fields its registers fill.
struct TbUpsRegBlock {
    uint8_t function;  // 3 holding registers, 4 input registers
    uint16_t start;    // first register
    uint16_t count;    // registers
    const TbUpsReg* regs;
    size_t regCount;
};

// The default UPS handler's tables, reused by the drivers whose Parts say "as the default".
extern const qx::sql::DefRow kTbUpsDefRows[16];
extern const uint8_t kTbUpsColumns[27];
// The default columns, then v2..v4 and Mbatt: for the drivers that fill those too.
extern const uint8_t kTbUpsColumnsWide[31];
extern const TbUpsKey kTbUpsKeys[27];

// The columns of "create table tbUps(...)", the same for every driver of the shape.
extern const char kTbUpsCreate[];

class CSMUpsTbUps : public CSMBase {
public:
    CSMUpsTbUps(int type, const char* note, const TbUpsShape& shape);
    ~CSMUpsTbUps() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int field) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;
    int DoItem(tagSMItem* item, int n) override;
    int VarEval(char* text) override;

    // The number scanner of the Q1 family. Walks text[pos..len): a field is a run of
    // characters that are not in `separators`; at the separator that ends a field its number
    // (atof times `scale`, truncated toward zero) goes to the next slot of `out` and pos moves
    // past the separator. Meeting the first character of a field with `max` numbers stored,
    // pos is set there and the scan stops. A field not ended by a separator before len is not
    // stored. A field that is no finite number in int range also stops the scan there.
    // With opensAtDigit a field opens only at a digit: other characters outside a field (a
    // sign, a leading point, a "(") are passed over. Returns the count stored.
    static int ScanNumbers(int* out, const char* text, int& pos, int len, int max,
                           const char* separators, double scale, bool opensAtDigit = false);

    // One request and its reply: stale input purged, the request written (-1 unless written
    // whole), a sleep of waitMs when above 0, then the reply read and gathered across reads
    // (a few at most) until its last byte is one of `endBytes` (null: none), or `least` bytes
    // arrived, or `max` did. reply holds max + 1 bytes and is NUL-terminated. Returns the
    // bytes read.
    static int Exchange(ISerBase* ch, const void* request, int requestLen, int waitMs,
                        uint8_t* reply, int max, const char* endBytes, int least = 0);

    // Copies the first n characters of text without leading and trailing spaces (0x20 only)
    // into out (n + 1 bytes), NUL-terminated. Returns the length written.
    static int IvalTrim(char* out, const char* text, int n);

    // Copies at most size - 1 bytes of a GBK text into out without splitting a double-byte
    // character, NUL-terminated; reads at most srcMax bytes of src.
    static void CopyGbk(char* out, size_t size, const char* src, size_t srcMax);

    // The default UPS handler's definition row of a field (an empty row of that field when
    // the default has none), for drivers whose rows are partly the default's.
    static qx::sql::DefRow DefaultRow(int field);
    // The default handler's rows (DefaultRow) of the given fields, in that order.
    static std::vector<qx::sql::DefRow> DefaultRows(std::initializer_list<uint8_t> fields);
    // The definition rows of a driver with flags of its own: the default handler's rows of its
    // measurements (all but its eight flag rows, fields 11..18) and the driver's own rows (of
    // other fields), in field order.
    static std::vector<qx::sql::DefRow> DefaultMeasuresWith(
        std::initializer_list<qx::sql::DefRow> own);

    // The default handler's display keys with every reading shown in `readings`: the state
    // byte and the flags b7..b0 stay whole numbers, the texts texts.
    static std::vector<TbUpsKey> DefaultKeysIn(TbUpsKeyFmt readings);

    // The shape of the serial UPS drivers that keep the wide columns and show no display keys:
    // "232接口...", at most three alarm captions, a summary without St, no failure counter; the
    // definition rows and the family name before the model text are the driver's.
    // The rows are the driver's own lasting table, which the shape points into.
    static TbUpsShape WideShape(const std::vector<qx::sql::DefRow>& rows, const char* family);

    // The bytes a binary reply must have for every field of the table to lie within it.
    static int BinFieldsEnd(const TbUpsBinField* fields, int count);

    TbUpsRecord m_rec;
    uint8_t m_bIdentRead;   // field 34: the current point's identification reply was taken
    uint8_t m_bRatingRead;  // field 35: the current point's rating reply was taken

protected:
    // The summary text before the alarm text (may be empty), after a poll that answered (and,
    // with the shape's ownFault, after one that did not).
    virtual void BriefText(char* out, size_t size) = 0;

    // The fields with a definition row that the current point's poll does not read: DataUpd
    // passes over their alarm bits (state and alarm captions), since their 0 is no reading.
    virtual std::vector<int> UnreadFields() const { return {}; }

    // Clears fields 1..30 and the texts; the rated values (Ved, Aed, VAed, Vdc, Fed) are
    // spared when keepRating, the texts when keepIdent.
    void ClearRecord(bool keepRating = false, bool keepIdent = false);

    // Sets field 1..30 of the record (b7..b0 and status keep the low 8 bits); others are
    // ignored.
    void SetField(int field, int32_t value);

    // Stores the fields of a binary reply of n bytes. Nothing is stored, and the result is
    // false, when one of them lies beyond the n bytes.
    bool TakeBinFields(const uint8_t* reply, int n, const TbUpsBinField* fields, int count);
    // b7..b0 from eight status characters (1 unless the character is '0') and status packed.
    void SetStatusBits(const char* chars);

    // The beeper toggle of the Q-command UPS family and its kin: command 1 writes "Q\r" on an
    // open channel; 1 when it went out whole. Every other command, a null or closed channel: 0.
    static int BeeperToggle(ISerBase* channel, int command);

    // Each register of the map, as the unsigned big-endian word of a checked Modbus read reply
    // whose first register is `start`, into its field. A register beyond the reply's data is
    // stored as 0.
    void TakeWords(const qx::MbReply& reply, int start, const TbUpsReg* map, size_t n);

    // The read of a register block over Modbus RTU, its reply read waitMs after the request
    // into rx (the result's data points there); nothing is sent without an open channel. When
    // the reply checks, the record is cleared (ClearRecord) and the block's registers taken
    // into their fields (TakeWords). The reply.
    qx::MbReply ReadBlock(ISerBase* ch, int address, const TbUpsRegBlock& block, int waitMs,
                          uint8_t* rx, int rxSize);

    // Takes an identification reply: at least 39 bytes, '#' first, CR last. Maker, model and
    // version come from bytes 1..15, 17..26 and 28..37; an empty maker becomes the current
    // point's name (cut to fit) or a single space. Sets the identification-read flag.
    bool TakeIdent(const uint8_t* reply, int n);

    // A reply that has at least one byte, `first` as its first byte and CR last.
    static bool Framed(const uint8_t* reply, int n, char first);

    // A product from the device truncated toward zero, saturated to the int range (0 for NaN).
    static int32_t Trunc(double v);

    // The battery factor of the current point: Ext2 * 0.1 when Ext2 > 0, else 1.
    float BatteryFactor() const;

    const TbUpsShape& m_shape;

    // Field n of the record widened to int (1..30), or the address of a text (31..33).
    int FieldValue(int field) const;

    // Registers the given definition rows (the shape's own unless a driver passes others).
    void RegDbRows(IDbBase* db, int force, const qx::sql::DefRow* rows, int count);

    // The failure counter of the point sid: true when this state is to be written (a normal
    // state, or the third abnormal one in a row of that point). m_iErrCnt mirrors the count
    // of the point last stored.
    bool FailureGate(int sid, int state);

private:
    std::map<int, int> m_errBySid;  // consecutive abnormal updates withheld, per SID

    // What one point's rating and identification replies gave, with their read flags: kept
    // per SID, so that a UPS never shows the rating or maker of another one of its type.
    struct PointIdent {
        int32_t Ved = 0, Aed = 0, VAed = 0, Vdc = 0, Fed = 0;
        char company[sizeof(TbUpsRecord::company)] = {};
        char mode[sizeof(TbUpsRecord::mode)] = {};
        char version[sizeof(TbUpsRecord::version)] = {};
        uint8_t identRead = 0, ratingRead = 0;
    };
    std::map<int, PointIdent> m_identBySid;
    bool m_bHasPoint = false;  // m_iIdentSid names the point whose values the record holds
    int32_t m_iIdentSid = 0;
};
