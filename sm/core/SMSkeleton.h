#pragma once
// The shape every handler of the power, sensor, I/O, alarm and access families follows, written
// once. A handler of that shape is mostly tables:
//
//   // Value columns of the own table, in statement order: name (the FldName, the column and the
//   // VarEval key), field number, and whether it has a flag column "i<name>".
//   static const qx::skel::Column kCols[] = {{"Tem", 1, true}, {"Hum", 2, true}};
//
//   // tbSMType and tbSMDef rows (qx::sql, the framework's registration statements).
//   static const qx::sql::TypeRow kType = {1280, "温湿度", "485接口,量程..."};
//   static const qx::sql::DefRow kDefs[] = {{1, "Tem", 1, "温度值", 10, 6, 300, "...", 380, "...", 0}, ...};
//
//   // Tables: name, create columns, databases.
//   static const std::string kTbEnvir = qx::skel::TableColumns(kCols, 2);
//   const qx::skel::Table tables[] = {{"tbEnvir", kTbEnvir.c_str(), qx::skel::kBothDbs}};
//
//   // Display keys: key, field, divisor, decimals, unit.
//   static const qx::skel::Key kKeys[] = {{".Tem", 1, 10, 1, ""}, {".温度", 1, 10, 1, ""}};
//
// and then each operation is a few calls:
//
//   RegDb   qx::sql::RegDb(*this, db, force, kType, kDefs, n)        type row when missing,
//           definition rows when none exist, deleted and rewritten with force.
//   ChkDb   qx::skel::ChkDb(*this, tables, n, item, "tbEnvir", needMain)
//   DataGet if (!qx::skel::Ready(ser)) return 0;                    null/closed channel, Purge
//           qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, fn, reg, count, rx, sizeof rx, wait);
//           if (!r.ok()) return 0;                                  the shared reply check
//           m_tem = r.Word(0); ...                                  decode, print, return 1
//   DataUpd qx::skel::Upd u;
//           if (!qx::skel::Begin(*this, u, flags, bits, snapId, sid, qx::skel::kSnapZero, kCols, n))
//               return 0;                                           no current item
//           qx::sql::Cols c = qx::skel::PollCols(*this, u, bits, kCols, n, qx::skel::kColsFlags | qx::skel::kColsZeroNoAnswer);
//           qx::skel::Brief b; b.Add("温度:%.1f ", ...).Mark(qx::skel::Flag(u, bits, 1));
//           return qx::skel::Store(*this, u, "tbEnvir", c, b.Text(), true, hist);
//   VarEval return qx::skel::VarEval(*this, text, kKeys, n);
//
// Every statement is formatted with a bound into CSMBase::m_buffer (qx::sql); texts from the
// device, the host or the database go in escaped. The pieces are separate so that a handler
// that differs in one step (no Purge, another SnapID rule, a brief without St, rows kept on
// a failed poll, extra statements between the steps) composes the others unchanged; the
// electricity meter (power/SMElec.cpp) is such a handler. Handlers that reset the failure
// counter on every update do so themselves (m_iErrCnt = 0) after Begin.
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>

#include "ReplyCheck.h"
#include "SMBase.h"
#include "SMSql.h"

