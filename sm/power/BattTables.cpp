#include "power/BattTables.h"

#include "core/SMSkeleton.h"

namespace qx {
namespace batt {

const qx::sql::TypeRow kType = {1024, "电池监测", "485接口..."};

namespace {
const char kTbBatt100[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,Curr INTEGER,Volt INTEGER,Minutes INTEGER,V1 "
    "INTEGER,R1 INTEGER,T1 INTEGER,TW1 INTEGER,V2 INTEGER,R2 INTEGER,T2 INTEGER,TW2 INTEGER,V3 "
    "INTEGER,R3 INTEGER,T3 INTEGER,TW3 INTEGER,V4 INTEGER,R4 INTEGER,T4 INTEGER,TW4 INTEGER,V5 "
    "INTEGER,R5 INTEGER,T5 INTEGER,TW5 INTEGER,V6 INTEGER,R6 INTEGER,T6 INTEGER,TW6 INTEGER,V7 "
    "INTEGER,R7 INTEGER,T7 INTEGER,TW7 INTEGER,V8 INTEGER,R8 INTEGER,T8 INTEGER,TW8 INTEGER,V9 "
    "INTEGER,R9 INTEGER,T9 INTEGER,TW9 INTEGER,V10 INTEGER,R10 INTEGER,T10 INTEGER,TW10 "
    "INTEGER,V11 INTEGER,R11 INTEGER,T11 INTEGER,TW11 INTEGER,V12 INTEGER,R12 INTEGER,T12 "
    "INTEGER,TW12 INTEGER";
const char kTbBattVal[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Fld INTEGER,DateUpd DATETIME,State "
    "INTEGER,V INTEGER,R INTEGER,T INTEGER,T2 INTEGER";

int Cap(int n, int cap) { return n < 0 ? 0 : n > cap ? cap : n; }
}  // namespace

int ChkDb(CSMBase& h, tagSMItem* item) {
    const qx::skel::Table tables[] = {{"tbBatt100", kTbBatt100, qx::skel::kBothDbs},
                                      {"tbBattVal", kTbBattVal, qx::skel::kBothDbs}};
    return qx::skel::ChkDb(h, tables, 2, item, "tbBatt100", true);
}

void ReadCount(IDbBase* db, int type, uint16_t& count, int cap) {
    int vref = 0;
    if (qx::sql::DefVref(db, type, &vref) != 1) return;
    int n = (uint16_t)vref;
    if (n == 0) n = 4;
    count = (uint16_t)Cap(n, cap);
}

uint16_t CountOf(int len, int cap) { return (uint16_t)Cap((uint16_t)len, cap); }

int PollCount(int arg, int stored, int cap) { return Cap(arg != 0 ? arg : stored, cap); }

int RowCount(int ext1, int cap) { return Cap(ext1, cap); }

int UpdCurrent(IDbBase* db, int state, int snap, int curr, int volt, int minutes, int sid) {
    return qx::sql::Exec(db,
                         "update tbBatt100 set DateUpd=datetime(CURRENT_TIMESTAMP,'localtime'),\t"
                         "    State=%d,SnapID=%d,Curr=%d,Volt =%d,Minutes =%d where sid=%d",
                         state, snap, curr, volt, minutes, sid);
}

int DelRows(IDbBase* db, const tagSMItem& item) {
    return qx::sql::Exec(db, "delete from tbBattVal where SID=%d", item.SID);
}

int InsRow(IDbBase* db, const tagSMItem& item, int fld, const Row& r) {
    return qx::sql::Exec(db,
                         "insert into tbBattVal values(null,%d,%d,%d,datetime(CURRENT_TIMESTAMP,"
                         "'localtime'),%d,%d,%d,%d,%d)",
                         item.SID, item.Type, fld, r.state, r.v, r.r, r.t, r.t2);
}

}  // namespace batt
}  // namespace qx
