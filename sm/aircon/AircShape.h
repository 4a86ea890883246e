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
// A driver that stores its whole block, every field a column in block order, names only what
// is its own: airc::WholeBlock({2048, "精密空调", "485接口..."}, kDefs, {"tbX", ...}, kFields,
// airc::kBriefAlarms, "精密空调").
//
// Values. The block holds each field at its width (8, 16 or 32 bits, signed or not), packed
// in field order with natural alignment, so Data() shows the device's record. Set() stores
// a value cut to the field's width; Val() and DataVal() widen it back with its signedness.
// DataVal answers the fields of the table (field numbers not in it give the shape's
// fieldZero for 0 and absent for the others, both -1 unless the driver says otherwise);
// DataSize is the shape's dataSize, which may differ from the number of fields.
//
// Polls. Request() runs one Modbus RTU (or ASCII) exchange of the frame in m_cmd: optional Purge,
// Write (a short write fails), the wait of the driver's Link (a fixed time, or `wait` when it
// is above the driver's threshold), Read of the reply (gathered when it comes in pieces),
// then the shared reply check (address, function, exception reply, byte count, CRC) and a
// check that the reply covers every byte the driver decodes. Only then are values set: a
// failed request leaves the block as the last poll left it. PollMap() runs a whole poll of
// Modbus reads from a table of requests (airc::Req) and their picks. YdRequest() is the same for a
// YD/T 1363 frame that YdFrame() built: the shared YD/T check, and an INFO that covers the
// last character the driver decodes.
//
//   uint8_t rx[200];
//   qx::YdReply y = YdRequest(ser, YdFrame(0x21, addr, 0x60, 0x42), rx, sizeof rx, kLink, wait, 41);
//   if (!y.ok()) return 0;        // characters 0..40 arrived and lie in a checked INFO
//   Set(1, TE_Ascii2uint16(rx + 13, 4));
//
// Storing. DataUpd: the alarm bits of the fields the point's poll does not read
// (UnreadFields()) are passed over, then state 2 without alarm bits (fields 1..clearFields
// zeroed), else 0, flag bit 0 makes it 1 (unless only passed-over fields were out of limits),
// then the driver's StoredState() may raise it from its values; SnapID
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

#include <map>
#include <vector>

#include "ReplyCheck.h"
#include "SMBase.h"
#include "SMSql.h"

