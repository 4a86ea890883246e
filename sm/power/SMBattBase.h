#pragma once
#include <stddef.h>
#include <stdint.h>

#include "core/SMBase.h"
#include "core/SMSql.h"
#include "core/SMSkeleton.h"
#include "power/BattTables.h"

// What every monitor on the battery tables (power/BattTables.h) does alike: the type and
// definition rows with the cell count read back from BT100_Itm, the two tables, and DoFunc
// command 0 that sets the count. The count is capped at the monitor's arrays (cells).
// DataGet's third argument is, for these monitors, the cells to read in that poll.
class CSMBattBase : public CSMBase {
public:
    CSMBattBase(int type, int cells, const qx::sql::DefRow* defs, size_t nDefs);

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    using CSMBase::DoFunc;
    int DoFunc(int cmd, void* buf, int len) override;

protected:
    // The cells of a poll with DataGet argument count (0: the stored count), capped.
    int PollCells(int count) const;
    // The tbBattVal rows of the current point: its Ext1, capped.
    int RowCells() const;

    // The opening of DataUpd: state and SnapID (from flags bit 4), the state into
    // tbSubSysDetail. False without a current item (nothing written).
    bool BeginUpd(qx::skel::Upd& u, int flags, const int* alarmBits, const int* snapId, int sid);
    // The closing of DataUpd: the tbBatt100 row (sid of the call), the point's tbBattVal rows
    // rewritten (group row when given, then RowCells() cells from cell(i)). 1 when the last
    // statement succeeded, 1 without a main database.
    template <class F>
    int StoreRows(const qx::skel::Upd& u, int curr, int volt, int minutes,
                  const qx::batt::Row* group, F cell) {
        int rc = qx::batt::UpdCurrent(m_pDb, u.state, u.snap, curr, volt, minutes, u.sid);
        int rows = qx::batt::WriteVal(*this, group, RowCells(), cell);
        if (m_pDb) rc = rows;
        return !m_pDb || rc == 0 ? 1 : 0;
    }

    uint16_t m_count = 0;  // stored cell count, for every point of the type

private:
    const int m_cells;
    const qx::sql::DefRow* m_defs;
    size_t m_nDefs;
};
