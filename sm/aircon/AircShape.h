#pragma once
// The air-conditioner handler shape: registration, tables, the request exchange with its
// wait policy and reply check, storing a poll, values, display keys and the command
// exchange, written once for every air-conditioner driver. A driver is then its tables and
// its hooks:
//
//   // Value block: field number, column, width. Field 27 has no column.
//   static const airc::Field kFields[] = {
//       {1, "Sfkwd", airc::W::U16}, {2, "Hfkwd", airc::W::U16}, ..., {27, nullptr, airc::W::U8},
//   };
//   static const uint8_t kColumns[] = {2, 1, 4, ...};  // statement order of the columns
//   static const airc::Shape kShape = {
//       {1792, "空调控制", "485接口..."},                 // tbSMType row
//       kDefs, 4,                                          // tbSMDef rows
//       {"tbAirc", "DID INTEGER PRIMARY KEY,..."},         // the table
//       kFields, 27, 26,                                   // value block, DataSize
//       kColumns, 26,                                      // stored columns
//       26,                                                // no answer: fields 1..26 zeroed
//       kKeys, 22,                                         // VarEval keys
//       airc::kBriefState,                                 // summary form
//       "空调(故障)",                                       // no answer: "空调(故障),通讯中断"
//   };
//   class CSMAirc : public CSMAircShape {
//       CSMAirc() : CSMAircShape(0x700, "QX-AIRC", kShape) {}
//       int DataGet(ISerBase*, int, int) override;          // Request() per frame, Set()
//       void BriefText(char* out, size_t size, int state) override;
//   };
//
// Values. The block holds each field at its width (8, 16 or 32 bits, signed or not), packed
// in field order with natural alignment, so Data() shows the device's record. Set() stores
// a value cut to the field's width; Val() and DataVal() widen it back with its signedness.
// DataVal answers the fields of the table (field numbers not in it, 0 included, give -1);
// DataSize is the shape's dataSize, which may differ from the number of fields.
//
// Polls. Request() runs one Modbus RTU exchange of the frame in m_cmd: optional Purge,
// Write (a short write fails), the wait of the driver's Link (a fixed time, or `wait` when it
// is above the driver's threshold), Read of the reply (gathered when it comes in pieces),
// then the shared reply check (address, function, exception reply, byte count, CRC) and a
// check that the reply covers every byte the driver decodes. Only then are values set: a
// failed request leaves the block as the last poll left it. YdRequest() is the same for a
// YD/T 1363 frame that YdFrame() built: the shared YD/T check, and an INFO that covers the
// last character the driver decodes.
//
//   uint8_t rx[200];
//   qx::YdReply y = YdRequest(ser, YdFrame(0x21, addr, 0x60, 0x42), rx, sizeof rx, kLink, wait, 41);
//   if (!y.ok()) return 0;        // characters 0..40 arrived and lie in a checked INFO
//   Set(1, TE_Ascii2uint16(rx + 13, 4));
//
// Storing. DataUpd: state 2 without alarm bits (fields 1..clearFields zeroed), else 0, flag
// bit 0 makes it 1, then the driver's StoredState() may raise it from its values; SnapID
// from flag bit 4; a negative sid is the current point's; the point's tbSubSysDetail row (skipped without a current point, whose Type it needs); the
// driver's FixUp(); the current row; the summary (the driver's BriefText, in a buffer of its
// own, optionally followed by the alarm captions, bounded and escaped into its statement; for
// a poll without answer the shape's no-answer summary instead, which shows none of the cleared
// values and no word meaning normal);
// the history row when a history database is given. The result is that of the current row
// or, when given, of the history row (1 success); 1 when neither database is there, 0 when no
// sid is known.
//
// Commands. Command() discards pending input, sends the frame in m_cmd, waits as asked, reads up to replyMax bytes
// and accepts a reply with the request's address and function and a good CRC (for standard
// requests also what Modbus says the reply holds); 1 only then.
#include <stddef.h>
#include <stdint.h>

#include "ReplyCheck.h"
#include "SMBase.h"
#include "SMSql.h"

