#pragma once
// The host's limit check: from the type's definition rows (tbSMDef) to the alarm bits that
// DataUpd takes. Limits are in stored units, as the rows state them.
//
//   alarm kind 0       not checked
//   alarm kind 1       a state or alarm code: out of limits when the value lies outside
//                      low..max(low, high) (0..0: alarms when not 0; a low limit of 1 with
//                      the legend "1有输入,0断开" alarms when the input is gone; 255..255 is a
//                      fault-free alarm byte)
//   any other kind     a measurement: out of limits below the low limit, or above the high
//                      limit when that is above the low one (a high limit of 0 under a low
//                      limit means "no upper bound", as battery capacity rows have it)
//
// Every row of the type's default definitions (SID 0) with a field number from 1 to the
// handler's value count takes part, whatever its row kind (the dry contacts and outputs of a
// DIO module, the cells of a battery string); group rows have field 0 and stay outside. Bit
// (n-1) % 32 of word (n-1) / 32 marks field n.
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

class IDbBase;

namespace qxhost {

struct LimitRow {
    int fld;
    int almKind;
    int low;
    int high;
    std::string name = std::string();  // the row's field name, for the host's own output
};

// The limit rows of a reported type code, in field order.
std::vector<LimitRow> LoadLimits(IDbBase& db, int type);

// Whether one value is out of its row's limits.
bool OutOfLimits(const LimitRow& row, int value);

// Sets the alarm bits of `fieldCount` values read through `value(field)` (1-based); `bits`
// is resized to the words needed (at least one). Returns the number of fields out of limits.
// `outRows`, when given, receives the first row of each field out of limits, in field order.
int CheckLimits(const std::vector<LimitRow>& rows, int fieldCount,
                const std::function<int(int)>& value, std::vector<int32_t>& bits,
                std::vector<LimitRow>* outRows = nullptr);

}  // namespace qxhost
