#include "SMSkeleton.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"

namespace qx {
namespace skel {

std::string TableColumns(const Column* cols, size_t n) {
    std::string s = qx::sql::kHead;
    for (size_t i = 0; i < n; i++) s.append(",").append(cols[i].name).append(" INTEGER");
    for (size_t i = 0; i < n; i++)
        if (cols[i].flag) s.append(",i").append(cols[i].name).append(" INTEGER");
    return s;
}

int ChkDb(CSMBase& h, const Table* tables, size_t n, tagSMItem* item, const char* pointTable,
          bool needMain) {
    if (!h.m_pDb && !h.m_pDbHist) return 0;
    if (needMain && !h.m_pDb) return 0;
    int last = 0;  // 0: nothing created yet
    const struct {
        IDbBase* db;
        uint8_t where;
    } dbs[2] = {{h.m_pDb, kMainDb}, {h.m_pDbHist, kHistDb}};
    for (const auto& d : dbs) {
        if (!d.db) continue;
        for (size_t i = 0; i < n; i++) {
            if (!(tables[i].dbs & d.where)) continue;
            qx::sql::TableDef t = {tables[i].name, tables[i].columns};
            int rc = qx::sql::EnsureTable(d.db, t);
            if (rc != 0) last = rc;
        }
    }
    if (item) return h.ChkDbDatInit(pointTable, item);
    return last >= 0 ? 1 : 0;
}

int ChkDb(CSMBase& h, const char* table, const Column* cols, size_t n, tagSMItem* item,
          bool needMain) {
    const std::string columns = TableColumns(cols, n);
    const Table tables[] = {{table, columns.c_str(), kBothDbs}};
    return ChkDb(h, tables, 1, item, table, needMain);
}

bool Ready(ISerBase* ser, bool purge) {
    if (!ser || !ser->IsOpened()) return false;
    if (purge) ser->Purge();
    return true;
}

qx::MbReply MbPoll(CSMBase& h, ISerBase* ser, int addr, int function, int reg, int count,
                   uint8_t* reply, int replySize, int waitMs, int dataBytes) {
    if (!qx::AddrFits(addr)) {
        qx::MbReply refused;
        refused.status = qx::ReplyStatus::AddressTooWide;
        return refused;
    }
    int len = h.ModBusCmd(addr, function, reg, count);
    return MbSend(h, ser, len, reply, replySize, waitMs, dataBytes);
}

qx::MbReply MbSend(CSMBase& h, ISerBase* ser, int len, uint8_t* reply, int replySize,
                   int waitMs, int dataBytes) {
    if (len <= 0 || len > (int)sizeof(h.m_cmd)) return qx::MbReply();
    return qx::MbExchange(ser, qx::MbFraming::Rtu, h.m_cmd, len, reply, replySize, waitMs,
                          dataBytes);
}

int Reads(CSMBase& h, ISerBase* ser, int addr, const Read* reads, size_t n, int waitMs,
          const Take& take) {
    for (size_t i = 0; i < n; i++) {
        uint8_t rx[260];  // a read of 125 registers with its frame
        qx::MbReply r = MbPoll(h, ser, addr, reads[i].function, reads[i].reg, reads[i].count, rx,
                               sizeof(rx), waitMs);
        if (!r.ok()) return 0;
        take(i, r);
    }
    return 1;
}

bool Begin(CSMBase& h, Upd& u, int flags, const int* alarmBits, const int* snapId, int sid,
           Snap snap, const Column* cols, size_t n) {
    u = Upd();
    tagSMItem* item = h.m_pItem;
    if (!item) return false;
    u.answered = alarmBits != nullptr;
    u.state = u.answered ? 0 : 2;
    if (u.answered && cols) {
        for (size_t i = 0; i < n; i++)
            if (cols[i].flag && qx::sql::FieldAlarm(alarmBits, cols[i].fld)) u.state = 1;
    }
    if (flags & 1) u.state = 1;  // the host's alarm, whatever the poll gave
    u.snap = snap == kSnapFromFlags ? qx::sql::PollSnap(flags, snapId) : 0;
    u.sid = sid < 0 ? item->SID : sid;
    u.type = item->Type;
    return true;
}

int Flag(const Upd& u, const int* alarmBits, int fld) {
    if (!u.answered || !alarmBits) return 2;
    return qx::sql::FieldAlarm(alarmBits, fld) ? 1 : 0;
}

qx::sql::Cols PollCols(ISMBase& h, const Upd& u, const int* alarmBits, const Column* cols,
                       size_t n, unsigned what) {
    qx::sql::Cols c;
    bool zero = (what & kColsZeroNoAnswer) && !u.answered;
    for (size_t i = 0; i < n; i++) c.Int(cols[i].name, zero ? 0 : h.DataVal(cols[i].fld));
    if (what & kColsFlags) {
        for (size_t i = 0; i < n; i++) {
            if (!cols[i].flag) continue;
            std::string name = std::string("i") + cols[i].name;
            c.Int(name.c_str(), Flag(u, alarmBits, cols[i].fld));
        }
    }
    return c;
}

int Store(CSMBase& h, const Upd& u, const char* table, const qx::sql::Cols& cols,
          const char* brief, bool briefSt, IDbBase* hist, const char* noAnswer) {
    int last = 0;  // nothing run counts as success
    if (IDbBase* db = h.m_pDb) {
        qx::sql::UpdState(db, u.state, u.sid, u.type);
        last = qx::sql::UpdCurrent(db, table, u.state, u.snap, cols, u.sid);
        // A poll without answer: the shared words instead of the handler's text, whose values
        // were cleared, not read.
        const std::string none = u.answered ? std::string()
                                 : noAnswer ? std::string(noAnswer)
                                            : qx::sql::NoAnswerBrief();
        if (brief) qx::sql::UpdBrief(db, u.sid, u.answered ? brief : none.c_str(), briefSt ? u.state : -1);
    }
    if (hist) last = qx::sql::InsHistory(hist, table, u.sid, u.state, u.snap, cols);
    return last == 0 ? 1 : 0;
}

int UpdAlarmText(CSMBase& h, int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist,
                 const char* table, const Column* cols, size_t n, void* values, size_t size) {
    Upd u;
    if (!Begin(h, u, flags, alarmBits, snapId, sid, kSnapFromFlags)) return 0;
    if (!u.answered) memset(values, 0, size);
    qx::sql::Cols c = PollCols(h, u, alarmBits, cols, n, 0);
    Brief b;
    b.AlarmText(h, alarmBits, 3);
    const std::string none = qx::sql::NoAnswerBrief("(故障)");
    return Store(h, u, table, c, b.Text(), true, hist, none.c_str());
}

const char* Mark(int flag) {
    switch (flag) {
    case 1: return "(告警)";
    case 2: return "(故障)";
    default: return "(正常)";
    }
}

namespace {
// Length of the longest prefix of text[0..n) that ends on a character boundary: a byte of
// 0x81..0xFE starts a GBK double-byte character.
size_t WholeChars(const char* text, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint8_t c = (uint8_t)text[i];
        size_t w = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
        if (i + w > n) break;
        i += w;
    }
    return i;
}
}  // namespace

Brief& Brief::Add(const char* fmt, ...) {
    if (m_full || !fmt) return *this;
    char piece[kMax + 1];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(piece, sizeof(piece), fmt, ap);
    va_end(ap);
    if (n < 0) return *this;
    size_t len = (size_t)n < sizeof(piece) ? (size_t)n : sizeof(piece) - 1;
    size_t room = kMax - m_len;
    if (len > room) {
        len = WholeChars(piece, room);
        m_full = true;
    }
    memcpy(m_text + m_len, piece, len);
    m_len += len;
    m_text[m_len] = '\0';
    return *this;
}

Brief& Brief::AlarmText(CSMBase& h, int* alarmBits, int max) {
    if (m_full || !alarmBits) return *this;
    if (h.GetAlmDetail(m_text + m_len, alarmBits, max, kMax + 1 - m_len) > 0)
        m_len += strlen(m_text + m_len);
    else
        m_text[m_len] = '\0';
    return *this;
}

int VarEval(ISMBase& h, char* text, const Key* keys, size_t n) {
    if (!text) return -1;
    for (size_t i = 0; i < n; i++) {
        if (strcmp(text, keys[i].key) != 0) continue;
        int v = h.DataVal(keys[i].fld);
        double x = keys[i].unsignedValue ? (double)(uint32_t)v : (double)v;
        const char* unit = keys[i].unit ? keys[i].unit : "";
        char out[64];
        int len;
        if (keys[i].decimals == 0 && keys[i].divisor <= 1)
            len = keys[i].unsignedValue ? snprintf(out, sizeof(out), "%u%s", (uint32_t)v, unit)
                                        : snprintf(out, sizeof(out), "%d%s", v, unit);
        else
            len = snprintf(out, sizeof(out), "%.*f%s", (int)keys[i].decimals,
                           x / (double)(keys[i].divisor ? keys[i].divisor : 1), unit);
        if (len < 0 || (size_t)len >= sizeof(out)) return -1;
        memcpy(text, out, (size_t)len + 1);
        return len;
    }
    return -1;
}

}  // namespace skel
}  // namespace qx