namespace qx {
namespace skel {

// ---------------------------------------------------------------- description

// One value column of a handler's own table.
struct Column {
    const char* name;  // column name = tbSMDef FldName = VarEval key after the dot
    uint8_t fld;       // field number: the DataVal index and alarm bit fld - 1
    bool flag;         // the table has the flag column "i" + name (0 ok, 1 alarm, 2 no data)
};

// The create text of an own table: the common head, one INTEGER column per value, then the
// flag columns of the values that have one, in the same order
// ("DID INTEGER PRIMARY KEY,...,SnapID INTEGER,Tem INTEGER,Hum INTEGER,iTem INTEGER,iHum INTEGER").
std::string TableColumns(const Column* cols, size_t n);

// Where a table lives.
enum : uint8_t { kMainDb = 1, kHistDb = 2, kBothDbs = 3 };

struct Table {
    const char* name;
    const char* columns;  // the text between the parentheses of "create table NAME(...)"
    uint8_t dbs;          // kMainDb, kHistDb or kBothDbs
};

// ---------------------------------------------------------------- ChkDb

// Creates the missing tables, on the main database first, then on the second (history) one,
// each in list order. With an item: CSMBase::ChkDbDatInit(pointTable, item), the point's
// current row with State -1 and its tbSMBrief row (0 without a main database). Without an
// item: 1 when no create ran or the last one succeeded, else 0.
// 0 when neither database is set; with needMain, 0 whenever the main database is not set.
int ChkDb(CSMBase& h, const Table* tables, size_t n, tagSMItem* item, const char* pointTable,
          bool needMain = false);
// The same for a handler whose one own table (the common head and cols) lives in both
// databases and holds the point's current row.
int ChkDb(CSMBase& h, const char* table, const Column* cols, size_t n, tagSMItem* item,
          bool needMain = false);

// ---------------------------------------------------------------- DataGet

// The opening of every poll: false for a null channel or one whose IsOpened answers 0; else
// the channel is purged (when purge) and the answer is true.
bool Ready(ISerBase* ser, bool purge = true);

// One Modbus RTU read through the shared exchange and reply check: the request is built in
// h.m_cmd (an addr that does not fit the address byte sends nothing: AddressTooWide); waitMs (when above 0) is slept between request
// and reply. The reply must come from that address with that function and byte count and a
// good CRC; an exception reply, a short reply, a bad CRC or silence is a failure (r.ok()
// false, r.status says which). r.Word(i) is register reg + i. dataBytes: the byte count of
// a module that does not answer the standard one (qx::MbReplyLength), -1 for the standard.
qx::MbReply MbPoll(CSMBase& h, ISerBase* ser, int addr, int function, int reg, int count,
                   uint8_t* reply, int replySize, int waitMs, int dataBytes = -1);

// The same for a ready request in h.m_cmd (writes, vendor requests): h.m_cmd[0..len).
qx::MbReply MbSend(CSMBase& h, ISerBase* ser, int len, uint8_t* reply, int replySize,
                   int waitMs, int dataBytes = -1);

// One read of a poll that is a fixed list of reads.
struct Read {
    uint8_t function;  // 1 to 4
    uint16_t reg;      // first coil, input or register
    uint16_t count;    // elements asked for
};

// What a poll does with each checked reply of its reads: i is the read's index.
using Take = std::function<void(size_t i, const qx::MbReply& r)>;

// The reads in order through MbPoll, waitMs before each reply; each reply that passes the
// shared check is handed to take at once, before the next read, so a poll that fails at read
// k keeps what reads 0 to k - 1 gave. The first failure ends the poll: 0. All answered: 1.
int Reads(CSMBase& h, ISerBase* ser, int addr, const Read* reads, size_t n, int waitMs,
          const Take& take);

// ---------------------------------------------------------------- DataUpd

// Where the SnapID of the rows comes from.
enum Snap {
    kSnapZero,       // always 0
    kSnapFromFlags,  // *snapId when flags bit 4 is set and snapId is given, else 0
};

// What the opening steps of DataUpd settle.
struct Upd {
    bool answered = false;  // alarm bits were given: the last poll answered
    int state = 2;          // 0 normal, 1 alarm, 2 no answer
    int snap = 0;           // SnapID of the rows
    int sid = 0;            // the point's SID (a negative argument: the current item's)
    int type = 0;           // the current item's Type, for tbSubSysDetail
};

// The opening steps of DataUpd. State: 2 without alarm bits; with them 0, or 1 when one of
// the given columns that has a flag column is out of limits (cols may be null); flags bit 0
// makes it 1 in either case. Returns false, with nothing settled, when there is no current
// item: a handler then writes nothing and answers 0.
bool Begin(CSMBase& h, Upd& u, int flags, const int* alarmBits, const int* snapId, int sid,
           Snap snap, const Column* cols = nullptr, size_t n = 0);

// The flag of field fld: bit fld - 1 of the alarm bits (bit (fld-1) mod 32 of word
// (fld-1)/32) when the poll answered, else 2 (no data).
int Flag(const Upd& u, const int* alarmBits, int fld);

// What PollCols writes.
enum : unsigned {
    kColsFlags = 1,         // the flag columns, after the value columns
    kColsZeroNoAnswer = 2,  // values written as 0 when the poll did not answer
};

// The column list of the current-row update and of the history insert: each column's value
// is h.DataVal(fld) (0 when kColsZeroNoAnswer and the poll did not answer), then, with
// kColsFlags, each flagged column's Flag() under "i" + name.
qx::sql::Cols PollCols(ISMBase& h, const Upd& u, const int* alarmBits, const Column* cols,
                       size_t n, unsigned what);

// The closing steps of the common DataUpd:
//   main database (when set): the state into tbSubSysDetail ("... where sid=%d and type=%d"),
//     the current row "update TABLE set DateUpd=...,State=%d,SnapID=%d,<cols> where sid=%d",
//     the summary (brief not null; with St when briefSt) with its text escaped; after a poll
//     without answer noAnswer instead of brief, by default (null) the shared no-answer
//     summary (qx::sql::NoAnswerBrief);
//   history database (when given): "insert into TABLE(SID,DateUpd,State,SnapID,<cols>) ...".
// Returns 1 when the last remembered statement succeeded: the history insert when a history
// database is given, else the current-row update; 1 when neither database was used. The
// tbSubSysDetail and summary results are not looked at.
int Store(CSMBase& h, const Upd& u, const char* table, const qx::sql::Cols& cols,
          const char* brief, bool briefSt, IDbBase* hist, const char* noAnswer = nullptr);

// The whole DataUpd of a handler whose own table holds its values without flag columns and
// whose summary is the alarm text alone (at most three captions, with St): Begin with SnapID
// from the flags, the value block (size bytes at values) zeroed after a poll without answer,
// the columns' values, and Store with "(故障)" after the shared no-answer words.
int UpdAlarmText(CSMBase& h, int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist,
                 const char* table, const Column* cols, size_t n, void* values, size_t size);

// The marks of a summary part by its flag: "(告警)" for 1, "(故障)" for 2, "(正常)" otherwise.
const char* Mark(int flag);

// A summary text under construction, bounded: a piece that does not fit is cut at a whole
// character (a GBK double-byte character is never split) and everything after it is dropped.
// The text is escaped when Store or qx::sql::UpdBrief writes it.
class Brief {
public:
    Brief() { m_text[0] = '\0'; }
    Brief& Add(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    Brief& Mark(int flag) { return Add("%s", skel::Mark(flag)); }
    // The alarm text of the out-of-limit fields (CSMBase::GetAlmDetail: "告警:" and at most
    // max captions, "..." when cut), appended when there is one. Captions are whole or absent.
    Brief& AlarmText(CSMBase& h, int* alarmBits, int max);
    const char* Text() const { return m_text; }
    size_t Length() const { return m_len; }

    // Longest summary text kept (bytes, without the terminator); escaped twice over it still
    // fits a statement.
    static constexpr size_t kMax = 1023;

private:
    char m_text[kMax + 1];
    size_t m_len = 0;
    bool m_full = false;
};

// ---------------------------------------------------------------- VarEval

// One display key: the whole text must equal key (compared exactly, case included).
// The value is h.DataVal(fld); with decimals 0 and divisor 0 or 1 it is printed "%d",
// otherwise "%.<decimals>f" of value / divisor; unit follows it. An unsigned value (a counter
// beyond 2^31) is taken as the unsigned 32 bits DataVal hands out.
struct Key {
    const char* key;
    uint8_t fld;
    uint16_t divisor;
    uint8_t decimals;
    const char* unit;
    bool unsignedValue = false;
};

// Overwrites text with the value of the first key that equals it and returns the printed
// length; -1 (text unchanged) for a null text or one no key equals. The caller's buffer
// holds the longest value text.
int VarEval(ISMBase& h, char* text, const Key* keys, size_t n);

}  // namespace skel
}  // namespace qx
