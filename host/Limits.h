#pragma once
// The host's limit check: from the type's definition rows (tbSMDef) to the alarm bits that
// DataUpd takes. Limits are in stored units, as the rows state them.
//
//   alarm kind 0       not checked
//   alarm kind 1       a state field: out of limits when the value is not 0
//   any other kind     a measurement: out of limits below the low limit, or above the high
//                      limit when that is above the low one (a high limit of 0 under a low
//                      limit means "no upper bound", as battery capacity rows have it)
//
// Only value rows (row kind 1) of the type's default definitions (SID 0) with a field number
// from 1 to the handler's value count take part. Bit (n-1) % 32 of word (n-1) / 32 marks
// field n.
#include <stdint.h>

#include <functional>
#include <vector>

class IDbBase;

namespace qxhost {

struct LimitRow {
    int fld;
    int almKind;
    int low;
    int high;
};

// The limit rows of a reported type code, in field order.
std::vector<LimitRow> LoadLimits(IDbBase& db, int type);

// Whether one value is out of its row's limits.
bool OutOfLimits(const LimitRow& row, int value);

// Sets the alarm bits of `fieldCount` values read through `value(field)` (1-based); `bits`
// is resized to the words needed (at least one). Returns the number of fields out of limits.
int CheckLimits(const std::vector<LimitRow>& rows, int fieldCount,
                const std::function<int(int)>& value, std::vector<int32_t>& bits);

}  // namespace qxhost
