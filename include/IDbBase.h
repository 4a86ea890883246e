#pragma once
#include <stdint.h>

// The host's database interface. The handlers call it by slot position, so the order of the
// 31 virtual functions is the contract. Slots the library never calls are placeholders with a
// neutral body, so a host only implements the used ones. No destructor among the slots.
class IDbBase {
public:
    virtual int Reserved00() { return 0; }                                // 0
    virtual int Reserved01() { return 0; }                                // 1
    virtual int Reserved02() { return 0; }                                // 2
    virtual int Reserved03() { return 0; }                                // 3
    virtual int Reserved04() { return 0; }                                // 4
    virtual int Reserved05() { return 0; }                                // 5
    virtual int TableExists(const char* name) = 0;                        // 6: nonzero when it exists
    virtual int Exec(const char* sql) = 0;                                // 7: 0 = success
    virtual int QueryInt(const char* sql) = 0;                            // 8: value of a count(*)
    virtual const char* QueryStr(const char* sql) = 0;                    // 9: first column of first row
    virtual int64_t LastInsertId() = 0;                                   // 10
    virtual int Reserved11() { return 0; }                                // 11
    virtual int Reserved12() { return 0; }                                // 12
    virtual int Reserved13() { return 0; }                                // 13
    virtual int Reserved14() { return 0; }                                // 14
    virtual int Reserved15() { return 0; }                                // 15
    virtual void* Query(const char* sql, int n) = 0;                      // 16: result handle
    virtual int Eof(void* handle) = 0;                                    // 17
    virtual int Next(void* handle) = 0;                                   // 18
    virtual void FreeResult(void* handle) = 0;                            // 19
    virtual int Reserved20() { return 0; }                                // 20
    virtual int Reserved21() { return 0; }                                // 21
    virtual int Reserved22() { return 0; }                                // 22
    virtual int Reserved23() { return 0; }                                // 23
    virtual int Reserved24() { return 0; }                                // 24
    virtual int Reserved25() { return 0; }                                // 25
    virtual int GetInt(void* handle, const char* column) = 0;             // 26
    virtual int Reserved27() { return 0; }                                // 27
    virtual int Reserved28() { return 0; }                                // 28
    virtual int Reserved29() { return 0; }                                // 29
    virtual const char* GetStr(void* handle, const char* column) = 0;     // 30
};
