#include "Limits.h"

#include <stdio.h>

#include <algorithm>

#include "IDbBase.h"

namespace qxhost {

std::vector<LimitRow> LoadLimits(IDbBase& db, int type) {
    std::vector<LimitRow> rows;
    char sql[256];
    snprintf(sql, sizeof sql,
             "select Fld,AlmKind,vref,HiLmt,FldName from tbSMDef where Type=%d and SID=0 "
             "and Fld>0 and AlmKind<>0 order by Fld",
             type);
    void* r = db.Query(sql, -1);
    if (!r) return rows;
    while (!db.Eof(r)) {
        const char* name = db.GetStr(r, "FldName");
        rows.push_back(LimitRow{db.GetInt(r, "Fld"), db.GetInt(r, "AlmKind"), db.GetInt(r, "vref"),
                                db.GetInt(r, "HiLmt"), name ? name : ""});
        db.Next(r);
    }
    db.FreeResult(r);
    return rows;
}

bool OutOfLimits(const LimitRow& row, int value) {
    if (row.almKind == 0) return false;
    if (row.almKind == 1) return value < row.low || value > std::max(row.low, row.high);
    if (value < row.low) return true;
    return row.high > row.low && value > row.high;
}

int CheckLimits(const std::vector<LimitRow>& rows, int fieldCount,
                const std::function<int(int)>& value, std::vector<int32_t>& bits,
                std::vector<LimitRow>* outRows) {
    // A value count from a handler is capped: no type has anywhere near this many fields.
    fieldCount = std::max(0, std::min(fieldCount, 1 << 16));
    bits.assign((size_t)std::max(1, (fieldCount + 31) / 32), 0);
    int out = 0;
    for (const LimitRow& row : rows) {
        if (row.fld < 1 || row.fld > fieldCount) continue;
        int i = row.fld - 1;
        int32_t mask = (int32_t)(1u << (i % 32));
        if ((bits[(size_t)(i / 32)] & mask) || !OutOfLimits(row, value(row.fld))) continue;
        bits[(size_t)(i / 32)] |= mask;
        if (outRows) outRows->push_back(row);
        out++;
    }
    return out;
}

}  // namespace qxhost
