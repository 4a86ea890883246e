#include "io/CardLog.h"

#include <stdio.h>

namespace qx {
namespace card {

const char kColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,Rec INTEGER,Card INTEGER,Door INTEGER,St "
    "INTEGER,LogDate DATETIME,LogImg VARCHAR(128)";

int ChkDb(CSMBase& h, tagSMItem* item) {
    const qx::skel::Table tables[] = {{"tbCardLog", kColumns, qx::skel::kBothDbs}};
    return qx::skel::ChkDb(h, tables, 1, item, "tbCardLog");
}

const char* LogDate(const Event& e, DateStyle style, char* out, size_t outSize) {
    if (style == kCenturyYear)
        snprintf(out, outSize, "%02d%02d-%02d-%02d %02d:%02d:%02d", e.year / 100, e.year % 100,
                 e.month, e.day, e.hour, e.minute, e.second);
    else
        snprintf(out, outSize, "%d-%02d-%02d %02d:%02d:%02d", e.year, e.month, e.day, e.hour,
                 e.minute, e.second);
    return out;
}

const PointLog& Points::Get(int sid) const {
    static const PointLog none;
    auto it = m_points.find(sid);
    return it == m_points.end() ? none : it->second;
}

int CurrentSid(const CSMBase& h) { return h.m_pItem ? h.m_pItem->SID : 0; }

void TrimAbove1500(IDbBase* db, const char* table) {
    if (qx::sql::Count(db, "select count(*) from %s", table) > 1500) qx::sql::Trim(db, table);
}

int Log(IDbBase* hist, int sid, int state, int snap, const Event& e, DateStyle style) {
    char date[48];
    LogDate(e, style, date, sizeof date);
    return Log(hist, sid, state, snap, e, date);
}

int Log(IDbBase* hist, int sid, int state, int snap, const Event& e, const char* logDate) {
    if (!hist || !logDate) return -1;
    TrimAbove1500(hist, "tbCardLog");
    // Counted over every point: one event per second of the log.
    const std::string lit = qx::sql::Esc(logDate);
    if (qx::sql::Count(hist, "select count(*) from tbCardLog where LogDate='%s'", lit.c_str()) != 0)
        return -1;
    return qx::sql::Exec(hist,
                         "insert into tbCardLog(SID,DateUpd,State,SnapID,Rec,Card,Door,St,LogDate) "
                         "values(%d," QX_SQL_NOW ",%d,%d,%d,%d,%d,%d,'%s')",
                         sid, state, snap, (int)e.rec, (int)e.card, e.door, e.st, lit.c_str());
}

int Store(CSMBase& h, const Points& points, int32_t& newEvent, DateStyle style, bool fullRow,
          int flags, int* alarmBits, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(h, u, flags, alarmBits, nullptr, sid, qx::skel::kSnapZero)) {
        newEvent = 0;
        return 0;
    }
    IDbBase* db = h.m_pDb;
    qx::sql::UpdState(db, u.state, u.sid, u.type);
    const Event& e = points.Get(u.sid).ev;
    int rc = 0;
    if (db) {
        if (fullRow) {
            char date[48];
            LogDate(e, style, date, sizeof date);
            rc = qx::sql::Exec(db,
                               "update tbCardLog set DateUpd=" QX_SQL_NOW
                               ",State=%d,SnapID=%d,Rec=%d,Card=%d,Door=%d,St=%d,LogDate='%s' "
                               "where sid=%d",
                               u.state, u.snap, (int)e.rec, (int)e.card, e.door, e.st,
                               qx::sql::Esc(date).c_str(), u.sid);
        } else {
            rc = qx::sql::Exec(db, "update tbCardLog set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d where sid=%d",
                               u.state, u.snap, u.sid);
        }
        if (u.answered)
            qx::sql::UpdBrief(db, u.sid, u.state == 1 ? "有开门" : "正常", u.state);
        else
            qx::sql::UpdBrief(db, u.sid, qx::sql::NoAnswerBrief().c_str(), u.state);
    }
    if (hist && newEvent) {
        int logged = Log(hist, u.sid, u.state, u.snap, e, style);
        if (logged >= 0) rc = logged;
    }
    newEvent = 0;
    return rc == 0 ? 1 : 0;
}

}  // namespace card
}  // namespace qx
