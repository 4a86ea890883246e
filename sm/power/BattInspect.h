#pragma once
// What the battery inspection units (ADU1000, DB100) do alike around their own decoders: a
// value block that one poll fills and that belongs to the point that polled, the update of
// the unit's own table with a summary built from the alarm marks, and the cell display keys.
//
//   int DataUpd(...) { return qx::inspect::Update(*this, m_owner, m_val, sizeof m_val, flags,
//                        alarmBits, snapId, sid, hist, "tbBattDb100", Columns(), AlarmText); }
//   int VarEval(char* text) { return qx::inspect::Eval(*this, text, kKeys, n, 24, 10); }
#include <stddef.h>

#include <vector>

#include "core/SMBase.h"
#include "core/SMSkeleton.h"

namespace qx {
namespace inspect {

// The summary text of an update in alarm (state 1 with alarm bits), before "告警(其他正常)".
using AlarmText = void (*)(qx::skel::Brief& brief, const int* alarmBits);

// DataUpd of an inspection unit. SnapID from flags bit 4; state 2 without alarm bits, else 0,
// or 1 by flags bit 0. The value block (size bytes at block) is cleared without an answer and
// when owner, the SID whose poll filled it, is another point: a point never stores another
// point's readings. Summary: alarmText then "告警(其他正常)" in state 1 with alarm bits,
// "(全部正常)" otherwise; the shared no-answer summary without an answer. Then the current row
// and the history row of table, the columns' values from h.DataVal. 0 without a current item.
int Update(CSMBase& h, int& owner, void* block, size_t size, int flags, int* alarmBits,
           int* snapId, int sid, IDbBase* hist, const char* table,
           const std::vector<qx::skel::Column>& cols, AlarmText alarmText);

// VarEval: the keys first; then the cell keys, ".单体电压N" (N read right after the key's bytes
// from the start of the text) or ".dyN", answered "%.1f" of h.DataVal(N + offset) / 1000 for a
// cell 1..cells and -1 for any other N.
int Eval(ISMBase& h, char* text, const qx::skel::Key* keys, size_t n, int cells, int offset);

}  // namespace inspect
}  // namespace qx