namespace airc {

// Width and signedness of a field of the value block.
enum class W : uint8_t { U8, I8, U16, I16, U32, I32 };

// One field of the value block. The block holds the fields in the order they are listed
// (field-number order, or the device's record order where the two differ).
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

// The eight head columns of a driver's table, before its value columns.
#define AIRC_TABLE_HEAD                                                                    \
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"          \
    "DateUpd DATETIME,State INTEGER,SnapID INTEGER,"

// Wait policy of a driver's requests.
struct Link {
    bool purge;     // discard pending input before each request
    int sleepMs;    // fixed wait before reading (0: none)
    int waitAbove;  // `wait` above this replaces sleepMs (negative: `wait` is never used)
    int replyMax;   // bytes asked of Read, at most the reply buffer
    bool addWait = false;  // `wait` (above waitAbove) comes on top of sleepMs, not instead
    // How a request travels: Modbus RTU, or the same frame as a Modbus ASCII line (the reply
    // gathered until its LF, converted and checked with its LRC).
    qx::MbFraming framing = qx::MbFraming::Rtu;
    bool purgeOnce = false;  // PollMap: with purge, pending input is discarded before the
                             // first request of a poll only
};

// How a field is taken from a checked read reply; positions count from the first data byte.
enum class Take : uint8_t {
    Word,     // big-endian register `at`, 0..65535
    SWord,    // the same, sign-extended
    Bit,      // coil or input `at` of the request (bit at % 8 of data byte at / 8)
    WordBit,  // bit `bit` of register `at`
    Byte,     // data byte `at`, whole
    Zero,     // 0: a field no request reads, zeroed when this request answers
    EitherBit,  // 1 when bit `bit` or bit `bit2` of register `at` is set
    Tenths,   // the IEEE-754 single at registers `at` and `at` + 1 (most significant word
              // first) times 10, truncated; 0 unless finite and within the field's width
};

// One field of a request's reply. A position beyond the data the reply carries gives 0.
struct Pick {
    uint8_t fld;
    Take take;
    uint8_t at;
    uint8_t bit;  // WordBit, EitherBit
    uint8_t bit2 = 0;  // EitherBit
};

// One Modbus read of a table-driven poll (PollMap).
struct Req {
    uint8_t function;  // 1..4
    uint16_t start;
    uint16_t count;
    const Pick* picks;
    uint8_t pickCount;
    bool required;     // its failure ends the poll with 0; otherwise the poll goes on
    uint8_t clearFirst;  // fields 1..clearFirst are zeroed when it answers, before its picks
    int16_t altBytes;  // a byte count the unit may answer with instead of Modbus's (-1: none),
                       // e.g. one byte per input of a function 2 read
};

// The definition row of a fault or state point: kind 1, divisor 1, alarm kind 1, both limits
// 0, the low limit with its note (e.g. "0正常"), the high one with none.
constexpr qx::sql::DefRow FlagRow(int fld, const char* name, const char* caption,
                                  const char* lowText, int alarmKind = 1) {
    return {fld, name, 1, caption, 1, alarmKind, 0, lowText, 0, "", 0};
}

// The definition row of a running state, a mode or an output (on/off, fan, compressor,
// heating, cooling): as FlagRow, with alarm kind 0, since its normal value while the unit runs
// is not 0 and no limit is checked on it.
constexpr qx::sql::DefRow StateRow(int fld, const char* name, const char* caption,
                                   const char* lowText) {
    return FlagRow(fld, name, caption, lowText, 0);
}

// The definition row of a measured point with limits: kind 1, alarm kind 10, the divisor,
// each limit with its note.
constexpr qx::sql::DefRow LimitRow(int fld, const char* name, const char* caption, int divisor,
                                   int low, const char* lowText, int high, const char* highText) {
    return {fld, name, 1, caption, divisor, 10, low, lowText, high, highText, 0};
}

// Picks and requests as the tables write them:
//   const airc::Pick kCoils[] = {airc::Bit(1, 0), airc::Bit(2, 1), airc::Zero(3)};
//   const airc::Req kReqs[] = {airc::Read(3, 4, 3, kRegs), airc::Read(1, 23, 3, kCoils)};
constexpr Pick Reg(uint8_t fld, uint8_t at) { return {fld, Take::Word, at, 0}; }
constexpr Pick SReg(uint8_t fld, uint8_t at) { return {fld, Take::SWord, at, 0}; }
constexpr Pick Bit(uint8_t fld, uint8_t at) { return {fld, Take::Bit, at, 0}; }
constexpr Pick RegBit(uint8_t fld, uint8_t at, uint8_t bit) { return {fld, Take::WordBit, at, bit}; }
constexpr Pick Byte(uint8_t fld, uint8_t at) { return {fld, Take::Byte, at, 0}; }
constexpr Pick Zero(uint8_t fld) { return {fld, Take::Zero, 0, 0}; }
constexpr Pick RegBits(uint8_t fld, uint8_t at, uint8_t bit, uint8_t bit2) {
    return {fld, Take::EitherBit, at, bit, bit2};
}
constexpr Pick FloatTenths(uint8_t fld, uint8_t at) { return {fld, Take::Tenths, at, 0}; }
template <size_t N>
constexpr Req Read(uint8_t function, uint16_t start, uint16_t count, const Pick (&picks)[N],
                   bool required = true, uint8_t clearFirst = 0, int16_t altBytes = -1) {
    return {function, start, count, picks, (uint8_t)N, required, clearFirst, altBytes};
}
// A request whose reply only has to come (its picks: none).
constexpr Req Read(uint8_t function, uint16_t start, uint16_t count, bool required = true,
                   uint8_t clearFirst = 0) {
    return {function, start, count, nullptr, 0, required, clearFirst, -1};
}

// A driver whose poll is Modbus reads only: its wait policy and its requests, with another
// table for the points whose Variant is 1 where the unit has two maps.
struct Polling {
    Link link;
    const Req* reqs;
    size_t reqCount;
    const Req* variant1;  // null: the same requests for every variant
    size_t variant1Count;
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
    const uint8_t* columns;          // field numbers stored, in statement order (null: every
                                     // field of the block that has a column, in block order)
    size_t columnCount;
    int clearFields;                 // no answer: fields 1..clearFields are zeroed
    const Key* keys;                 // VarEval keys, compared in order
    size_t keyCount;
    uint8_t brief;                   // kBrief* flags
    const char* noAnswer;            // opening words of the summary of a poll without answer
    int fieldZero = -1;              // DataVal(0) (a table never holds field 0)
    int absent = -1;                 // DataVal of any other field number the table lacks
};

// The shape of a driver that stores its whole value block, its fields numbered 1..N: every
// field is a column, written in block order; DataSize is N and a poll without answer zeroes
// all N; no display keys.
template <size_t D, size_t N>
constexpr Shape WholeBlock(qx::sql::TypeRow type, const qx::sql::DefRow (&defs)[D],
                           qx::sql::TableDef table, const Field (&fields)[N], uint8_t brief,
                           const char* noAnswer, int fieldZero = -1, int absent = -1) {
    return {type, defs, D, table, fields, N, (int)N,  // DataSize N
            nullptr, 0,                               // columns: the block's
            (int)N,                                   // no answer: fields 1..N zeroed
            nullptr, 0,                               // no display keys
            brief, noAnswer, fieldZero, absent};
}

// The state mark of the summaries that show it: "(正常)", "(报警)", "(故障)", else "(未知参数)".
const char* StateMark(int state);

// The names a driver's value block and display keys are written with, for the drivers that
// have both (using namespace airc::tables).
namespace tables {
using airc::Field;
using airc::Key;
using airc::KeyFmt;
using airc::W;
using airc::Words;
}  // namespace tables

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
    // The poll of a driver given its Polling: PollMap() of the map of the current point's
    // Variant (no point: the first map); 0 without one.
    int DataGet(ISerBase* channel, int address, int wait) override;

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
    // beyond the frame's head). An ASCII link sends the frame converted and leaves the
    // converted reply bytes in reply. shortRead: a read reply may hold fewer registers than asked
    // (its byte count then says how many), as long as it covers needBytes.
    // altBytes: a byte count the unit may answer with instead of the one Modbus gives the
    // request (-1: none).
    qx::MbReply Request(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                        const airc::Link& link, int wait, int needBytes, bool shortRead = false,
                        int altBytes = -1);

