#pragma once
// The statements every handler runs on the host's databases, written once.
//
// Every statement is formatted with a bound into CSMBase::m_buffer and run at once. One that
// does not fit is not run: a line "SQL too long ..." goes to standard output and the call
// reports "not run" (-1, or null from Format). Every text that comes from a device, an agent,
// the host's records or the database goes into a statement through Esc(): an SQL literal body
// with its single quotes doubled. Numbers are written with %d only.
//
// Never pass m_buffer itself as an argument of a formatting call: pass Esc(text).c_str(),
// which is a copy.
//
// A handler is then mostly tables:
//
//   static const qx::sql::DefRow kDefs[] = {
//       {1, "Temp", 1, "温度", 10, 1, 0, "最小值|...", 400, "最大值|...", 0},
//       {2, "Hum",  1, "湿度", 10, 1, 0, "最小值|...", 900, "最大值|...", 0},
//   };
//   static const qx::sql::TypeRow kType = {0x500, "TH", "温湿度..."};
//   void RegDb(IDbBase* db, int force) { qx::sql::RegDb(*this, db, force, kType, kDefs, 2); }
//
//   static const qx::sql::Field<CSMEnvir> kFields[] = {
//       {"Temp", [](const CSMEnvir& h) { return (int)h.m_t; }},
//       {"Hum",  [](const CSMEnvir& h) { return (int)h.m_h; }},
//   };
//   int DataUpd(int flags, int* bits, int* snap, int sid, IDbBase* hist) {
//       qx::sql::Cols cols = qx::sql::ColsOf(*this, kFields, 2);
//       qx::sql::PollRow row = {"tbEnvir", &cols, brief};
//       return qx::sql::StorePoll(*this, row, flags, bits, snap, sid, hist);
//   }
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "IDbBase.h"
#include "tagSMItem.h"

class CSMBase;
class ISMBase;

namespace qx {
namespace sql {

#define QX_SQL_PRINTF(f, a) __attribute__((format(printf, f, a)))

// The current local time as every statement writes it.
#define QX_SQL_NOW "datetime(CURRENT_TIMESTAMP,'localtime')"

// Common head of the handlers' current/history tables.
extern const char kHead[];

// ---------------------------------------------------------------- texts and formatting

// The body of an SQL text literal: single quotes doubled, a null text empty.
std::string Esc(const char* text);
// The same into a caller's buffer; returns out, or null (out emptied) when it does not fit.
char* EscTo(char* out, size_t outSize, const char* text);

// Formats into CSMBase::m_buffer. Returns m_buffer, or null when the statement does not fit
// (the buffer is then empty and the statement reported).
const char* Format(const char* fmt, ...) QX_SQL_PRINTF(1, 2);
const char* FormatV(const char* fmt, va_list ap);

// Statements dropped because they did not fit, since the library was loaded.
int Dropped();

// ---------------------------------------------------------------- running

// Exec: the database's result (0 = success); -1 when not run (no database, too long).
int Exec(IDbBase* db, const char* fmt, ...) QX_SQL_PRINTF(2, 3);
// A select count(*): the count; -1 when not run.
int Count(IDbBase* db, const char* fmt, ...) QX_SQL_PRINTF(2, 3);
// A select of one text: copied at once into out (bounded; no row gives ""). 1 when asked,
// 0 when not run.
int Text(IDbBase* db, char* out, size_t outSize, const char* fmt, ...) QX_SQL_PRINTF(4, 5);

// ---------------------------------------------------------------- column lists

// Value columns of a handler's table, in order: builds "a=1,b=2" for the current-row update
// and "a,b" / "1,2" for the history insert.
class Cols {
public:
    Cols& Int(const char* column, int value);
    Cols& Text(const char* column, const char* text);  // written as an escaped literal
    Cols& Null(const char* column);

