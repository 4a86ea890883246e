#pragma once
// The battery tables that the battery and cell monitors share: the current row tbBatt100 (one
// per point), the per-cell rows tbBattVal (all of a point's rows rewritten at every update),
// the cell-count definition row BT100_Itm and the command that sets the count.
//
//   tbBattVal of one point after an update with Ext1 = 2 and a group row:
//     Fld 0  State  V = group voltage  R = group current  T = group temperature  T2 = 0
//     Fld 1  State  V, R, T, T2 of cell 0
//     Fld 2  State  V, R, T, T2 of cell 1
//
// A monitor holds its cells in fixed arrays; every count that reaches it (the definition
// row's vref, DoFunc command 0, the DataGet argument, the point's Ext1) is capped at the
// arrays' size by the helpers below, so no walk leaves the arrays.
#include <stddef.h>
#include <stdint.h>

#include "core/SMBase.h"
#include "core/SMSql.h"

namespace qx {
namespace batt {

// tbSMType row of every battery monitor: "电池监测 <model>", category 1024.
extern const qx::sql::TypeRow kType;

// ChkDb of a monitor: tbBatt100 and tbBattVal on the main database, then on the second one;
// 0 without a main database; with an item the point's tbBatt100 row (ChkDbDatInit).
int ChkDb(CSMBase& h, tagSMItem* item);

// The stored cell count after RegDb: the vref of the type's BT100_Itm row, taken modulo
// 65536, 0 read as 4, capped at cap. No row (or no database) leaves count as it is.
void ReadCount(IDbBase* db, int type, uint16_t& count, int cap);

// DoFunc command 0: the count is the low 16 bits of len, capped at cap.
uint16_t CountOf(int len, int cap);

// The cells of one poll: the DataGet argument when not 0, else the stored count; capped.
int PollCount(int arg, int stored, int cap);

// The rows to write per point at most: Ext1, capped (a negative Ext1 writes none).
int RowCount(int ext1, int cap);

// One tbBattVal row.
struct Row {
    int state, v, r, t, t2;
};

// "update tbBatt100 set DateUpd=...,State=%d,SnapID=%d,Curr=%d,Volt =%d,Minutes =%d where sid=%d"
// on db. The database's result, -1 when not run.
int UpdCurrent(IDbBase* db, int state, int snap, int curr, int volt, int minutes, int sid);

// The tbBattVal rewrite of the current point: its rows deleted, the group row (Fld 0) when
// group is given, then rows Fld 1..cells from cell(i) (i 0-based). Runs only with a main
// database and a current item. Returns the result of the last insert (0 = success), 0 when
// no insert ran, -1 when nothing ran.
template <class F>
int WriteVal(CSMBase& h, const Row* group, int cells, F cell);

// The non-template core of WriteVal: one row.
int InsRow(IDbBase* db, const tagSMItem& item, int fld, const Row& row);
int DelRows(IDbBase* db, const tagSMItem& item);

template <class F>
int WriteVal(CSMBase& h, const Row* group, int cells, F cell) {
    if (!h.m_pDb || !h.m_pItem) return -1;
    DelRows(h.m_pDb, *h.m_pItem);
    int rc = 0;
    if (group) rc = InsRow(h.m_pDb, *h.m_pItem, 0, *group);
    for (int i = 0; i < cells; i++) rc = InsRow(h.m_pDb, *h.m_pItem, i + 1, cell(i));
    return rc;
}

}  // namespace batt
}  // namespace qx
