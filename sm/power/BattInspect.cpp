#include "power/BattInspect.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace qx {
namespace inspect {

int Update(CSMBase& h, int& owner, void* block, size_t size, int flags, int* alarmBits,
           int* snapId, int sid, IDbBase* hist, const char* table,
           const std::vector<qx::skel::Column>& cols, AlarmText alarmText) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(h, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags)) return 0;
    if (!u.answered || owner != h.m_pItem->SID) memset(block, 0, size);
    if (!u.answered) owner = -1;

    qx::skel::Brief b;
    if (u.state == 1 && u.answered) {
        alarmText(b, alarmBits);
        b.Add("告警(其他正常)");
    } else {
        b.Add("(全部正常)");
    }
    qx::sql::Cols c = qx::skel::PollCols(h, u, alarmBits, cols.data(), cols.size(),
                                         qx::skel::kColsZeroNoAnswer);
    return qx::skel::Store(h, u, table, c, b.Text(), true, hist);
}

int Eval(ISMBase& h, char* text, const qx::skel::Key* keys, size_t n, int cells, int offset) {
    int len = qx::skel::VarEval(h, text, keys, n);
    if (len >= 0 || !text) return len;
    static const char kCellKey[] = ".单体电压";
    int cell;
    if (strstr(text, kCellKey))
        cell = atoi(text + (sizeof kCellKey - 1));
    else if (strstr(text, ".dy"))
        cell = atoi(text + 3);
    else
        return -1;
    if (cell < 1 || cell > cells) return -1;
    return sprintf(text, "%.1f", h.DataVal(cell + offset) / 1000.0);
}

}  // namespace inspect
}  // namespace qx
