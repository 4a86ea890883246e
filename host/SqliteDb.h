#pragma once
// The host's database: IDbBase over a real SQLite database.
#include <stdint.h>

#include <string>

#include "IDbBase.h"

struct sqlite3;

namespace qxhost {

// Schema of the host-owned tables. tbSMDef takes the library's 15 positional values in this
// column order; the low limit (10th value) is the column vref, the 15th value (NULL in every
// definition row) the default annotation ANote, which tbSMDefVal overrides per point.
extern const char* const kHostSchema[];

class SqliteDb : public IDbBase {
public:
    SqliteDb();
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens (creating) a database file, or ":memory:". False with the reason in Error().
    bool Open(const std::string& path);
    void Close();
    // Creates the host tables that are missing. False when a statement failed.
    bool CreateHostTables();

    // IDbBase
    int TableExists(const char* name) override;
    int Exec(const char* sql) override;
    int QueryInt(const char* sql) override;
    const char* QueryStr(const char* sql) override;
    int64_t LastInsertId() override;
    void* Query(const char* sql, int n) override;
    int Eof(void* handle) override;
    int Next(void* handle) override;
    void FreeResult(void* handle) override;
    int GetInt(void* handle, const char* column) override;
    const char* GetStr(void* handle, const char* column) override;

    // For tests and the host program.
    sqlite3* Handle() const { return m_db; }
    const std::string& Error() const { return m_error; }
    int Statements() const { return m_statements; }  // statements the library ran through us
    int Failures() const { return m_failures; }      // of which failed

private:
    void Fail(const char* sql);
    sqlite3* m_db;
    std::string m_str;
    std::string m_error;
    int m_statements;
    int m_failures;
};

}  // namespace qxhost