    const std::string& Assign() const { return m_assign; }  // "a=1,b='x'"
    const std::string& Names() const { return m_names; }    // "a,b"
    const std::string& Values() const { return m_values; }  // "1,'x'"
    bool Empty() const { return m_names.empty(); }

private:
    void Add(const char* column, const std::string& literal);
    std::string m_assign, m_names, m_values;
};

// One integer value column of a handler's table: its SQL name and how to read it.
template <class H>
struct Field {
    const char* column;
    int (*get)(const H& handler);
};

template <class H>
Cols ColsOf(const H& handler, const Field<H>* fields, size_t n) {
    Cols c;
    for (size_t i = 0; i < n; i++) c.Int(fields[i].column, fields[i].get(handler));
    return c;
}

// Columns named in order whose values are the handler's DataVal(1..n).
Cols ColsOfDataVal(ISMBase& handler, const char* const* columns, size_t n);

// ",a INTEGER,b INTEGER" for a create statement.
std::string IntColumns(const char* const* columns, size_t n);
template <class H>
std::string IntColumns(const Field<H>* fields, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) s.append(",").append(fields[i].column).append(" INTEGER");
    return s;
}

// ---------------------------------------------------------------- registration

// The tbSMType row: class constant, family word ("UPS"; empty: the name is the model text
// alone) and GBK description.
struct TypeRow {
    int classConst;
    const char* family;
    const char* description;
};

// One tbSMDef row, positions 3 to 14 (position 15 NULL).
struct DefRow {
    int fld;
    const char* name;    // ASCII field name ("" for group rows)
    int kind;            // 1 value row; 2, 3, 4 group rows of detail tables
    const char* note;    // GBK caption
    int divisor;         // 1, 10, 100, 1000 (0 in a few state rows)
    int alarmKind;
    int low;
    const char* lowText;
    int high;
    const char* highText;
    int cell;            // 0; -1 in per-cell rows
    int seventh = 0;     // position 7: 0 in nearly every row
    // The high limit as the row writes it where that is not a plain integer ("125.0"); null:
    // high, written as an integer.
    const char* highAsWritten = nullptr;
};

// tbSMType row when missing. 1 inserted, 0 present, -1 not run.
int RegType(IDbBase* db, int type, const char* note, const TypeRow& row);
// One tbSMDef row. The database's result, -1 when not run.
int InsDef(IDbBase* db, int type, const DefRow& row);
// The whole of a handler's RegDb: type row when missing; the definition count and, with force,
// their deletion; then, when handler.NeedDef(db, force) says so, the rows in order.
// Returns the number of definition rows inserted.
int RegDb(CSMBase& handler, IDbBase* db, int force, const TypeRow& type, const DefRow* rows,
          size_t n);

// The point's current row in table and its tbSMBrief row, each inserted when missing (a new
// current row has State -1); an existing current row gets Type, Port and Addr again.
// 1 when every statement ran and succeeded, else 0.
int RegPoint(IDbBase* db, const char* table, const tagSMItem* item);

// A handler table: its name and column definitions (for "create table NAME(COLUMNS)").
struct TableDef {
    const char* name;
    const char* columns;
};
// Creates the table when missing. 1 created, 0 present, -1 the create failed or was not run.
int EnsureTable(IDbBase* db, const TableDef& table);
// The whole of a handler's ChkDb: every table in the main and, when set, the second database;
// then for an item its current row in pointTable (CSMBase::ChkDbDatInit); without an item 1
// when the last create succeeded or nothing had to be created.
int ChkDb(CSMBase& handler, const TableDef* tables, size_t n, tagSMItem* item,
          const char* pointTable);

// ---------------------------------------------------------------- each poll

// The state the host's arguments give: 2 without alarm bits (no answer), else 0; flag bit 0
// makes it 1 in either case.
int PollState(int flags, const int* alarmBits);
// SnapID: *snapId when flag bit 4 is set and snapId is not null, else 0.
int PollSnap(int flags, const int* snapId);
// Field n (1-based) out of limits.
bool FieldAlarm(const int* alarmBits, int field);
// The alarm bits of a poll of a handler of `fields` fields, passed over the fields `unread`
// names: fields with a row that this poll does not read, whose 0 is no reading whatever the
// host's limits find. own gets the bits with those fields cleared, and flag bit 0 is cleared
// when no other field is out of limits. Returns own's words, or alarmBits itself when it is
// null or nothing is named.
int* PassOver(int& flags, int* alarmBits, int fields, const std::vector<int>& unread,
              std::vector<int>& own);
// The alarm bits of a handler that keeps its values when the host marks a point in alarm
// (flag bit 0) without passing bits of its own: zeros gets as many zeroed words as a handler
// of `fields` fields reads, so that nothing reads beyond what was given, and its words are
// returned. alarmBits itself when it is given, or when the state is 2 (no answer: null).
int* KeptAlarmBits(int flags, int* alarmBits, int fields, std::vector<int>& zeros);

// "update tbSubSysDetail set LastUpd=...,State=%d where sid=%d and type=%d". type is the
// current point's Type (the host's row carries it), not the handler's reported type.
int UpdState(IDbBase* db, int state, int sid, int type);
// Per-field row of item, by its DetailMode (2: its SID, its Type and Fld; else SIDD and Fld),
// updated only when the count finds it. The row carries the point's Type, never the handler's
// reported type: a code served by its category's default handler has the point's own.
// 1 updated, 0 no such row or failed, -1 not run.
int UpdFieldState(IDbBase* db, const tagSMItem& item, int fld, int state);
// "update TABLE set DateUpd=...,State=%d,SnapID=%d,<cols> where sid=%d".
int UpdCurrent(IDbBase* db, const char* table, int state, int snap, const Cols& cols, int sid);
// Summary: "update tbSMBrief set LastUpd=...,Brief='%s' where sid=%d"; with st >= 0 the form
// with St. brief may be m_buffer.
int UpdBrief(IDbBase* db, int sid, const char* brief, int st = -1);
// "insert into TABLE(SID,DateUpd,State,SnapID,<names>) values(...)".
int InsHistory(IDbBase* db, const char* table, int sid, int state, int snap, const Cols& cols);

// The summary of a poll without answer (no alarm bits), the same for every handler: head (the
// handler's own opening words, e.g. its device word and fault mark; null or empty: none), then
// the words for a lost link. It shows no value (the values were cleared, not read) and no word
// meaning normal.
std::string NoAnswerBrief(const char* head = nullptr);

// What one DataUpd stores.
struct PollRow {
    const char* table;     // the handler's current/history table
    const Cols* cols;      // its value columns
    const char* brief;     // summary text of an answered poll (null: no summary update)
    bool briefState;       // the summary form with St
    bool alarmText;        // append the alarm text of the out-of-limit fields to the summary
    const char* noAnswerHead = nullptr;  // the handler's words before NoAnswerBrief's
};
// The standard DataUpd: state (by the point's Type), current row and summary on the main
// database (skipped without one), the history row when history is given. A negative sid is the
// current point's SID. A poll without answer gets NoAnswerBrief(row.noAnswerHead) as its summary.
// Returns 1 when the last statement succeeded, else 0 (0 without a current point).
int StorePoll(CSMBase& handler, const PollRow& row, int flags, int* alarmBits, int* snapId,
              int sid, IDbBase* history);

// The failure counter of handlers that report a silent device only after several polls
// without answer: true when this state is to be written (normal or in alarm, at once; no
// answer, state 2, the third time in a row). An alarm is never held back: the device answered,
// and an alarm of one or two polls would otherwise never be stored. The count belongs to the
// point: bySid keeps one per SID, so a dead device beside a healthy one of the same type is
// still reported; the handler's m_iErrCnt mirrors the count of the point just updated.
bool ErrGate(CSMBase& handler, std::map<int, int>& bySid, int sid, int state);

// ---------------------------------------------------------------- definition reads

// Caption of a field ("select Note from tbSMDef where Type=%d and Fld=%d"). 1 when asked.
int DefNote(IDbBase* db, int type, int fld, char* out, size_t outSize);
// Annotations of tbSMDef and tbSMDefVal, keyed SID*1000+Fld, empty ones skipped; later rows
// replace earlier ones. Returns the number of rows stored, -1 when not run.
int ReadNotes(IDbBase* db, int type, std::map<int64_t, std::string>& notes);
// vref of the type's 'BT100_Itm' row. 1 found (value in *out), 0 none, -1 not run.
int DefVref(IDbBase* db, int type, int* out);

// Trims a log-like table to its newest `keep` rows by DateUpd among those matching `where`
// ("State>=0"; one table uses "State=1").
int Trim(IDbBase* db, const char* table, const char* where = "State>=0", int keep = 1000);

}  // namespace sql
}  // namespace qx
