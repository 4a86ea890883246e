#include "power/SMBattBase.h"

#include "power/BattTables.h"

CSMBattBase::CSMBattBase(int type, int cells, const qx::sql::DefRow* defs, size_t nDefs)
    : CSMBase(type), m_cells(cells), m_defs(defs), m_nDefs(nDefs) {}

void CSMBattBase::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, qx::batt::kType, m_defs, m_nDefs);
    qx::batt::ReadCount(db, m_iType, m_count, m_cells);
}

int CSMBattBase::ChkDb(tagSMItem* item) { return qx::batt::ChkDb(*this, item); }

int CSMBattBase::DoFunc(int cmd, void* buf, int len) {
    if (cmd != 0) return CSMBase::DoFunc(cmd, buf, len);
    m_count = qx::batt::CountOf(len, m_cells);
    return 1;
}

int CSMBattBase::PollCells(int count) const { return qx::batt::PollCount(count, m_count, m_cells); }

int CSMBattBase::RowCells() const {
    return m_pItem ? qx::batt::RowCount(m_pItem->Ext1, m_cells) : 0;
}

bool CSMBattBase::BeginUpd(qx::skel::Upd& u, int flags, const int* alarmBits, const int* snapId,
                           int sid) {
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return false;
    qx::sql::UpdState(m_pDb, u.state, u.sid, u.type);
    return true;
}
