#include "SMSql.h"

#include <stdio.h>
#include <string.h>

#include "SMBase.h"

namespace qx {
namespace sql {

const char kHead[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
    "DateUpd DATETIME,State INTEGER,SnapID INTEGER";

namespace {
int g_dropped = 0;

// Runs the statement now in m_buffer.
int RunExec(IDbBase* db, const char* sql) { return sql ? db->Exec(sql) : -1; }
}  // namespace

// ---------------------------------------------------------------- texts and formatting

std::string Esc(const char* text) {
    std::string s;
    if (!text) return s;
    for (const char* p = text; *p; p++) {
        if (*p == '\'') s.push_back('\'');
        s.push_back(*p);
    }
    return s;
}

char* EscTo(char* out, size_t outSize, const char* text) {
    if (!out || outSize == 0) return nullptr;
    size_t n = 0;
    for (const char* p = text ? text : ""; *p; p++) {
        size_t need = *p == '\'' ? 2 : 1;
        if (n + need >= outSize) {
            out[0] = '\0';
            return nullptr;
        }
        if (*p == '\'') out[n++] = '\'';
        out[n++] = *p;
    }
    out[n] = '\0';
    return out;
}

const char* FormatV(const char* fmt, va_list ap) {
    char* buf = CSMBase::m_buffer;
    const size_t size = sizeof(CSMBase::m_buffer);
    int n = vsnprintf(buf, size, fmt, ap);
    if (n < 0 || (size_t)n >= size) {
        buf[0] = '\0';
        g_dropped++;
        printf("SQL too long (%d bytes), not run: %.40s...\r\n", n, fmt);
        fflush(stdout);
        return nullptr;
    }
    return buf;
}

const char* Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const char* s = FormatV(fmt, ap);
    va_end(ap);
    return s;
}

int Dropped() { return g_dropped; }

// ---------------------------------------------------------------- running

int Exec(IDbBase* db, const char* fmt, ...) {
    if (!db) return -1;
    va_list ap;
    va_start(ap, fmt);
    const char* s = FormatV(fmt, ap);
    va_end(ap);
    return RunExec(db, s);
}

int Count(IDbBase* db, const char* fmt, ...) {
    if (!db) return -1;
    va_list ap;
    va_start(ap, fmt);
    const char* s = FormatV(fmt, ap);
    va_end(ap);
    return s ? db->QueryInt(s) : -1;
}

int Text(IDbBase* db, char* out, size_t outSize, const char* fmt, ...) {
    if (!out || outSize == 0) return 0;
    out[0] = '\0';
    if (!db) return 0;
    va_list ap;
    va_start(ap, fmt);
    const char* s = FormatV(fmt, ap);
    va_end(ap);
    if (!s) return 0;
    const char* r = db->QueryStr(s);
    snprintf(out, outSize, "%s", r ? r : "");
    return 1;
}

// ---------------------------------------------------------------- column lists

void Cols::Add(const char* column, const std::string& literal) {
    if (!m_names.empty()) {
        m_assign.push_back(',');
        m_names.push_back(',');
        m_values.push_back(',');
    }
    m_assign.append(column).append("=").append(literal);
    m_names.append(column);
    m_values.append(literal);
}

Cols& Cols::Int(const char* column, int value) {
    Add(column, std::to_string(value));
    return *this;
}

Cols& Cols::Text(const char* column, const char* text) {
    Add(column, "'" + Esc(text) + "'");
    return *this;
}

Cols& Cols::Null(const char* column) {
    Add(column, "NULL");
    return *this;
}

Cols ColsOfDataVal(ISMBase& handler, const char* const* columns, size_t n) {
    Cols c;
    for (size_t i = 0; i < n; i++) c.Int(columns[i], handler.DataVal((int)i + 1));
    return c;
}

std::string IntColumns(const char* const* columns, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) s.append(",").append(columns[i]).append(" INTEGER");
    return s;
}

// ---------------------------------------------------------------- registration

int RegType(IDbBase* db, int type, const char* note, const TypeRow& row) {
    int rows = Count(db, "select count(*) from tbSMType where Type=%d", type);
    if (rows < 0) return -1;
    if (rows > 0) return 0;
    std::string name = row.family && *row.family ? std::string(row.family) + " " : std::string();
    name += note ? note : "";
    int rc = Exec(db, "insert into tbSMType values(%d,%d,'%s','%s')", type, row.classConst,
                  Esc(name.c_str()).c_str(), Esc(row.description).c_str());
    return rc == 0 ? 1 : -1;
}

int InsDef(IDbBase* db, int type, const DefRow& r) {
    if (r.highAsWritten)
        return Exec(db, "insert into tbSMDef values(%d,0,%d,'%s',%d,'%s',%d,%d,%d,%d,'%s',%s,'%s',%d,NULL)",
                    type, r.fld, Esc(r.name).c_str(), r.kind, Esc(r.note).c_str(), r.seventh,
                    r.divisor, r.alarmKind, r.low, Esc(r.lowText).c_str(), r.highAsWritten,
                    Esc(r.highText).c_str(), r.cell);
    return Exec(db, "insert into tbSMDef values(%d,0,%d,'%s',%d,'%s',%d,%d,%d,%d,'%s',%d,'%s',%d,NULL)",
                type, r.fld, Esc(r.name).c_str(), r.kind, Esc(r.note).c_str(), r.seventh, r.divisor,
                r.alarmKind, r.low, Esc(r.lowText).c_str(), r.high, Esc(r.highText).c_str(),
                r.cell);
}

int RegDb(CSMBase& h, IDbBase* db, int force, const TypeRow& type, const DefRow* rows, size_t n) {
    if (!db) return 0;
    RegType(db, h.m_iType, h.m_note, type);
    // NeedDef counts the rows and, with force, deletes them.
    if (!h.NeedDef(db, force)) return 0;
    int inserted = 0;
    for (size_t i = 0; i < n; i++)
        if (InsDef(db, h.m_iType, rows[i]) == 0) inserted++;
    return inserted;
}

int RegPoint(IDbBase* db, const char* table, const tagSMItem* item) {
    if (!db || !table || !item) return 0;
    int ok = 1;
    int rows = Count(db, "select count(*) from %s where SID=%d", table, item->SID);
    if (rows < 0) {
        ok = 0;
    } else if (rows > 0) {
        if (Exec(db, "update %s set Type=%d,Port=%d,Addr=%d where SID=%d", table, item->Type,
                 item->Port, item->Addr, item->SID) != 0)
            ok = 0;
    } else {
        if (Exec(db,
                 "insert into %s(SID,Type,Port,Addr,DateUpd,State) "
                 "values(%d,%d,%d,%d," QX_SQL_NOW ",%d)",
                 table, item->SID, item->Type, item->Port, item->Addr, -1) != 0)
            ok = 0;
    }
    rows = Count(db, "select count(*) from tbSMBrief where SID=%d", item->SID);
    if (rows < 0) {
        ok = 0;
    } else if (rows == 0) {
        if (Exec(db, "insert into tbSMBrief(SID,LastUpd) values(%d," QX_SQL_NOW ")", item->SID) != 0)
            ok = 0;
    }
    return ok;
}

int EnsureTable(IDbBase* db, const TableDef& t) {
    if (!db || !t.name) return -1;
    if (db->TableExists(t.name)) return 0;
    return Exec(db, "create table %s(%s)", t.name, t.columns) == 0 ? 1 : -1;
}

int ChkDb(CSMBase& h, const TableDef* tables, size_t n, tagSMItem* item, const char* pointTable) {
    if (!h.m_pDb) return 0;
    int last = 0;  // 0: nothing created yet
    IDbBase* dbs[2] = {h.m_pDb, h.m_pDbHist};
    for (IDbBase* db : dbs) {
        if (!db) continue;
        for (size_t i = 0; i < n; i++) {
            int rc = EnsureTable(db, tables[i]);
            if (rc != 0) last = rc;
        }
    }
    if (item) return h.ChkDbDatInit(pointTable, item);
    return last >= 0 ? 1 : 0;
}

// ---------------------------------------------------------------- each poll

int PollState(int flags, const int* alarmBits) {
    if (flags & 1) return 1;
    return alarmBits ? 0 : 2;
}

int PollSnap(int flags, const int* snapId) { return ((flags & 16) && snapId) ? *snapId : 0; }

bool FieldAlarm(const int* alarmBits, int field) {
    if (!alarmBits || field < 1) return false;
    int i = field - 1;
    return (alarmBits[i / 32] >> (i % 32)) & 1;
}

int* PassOver(int& flags, int* alarmBits, int fields, const std::vector<int>& unread,
              std::vector<int>& own) {
    if (!alarmBits || unread.empty() || fields < 1) return alarmBits;
    own.assign(alarmBits, alarmBits + (fields + 31) / 32);
    bool before = false, after = false;
    for (int w : own) before = before || w != 0;
    for (int f : unread)
        if (f >= 1 && f <= fields) own[(size_t)(f - 1) / 32] &= ~(int)(1u << ((f - 1) % 32));
    for (int w : own) after = after || w != 0;
    if (before && !after) flags &= ~1;
    return own.data();
}

int* KeptAlarmBits(int flags, int* alarmBits, int fields, std::vector<int>& zeros) {
    if (alarmBits || PollState(flags, alarmBits) == 2) return alarmBits;
    zeros.assign((size_t)(fields > 32 ? (fields + 31) / 32 : 1), 0);
    return zeros.data();
}

int UpdState(IDbBase* db, int state, int sid, int type) {
    return Exec(db,
                "update tbSubSysDetail set LastUpd=" QX_SQL_NOW ",State=%d where sid=%d and type=%d",
                state, sid, type);
}

int UpdFieldState(IDbBase* db, const tagSMItem& item, int fld, int state) {
    const int type = item.Type;
    int rows, rc;
    if (item.DetailMode == 2) {
        rows = Count(db, "select count(*) from tbSubSysDetail where sid=%d and type=%d and Fld=%d",
                     item.SID, type, fld);
        if (rows <= 0) return rows;
        rc = Exec(db,
                  "update tbSubSysDetail set LastUpd=" QX_SQL_NOW
                  ",State=%d where sid=%d and type=%d and Fld=%d",
                  state, item.SID, type, fld);
    } else {
        rows = Count(db, "select count(*) from tbSubSysDetail where SIDD=%d and Fld=%d", item.SID,
                     fld);
        if (rows <= 0) return rows;
        rc = Exec(db,
                  "update tbSubSysDetail set LastUpd=" QX_SQL_NOW ",State=%d where SIDD=%d and Fld=%d",
                  state, item.SID, fld);
    }
    return rc == 0 ? 1 : (rc < 0 ? -1 : 0);
}

int UpdCurrent(IDbBase* db, const char* table, int state, int snap, const Cols& cols, int sid) {
    if (cols.Empty())
        return Exec(db, "update %s set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d where sid=%d",
                    table, state, snap, sid);
    return Exec(db, "update %s set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d,%s where sid=%d",
                table, state, snap, cols.Assign().c_str(), sid);
}

int UpdBrief(IDbBase* db, int sid, const char* brief, int st) {
    std::string text = Esc(brief);  // a copy: brief may be m_buffer
    if (st >= 0)
        return Exec(db, "update tbSMBrief set LastUpd=" QX_SQL_NOW ",St=%d,Brief='%s' where sid=%d",
                    st, text.c_str(), sid);
    return Exec(db, "update tbSMBrief set LastUpd=" QX_SQL_NOW ",Brief='%s' where sid=%d",
                text.c_str(), sid);
}

int InsHistory(IDbBase* db, const char* table, int sid, int state, int snap, const Cols& cols) {
    if (cols.Empty())
        return Exec(db,
                    "insert into %s(SID,DateUpd,State,SnapID) values(%d," QX_SQL_NOW ",%d,%d)",
                    table, sid, state, snap);
    return Exec(db, "insert into %s(SID,DateUpd,State,SnapID,%s) values(%d," QX_SQL_NOW ",%d,%d,%s)",
                table, cols.Names().c_str(), sid, state, snap, cols.Values().c_str());
}

std::string NoAnswerBrief(const char* head) {
    std::string text = head ? head : "";
    if (!text.empty()) text += ",";
    return text + "通讯中断";
}

int StorePoll(CSMBase& h, const PollRow& row, int flags, int* alarmBits, int* snapId, int sid,
              IDbBase* history) {
    tagSMItem* item = h.m_pItem;
    if (!item || !row.table) return 0;
    static const Cols kNone;
    const Cols& cols = row.cols ? *row.cols : kNone;
    int state = PollState(flags, alarmBits);
    int snap = PollSnap(flags, snapId);
    if (sid < 0) sid = item->SID;

    int last = -1;
    if (IDbBase* db = h.m_pDb) {
        last = UpdState(db, state, sid, item->Type);
        last = UpdCurrent(db, row.table, state, snap, cols, sid);
        if (row.brief) {
            std::string brief = alarmBits ? row.brief : NoAnswerBrief(row.noAnswerHead);
            if (row.alarmText && alarmBits) {
                char alm[1024];
                if (h.GetAlmDetail(alm, alarmBits, 3, sizeof(alm)) > 0) brief += alm;
            }
            last = UpdBrief(db, sid, brief.c_str(), row.briefState ? state : -1);
        }
    }
    if (history) last = InsHistory(history, row.table, sid, state, snap, cols);
    return last == 0 ? 1 : 0;
}

bool ErrGate(CSMBase& h, std::map<int, int>& bySid, int sid, int state) {
    int& count = bySid[sid];
    bool write = true;
    if (state != 2) {
        count = 0;
    } else if (++count < 3) {
        write = false;
    } else {
        count = 0;
    }
    h.m_iErrCnt = count;
    return write;
}

// ---------------------------------------------------------------- definition reads

int DefNote(IDbBase* db, int type, int fld, char* out, size_t outSize) {
    return Text(db, out, outSize, "select Note from tbSMDef where Type=%d and Fld=%d", type, fld);
}

int ReadNotes(IDbBase* db, int type, std::map<int64_t, std::string>& notes) {
    if (!db) return -1;
    const char* s = Format(
        "select SID,Fld,ANote from tbSMDef  where Type=%d union all select SID,Fld,ANote from "
        "tbSMDefVal where Type=%d order by SID,Fld",
        type, type);
    if (!s) return -1;
    void* q = db->Query(s, -1);
    if (!q) return -1;
    int stored = 0;
    for (int guard = 0; !db->Eof(q) && guard < 1000000; guard++) {
        int64_t key = (int64_t)db->GetInt(q, "SID") * 1000 + db->GetInt(q, "Fld");
        const char* note = db->GetStr(q, "ANote");
        if (note && *note) {
            notes[key] = note;
            stored++;
        }
        db->Next(q);
    }
    db->FreeResult(q);
    return stored;
}

int DefVref(IDbBase* db, int type, int* out) {
    if (!db) return -1;
    const char* s = Format("select vref from tbSMDef where Type=%d and FldName='BT100_Itm'", type);
    if (!s) return -1;
    void* q = db->Query(s, -1);
    if (!q) return -1;
    int found = 0;
    if (db->Eof(q) != 1) {
        if (out) *out = db->GetInt(q, "vref");
        found = 1;
    }
    db->FreeResult(q);
    return found;
}

int Trim(IDbBase* db, const char* table, const char* where, int keep) {
    return Exec(db,
                "delete from %s where %s and (DID not in(select DID from %s order by DateUpd desc "
                "limit %d))",
                table, where, table, keep);
}

}  // namespace sql
}  // namespace qx