    // A poll made of Modbus reads only: for each request in order the frame to `address`,
    // Request() with the driver's Link, then its picks. A failed required request ends the
    // poll with 0, another one leaves its fields as they were and the poll goes on. 1 when
    // every required request answered. An address that does not fit the unit field is
    // refused (0, nothing sent). With KeepPerPoint() the values are the current point's.
    int PollMap(ISerBase* ser, int address, int wait, const airc::Req* reqs, size_t count,
                const airc::Link& link);

    // Values a poll keeps from an earlier poll belong to the point: one handler serves every
    // point of its code. Once set, PollMap and DataUpd work on the current point's own value
    // block (kept per SID; a point not yet polled starts with 0 everywhere). Drivers with a
    // DataGet of their own run their requests through OnPoint().
    void KeepPerPoint() { m_perPoint = true; }
    // Tenths of the IEEE-754 single of the two words (most significant first), truncated
    // toward zero; 0 unless finite and within the width of field fld.
    int FloatTenths(int fld, uint16_t high, uint16_t low) const;
    void LoadPoint();
    void SavePoint();
    // A driver's own poll on the current point's values: LoadPoint(), poll(), SavePoint();
    // the poll's result.
    template <class Poll>
    int OnPoint(Poll poll) {
        LoadPoint();
        const int got = poll();
        SavePoint();
        return got;
    }
    // The poll of a driver that speaks two protocols, on the current point's values
    // (OnPoint): `variant1` for a point whose Variant is 1, `other` for any other. 0, nothing
    // asked, without an open channel.
    template <class Driver>
    int PollByVariant(ISerBase* channel, int address, int wait,
                      int (Driver::*variant1)(ISerBase*, int, int),
                      int (Driver::*other)(ISerBase*, int, int)) {
        if (!channel || !channel->IsOpened()) return 0;
        Driver& driver = static_cast<Driver&>(*this);
        int (Driver::*poll)(ISerBase*, int, int) = Variant() == 1 ? variant1 : other;
        return OnPoint([&] { return (driver.*poll)(channel, address, wait); });
    }

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

    // Drivers that are request tables only: the poll DataGet makes. Their values are kept per
    // point (KeepPerPoint).
    void PollBy(const airc::Polling& polling);

    // The summary text before the alarm captions, for the state being stored; asked only after
    // a poll that answered. Empty unless the driver has one.
    virtual void BriefText(char* out, size_t size, int state);
    // Value corrections made before the current row is written.
    virtual void FixUp() {}
    // The state to store, from the state the host's arguments give and the values (already
    // cleared for a poll without answer); by default that state.
    virtual int StoredState(int state) { return state; }
    // The fields with a definition row that the current point's poll does not read (a model or
    // protocol without them): their 0 is no reading, so DataUpd passes over their alarm bits,
    // in the state, the summary's alarm captions and every row it writes. Judged from the
    // current point's parameters; none by default.
    virtual std::vector<int> UnreadFields() const { return {}; }
    // PollMap: request `index` of the table failed its checks; reply holds what arrived
    // (r.received bytes), e.g. for a driver that logs a unit's exception code.
    virtual void Refused(size_t index, const qx::MbReply& r, const uint8_t* reply) {
        (void)index, (void)r, (void)reply;
    }

    // The current point's Variant (0 without a current point): the protocol or map of drivers
    // that speak more than one.
    int Variant() const { return m_pItem ? m_pItem->Variant : 0; }

    // The word of a state value.
    static const char* Word(const airc::Words& words, int v);

    const airc::Shape& m_shape;
    uint8_t m_block[kBlockMax];

private:
    int Index(int fld) const;  // position in the table, -1 when absent

    uint16_t m_off[256];  // byte offset of each field number in m_block
    int16_t m_idx[256];   // table position of each field number, -1 when absent
    size_t m_used = 0;    // bytes of m_block the fields take
    const airc::Polling* m_polling = nullptr;

    // Per-point value blocks (KeepPerPoint).
    int PointKey() const;
    bool m_perPoint = false;
    bool m_loaded = false;
    int m_blockKey = 0;  // the point whose values m_block holds
    std::map<int, std::vector<uint8_t>> m_kept;
};
