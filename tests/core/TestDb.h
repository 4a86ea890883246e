#pragma once
// An in-memory host database with the host tables, and row readers for the checks.
#include <sqlite3.h>

#include <string>

#include "SqliteDb.h"
#include "gtest/gtest.h"

struct TestDb : qxhost::SqliteDb {
    TestDb() {
        EXPECT_TRUE(Open(":memory:"));
        EXPECT_TRUE(CreateHostTables()) << Error();
    }
    // First column of the first row as text ("<none>" without a row, "<null>" for NULL).
    std::string Str(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        std::string out = "<error>";
        if (sqlite3_prepare_v2(Handle(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return out;
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out = t ? (const char*)t : "<null>";
        } else {
            out = "<none>";
        }
        sqlite3_finalize(st);
        return out;
    }
    long long Int(const std::string& sql) {
        std::string s = Str(sql);
        return (s[0] == '<') ? -999999 : atoll(s.c_str());
    }
    void Run(const std::string& sql) { ASSERT_EQ(0, Exec(sql.c_str())) << sql << ": " << Error(); }
};

// Hex bytes of a text, for comparing GBK without printing it.
inline std::string Hex(const std::string& s) {
    static const char d[] = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h.push_back(d[c >> 4]);
        h.push_back(d[c & 15]);
    }
    return h;
}
inline std::string Unhex(const char* h) {
    std::string s;
    for (; h[0] && h[1]; h += 2) s.push_back((char)std::stoi(std::string(h, 2), nullptr, 16));
    return s;
}
