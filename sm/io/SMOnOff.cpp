#include "io/SMOnOff.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

const TypeRow kType = {2048, "QX-PD220-6", "485接口..."};  // "QX-PD220-6 <model text>"

#define QX_ONOFF_DEF(n) {n, "sd" #n, 1, "断开标志", 1, 1, 0, "0正常", 0, "", 0}
const DefRow kDefs[] = {QX_ONOFF_DEF(1), QX_ONOFF_DEF(2), QX_ONOFF_DEF(3),
                        QX_ONOFF_DEF(4), QX_ONOFF_DEF(5), QX_ONOFF_DEF(6)};
#undef QX_ONOFF_DEF

const Column kCols[] = {{"sd1", 1, false}, {"sd2", 2, false}, {"sd3", 3, false},
                        {"sd4", 4, false}, {"sd5", 5, false}, {"sd6", 6, false}};
constexpr size_t kN = sizeof(kCols) / sizeof(kCols[0]);

// A normal row is kept at most once an hour per point: the point has no row yet, or its
// newest one is older than 60 minutes by the database's clock.
int HistoryDue(IDbBase* hist, int sid) {
    int rows = qx::sql::Count(hist, "select count(*) from tbOnoff where SID=%d", sid);
    if (rows == 0) return 1;
    if (rows < 0) return 0;
    return qx::sql::Count(hist,
                          "select count(*) from tbOnoff where SID=%d and DateUpd=(select "
                          "max(DateUpd) from tbOnoff where SID=%d) and "
                          "DateUpd<datetime('now','localtime','-60 minutes')",
                          sid, sid) > 0;
}

}  // namespace

CSMOnOff::CSMOnOff() : CSMBase(0x200) {
    m_pData = m_sd;
    m_iDataCnt = 6;
    snprintf(m_note, sizeof(m_note), "%s", "QX-PD220-6");
    printf("SMOnOff new:%p\n", (void*)this);
}

void CSMOnOff::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, kN);
}

int CSMOnOff::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(kCols, kN);
    const qx::skel::Table tables[] = {{"tbOnoff", columns.c_str(), qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbOnoff", true);
}

// Request and reply (registers 0-2, the inputs one byte each, sd1..sd6):
//   01 04 00 00 00 06 70 08
//   01 04 0C 00 01 00 00 00 00 00 00 00 00 00 00 CRC     sd2 open
// The rest of the twelve data bytes is not used.
int CSMOnOff::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    uint8_t rx[32];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 4, 0, 6, rx, sizeof(rx), 0);
    if (!r.ok()) return 0;
    memcpy(m_sd, r.data, sizeof(m_sd));
    return 1;
}

int CSMOnOff::DataVal(int fld) {
    return fld >= 1 && fld <= 6 ? m_sd[fld - 1] : -1;
}

int CSMOnOff::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    // Without an answer the inputs are unknown: the row holds 0 for each.
    if (!u.answered) memset(m_sd, 0, sizeof(m_sd));
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, kN, 0);
    qx::skel::Brief b;
    for (size_t i = 0; i < kN; i++) b.Add(i ? ",%s" : "%s", m_sd[i] ? "断开" : "正常");
    int rc = qx::skel::Store(*this, u, "tbOnoff", cols, b.Text(), false, nullptr);
    if (!hist) return rc;
    // Old alarm rows beyond the table's newest 1000 go; every alarm is kept, a normal state
    // once an hour.
    int last = qx::sql::Trim(hist, "tbOnoff", "State=1");
    if (u.state == 1 || HistoryDue(hist, u.sid))
        last = qx::sql::InsHistory(hist, "tbOnoff", u.sid, u.state, u.snap, cols);
    return last == 0 ? 1 : 0;
}

// The display words of an input: 闭合 for a set byte, 断开 for 0 (the summary shows 断开 for
// a set byte; stored screens rely on both).
int CSMOnOff::VarEval(char* text) {
    if (!text) return -1;
    for (int i = 0; i < 6; i++) {
        char key[8];
        snprintf(key, sizeof(key), ".sd%d", i + 1);
        if (strcmp(text, key) != 0) continue;
        const char* word = m_sd[i] ? "闭合" : "断开";
        memcpy(text, word, strlen(word) + 1);
        return (int)strlen(word);
    }
    return -1;
}

// The module takes no commands: nothing is sent.
int CSMOnOff::DoFunc(ISerBase*, int, int, void*, int) { return 0; }
int CSMOnOff::DoFunc(int, void*, int) { return 0; }