namespace airc {

// Width and signedness of a field of the value block.
enum class W : uint8_t { U8, I8, U16, I16, U32, I32 };

// One field of the value block, listed in field-number order.
struct Field {
    uint8_t fld;         // DataVal index, tbSMDef Fld, alarm-bit position (bit fld-1)
    const char* column;  // column of the driver's table; null: answered by DataVal only
    W width;
};

// Words a state field is shown with: value v below count gives words[v], any other value
// `other`.
struct Words {
    const char* const* words;
    uint8_t count;
    const char* other;
};

enum class KeyFmt : uint8_t {
    Int,     // "%d"
    Fixed1,  // "%.1f" of value / divisor
    Fixed2,  // "%.2f" of value / divisor
    Word,    // the field's word (Words)
};

// One display key of VarEval: the text must equal `key` or, when given, `alias`.
struct Key {
    const char* key;
    const char* alias;  // GBK alias (null: none)
    uint8_t fld;
    KeyFmt fmt;
    int divisor;         // Fixed1, Fixed2
    const Words* words;  // Word
};

// Summary forms.
enum : uint8_t {
    kBriefState = 1,   // the statement also writes St
    kBriefAlarms = 2,  // the alarm captions (at most 3) follow the driver's text
    kBriefFirst = 4,   // the summary is written before the current row
    kBriefOwnFault = 8,  // a poll without answer too gets the driver's text, which names the
                         // fault itself and shows no value (instead of the shape's); it is
                         // asked with state 2, whatever the host's flags make of the state
};

// Wait policy of a driver's requests.
struct Link {
    bool purge;     // discard pending input before each request
    int sleepMs;    // fixed wait before reading (0: none)
    int waitAbove;  // `wait` above this replaces sleepMs (negative: `wait` is never used)
    int replyMax;   // bytes asked of Read, at most the reply buffer
};

// What a driver states about itself.
struct Shape {
    qx::sql::TypeRow type;           // tbSMType: class constant, family word, description
    const qx::sql::DefRow* defs;     // tbSMDef rows in registration order
    size_t defCount;
    qx::sql::TableDef table;         // the driver's table, in both databases
    const Field* fields;             // the value block, field-number order
    size_t fieldCount;
    int dataSize;                    // DataSize()
    const uint8_t* columns;          // field numbers stored, in statement order
    size_t columnCount;
    int clearFields;                 // no answer: fields 1..clearFields are zeroed
    const Key* keys;                 // VarEval keys, compared in order
    size_t keyCount;
    uint8_t brief;                   // kBrief* flags
    const char* noAnswer;            // opening words of the summary of a poll without answer
};

// The state mark of the summaries that show it: "(正常)", "(报警)", "(故障)", else "(未知参数)".
const char* StateMark(int state);

}  // namespace airc

class CSMAircShape : public CSMBase {
public:
    CSMAircShape(int type, const char* note, const airc::Shape& shape);
    ~CSMAircShape() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int field) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;
    int VarEval(char* text) override;

    // Field fld widened with its signedness; 0 for a field the table does not have.
    int Val(int fld) const;
    // Stores v cut to the field's width; a field the table does not have is ignored.
    void Set(int fld, int v);
    // Zeroes fields 1..n.
    void ClearFields(int n);

    // The value block's bytes.
    static const int kBlockMax = 512;

protected:
    // One request of a poll: the frame of frameLen bytes in m_cmd, the reply into reply.
    // needBytes: the reply bytes the driver decodes (from the address byte on; 0 for none
    // beyond the frame's head). shortRead: a read reply may hold fewer registers than asked
    // (its byte count then says how many), as long as it covers needBytes.
    qx::MbReply Request(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                        const airc::Link& link, int wait, int needBytes, bool shortRead = false);

    // A YD/T 1363 request built into m_cmd: '~', VER, ADR, CID1, CID2, LENGTH, the INFO bytes
    // as hexadecimal pairs, CHKSUM, CR. Its length; 0 (nothing to send) when adr does not fit
    // the one-byte ADR (it is never cut to its low bits, which would ask another unit) or the
    // frame does not fit m_cmd.
    int YdFrame(int ver, int adr, int cid1, int cid2, const uint8_t* info = nullptr,
                int infoLen = 0);
    // One YD/T 1363 request: the frame of frameLen characters in m_cmd (0: BadArgument,
    // nothing sent), optional Purge, Write, the wait of the Link, the reply gathered up to its
    // EOI (at most link.replyMax characters) and NUL-terminated, then the shared check (SOI,
    // alphabet, LCHKSUM, EOI, CHKSUM, RTN 00) with needChars the characters the driver
    // decodes (the last position read + 1), which the INFO must cover. options: qx::YdOption
    // bits (kYdSkipSums for units known to send wrong sums).
    qx::YdReply YdRequest(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                          const airc::Link& link, int wait, int needChars, unsigned options = 0);

    // One exchange of a vendor byte frame of frameLen bytes in m_cmd: Purge, Write (a short
    // write fails), the wait of the Link, then the reply gathered into reply as frameLength
    // tells its length (at most link.replyMax bytes). The bytes gathered; 0 when none came or
    // the channel is closed, -1 when the frame was not written whole.
    int RawRequest(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                   const airc::Link& link, int wait, qx::FrameLength frameLength);

    // One command: the frame in m_cmd, a wait of sleepMs, a reply of at most replyMax bytes.
    // A standard Modbus request is answered as Modbus says (the shared reply check); a vendor
    // frame (vendor true) by any reply with the request's address and function (not an
    // exception) whose last two bytes are the CRC of the bytes before them. 1 only then.
    int Command(ISerBase* ser, int frameLen, int replyMax, int sleepMs, bool vendor = false);

    // The summary text before the alarm captions, for the state being stored; asked only after
    // a poll that answered.
    virtual void BriefText(char* out, size_t size, int state) = 0;
    // Value corrections made before the current row is written.
    virtual void FixUp() {}
    // The state to store, from the state the host's arguments give and the values (already
    // cleared for a poll without answer); by default that state.
    virtual int StoredState(int state) { return state; }

    // The word of a state value.
    static const char* Word(const airc::Words& words, int v);

    const airc::Shape& m_shape;
    uint8_t m_block[kBlockMax];

private:
    int Index(int fld) const;  // position in the table, -1 when absent

    uint16_t m_off[256];  // byte offset of each field number in m_block
    int16_t m_idx[256];   // table position of each field number, -1 when absent
};
