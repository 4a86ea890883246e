#include "SqliteDb.h"

#include <sqlite3.h>
#include <stdio.h>
#include <string.h>

namespace qxhost {

const char* const kHostSchema[] = {
    "create table if not exists tbSMType(Type INTEGER,Kind INTEGER,Name TEXT,Note TEXT)",
    "create table if not exists tbSMDef(Type INTEGER,SID INTEGER,Fld INTEGER,FldName TEXT,"
    "Kind INTEGER,Note TEXT,Rsv INTEGER,Ratio INTEGER,AlmKind INTEGER,vref INTEGER,LoText TEXT,"
    "HiLmt INTEGER,HiText TEXT,Cell INTEGER,ANote TEXT)",
    "create table if not exists tbSMDefVal(SID INTEGER,Fld INTEGER,ANote TEXT,Type INTEGER)",
    "create table if not exists tbSubSysDetail(SID INTEGER,Type INTEGER,Fld INTEGER,"
    "SIDD INTEGER,LastUpd DATETIME,State INTEGER)",
    "create table if not exists tbSMBrief(SID INTEGER PRIMARY KEY,LastUpd DATETIME,St INTEGER,"
    "Brief TEXT)",
    nullptr,
};

namespace {
// A row walk: a prepared statement stepped one row ahead.
struct Result {
    sqlite3_stmt* stmt;
    bool eof;
};

int ColumnIndex(sqlite3_stmt* st, const char* column) {
    if (!column) return -1;
    int n = sqlite3_column_count(st);
    for (int i = 0; i < n; i++) {
        const char* name = sqlite3_column_name(st, i);
        if (name && sqlite3_stricmp(name, column) == 0) return i;
    }
    return -1;
}
}  // namespace

SqliteDb::SqliteDb() : m_db(nullptr), m_statements(0), m_failures(0) {}

SqliteDb::~SqliteDb() { Close(); }

bool SqliteDb::Open(const std::string& path) {
    Close();
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) {
        m_error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    return true;
}

void SqliteDb::Close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool SqliteDb::CreateHostTables() {
    if (!m_db) return false;
    for (const char* const* s = kHostSchema; *s; s++) {
        char* err = nullptr;
        if (sqlite3_exec(m_db, *s, nullptr, nullptr, &err) != SQLITE_OK) {
            m_error = err ? err : "create failed";
            sqlite3_free(err);
            return false;
        }
    }
    return true;
}

void SqliteDb::Fail(const char* sql) {
    m_failures++;
    m_error = m_db ? sqlite3_errmsg(m_db) : "no database";
}

int SqliteDb::TableExists(const char* name) {
    if (!m_db || !name) return 0;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, "select count(*) from sqlite_master where type='table' and name=?",
                           -1, &st, nullptr) != SQLITE_OK)
        return 0;
    sqlite3_bind_text(st, 1, name, -1, SQLITE_TRANSIENT);
    int found = 0;
    if (sqlite3_step(st) == SQLITE_ROW) found = sqlite3_column_int(st, 0) > 0;
    sqlite3_finalize(st);
    return found;
}

int SqliteDb::Exec(const char* sql) {
    m_statements++;
    if (!m_db || !sql) {
        Fail(sql);
        return -1;
    }
    char* err = nullptr;
    int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        m_failures++;
        m_error = err ? err : sqlite3_errstr(rc);
    }
    sqlite3_free(err);
    return rc == SQLITE_OK ? 0 : rc;
}

int SqliteDb::QueryInt(const char* sql) {
    m_statements++;
    if (!m_db || !sql) {
        Fail(sql);
        return 0;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
        Fail(sql);
        return 0;
    }
    int v = 0;
    if (sqlite3_step(st) == SQLITE_ROW) v = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return v;
}

const char* SqliteDb::QueryStr(const char* sql) {
    m_statements++;
    m_str.clear();
    if (!m_db || !sql) {
        Fail(sql);
        return m_str.c_str();
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
        Fail(sql);
        return m_str.c_str();
    }
    if (sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        if (t) m_str.assign((const char*)t, sqlite3_column_bytes(st, 0));
    }
    sqlite3_finalize(st);
    return m_str.c_str();
}

int64_t SqliteDb::LastInsertId() { return m_db ? sqlite3_last_insert_rowid(m_db) : 0; }

void* SqliteDb::Query(const char* sql, int n) {
    m_statements++;
    if (!m_db || !sql) {
        Fail(sql);
        return nullptr;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
        Fail(sql);
        return nullptr;
    }
    Result* r = new Result{st, sqlite3_step(st) != SQLITE_ROW};
    return r;
}

int SqliteDb::Eof(void* handle) { return handle ? (((Result*)handle)->eof ? 1 : 0) : 1; }

int SqliteDb::Next(void* handle) {
    Result* r = (Result*)handle;
    if (!r || r->eof) return 0;
    r->eof = sqlite3_step(r->stmt) != SQLITE_ROW;
    return r->eof ? 0 : 1;
}

void SqliteDb::FreeResult(void* handle) {
    Result* r = (Result*)handle;
    if (!r) return;
    sqlite3_finalize(r->stmt);
    delete r;
}

int SqliteDb::GetInt(void* handle, const char* column) {
    Result* r = (Result*)handle;
    if (!r || r->eof) return 0;
    int i = ColumnIndex(r->stmt, column);
    return i < 0 ? 0 : sqlite3_column_int(r->stmt, i);
}

const char* SqliteDb::GetStr(void* handle, const char* column) {
    Result* r = (Result*)handle;
    if (!r || r->eof) return "";
    int i = ColumnIndex(r->stmt, column);
    if (i < 0) return "";
    const unsigned char* t = sqlite3_column_text(r->stmt, i);
    return t ? (const char*)t : "";
}

}  // namespace qxhost
