#pragma once
// The reference host's limit check on a polled handler: the limits of its type's own
// definition rows, checked over fields 1 to DataSize (qxhost::CheckLimits).
#include <stdint.h>

#include <string>
#include <vector>

#include "ISMBase.h"
#include "Limits.h"

namespace powertest {

// The fields of h out of the limits of type's rows in db as the host names them, "NAME(FIELD)"
// comma-separated ("" for none); bits gets the alarm bits the host hands to DataUpd (with flag
// bit 0 when the text is not empty).
inline std::string OutOfLimits(ISMBase& h, IDbBase& db, int type, std::vector<int32_t>& bits) {
    std::vector<qxhost::LimitRow> out;
    qxhost::CheckLimits(qxhost::LoadLimits(db, type), h.DataSize(), [&h](int f) { return h.DataVal(f); },
                        bits, &out);
    std::string names;
    for (const qxhost::LimitRow& r : out)
        names += (names.empty() ? "" : ",") + r.name + "(" + std::to_string(r.fld) + ")";
    return names;
}

}  // namespace powertest
