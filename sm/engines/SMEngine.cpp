#include "SMEngine.h"

#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "QxPlatform.h"
#include "SMSql.h"

namespace {

// Copies a GBK text of at most max bytes, never cutting a two-byte character in half.
void CopyGbk(char* out, const char* text, size_t max) {
    size_t n = 0;
    while (text[n]) {
        size_t w = ((uint8_t)text[n] >= 0x81 && text[n + 1]) ? 2 : 1;
        if (n + w > max) break;
        n += w;
    }
    memcpy(out, text, n);
    out[n] = '\0';
}

bool IsDecimal(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A value text written unquoted must be a number: an optional sign and digits.
bool IsInteger(const std::string& s) {
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    return i < s.size() && IsDecimal(s.substr(i));
}

}  // namespace

CSMEngine::CSMEngine(int type, const SMEngineDesc& desc)
    : CSMBase(type), m_ini(), m_bLoaded(false), m_iDebug(0), m_iDelay(10), m_iTimeout(300),
      m_iMask(0) {
    printf("%s new 0x%" PRIXPTR "=%d(%x)\n", desc.name, (uintptr_t)this, type, (unsigned)type);
    snprintf(m_note, sizeof m_note, "%s", desc.note);
    m_iDataCnt = 1;
}

CSMEngine::~CSMEngine() {}

bool CSMEngine::DefPath(int type, char* out, size_t outSize) {
    char rel[64];
    snprintf(rel, sizeof rel, "/NandFlash/SM/SM%04d.def", type);
    return qx::BoardPath(rel, out, outSize) != nullptr;
}

void CSMEngine::Log(const char* fmt, ...) const {
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    printf("[A%02d] %s: %s", m_pItem ? (int)m_pItem->Addr : 0, Desc().name, line);
}

// ---------------------------------------------------------------- loading

int CSMEngine::LoadDef(const char* path) {
    if (!path || !m_ini.Load(path)) return -1;
    return UpdLoad();
}

int CSMEngine::UpdLoad() {
    const SMEngineDesc& d = Desc();
    if (d.loadFirst) printf("%s\n", d.loadFirst);
    m_bLoaded = true;

    std::string note = Comm("note");
    if (!note.empty()) {
        if (note.size() > sizeof m_note - 1)
            printf("%s: [comm] note longer than %d bytes, cut\n", d.name, (int)sizeof m_note - 1);
        CopyGbk(m_note, note.c_str(), sizeof m_note - 1);
    }

    int cnt = m_ini.GetValue<int>(SEC_FLDS, "cnt", 0);
    if (cnt < 0 || cnt > kMaxFields) {
        printf("%s: [flds] cnt=%d outside 0..%d, refused\n", d.name, cnt, kMaxFields);
        cnt = cnt < 0 ? 0 : kMaxFields;
    }
    m_iDataCnt = cnt;
    m_iDebug = CommInt("debug", 0);
    m_iDelay = CommInt("delay", 10);
    m_iTimeout = CommInt("timeout", 300);
    m_iMask = CommInt("mask", 0);
    LoadEngine();

    // The field model: [flds.val] name -> field number, field number -> divisor.
    for (int n = 1; n <= m_iDataCnt; n++) {
        char key[16];
        snprintf(key, sizeof key, "%d", n);
        std::string def = m_ini.GetValue(SEC_FLDSDEF, key, "");
        size_t end = def.find("',");
        if (end == std::string::npos) continue;
        std::string name = end >= 1 ? def.substr(1, end - 1) : std::string();
        if ((int)name.size() > kMaxName) {
            printf("%s: [flds.def] %d: field name longer than %d, refused\n", d.name, n, kMaxName);
            continue;
        }
        m_ini.SetValue(SEC_FLDSVAL, name, key);
        // The divisor stands between the fourth and the fifth comma, verbatim.
        size_t pos = 0;
        int commas = 0;
        size_t fourth = 0;
        for (; pos < def.size(); pos++) {
            if (def[pos] != ',') continue;
            if (++commas == 4) fourth = pos;
            if (commas == 5) break;
        }
        if (commas < 5) continue;
        std::string divisor = def.substr(fourth + 1, pos - fourth - 1);
        if (divisor != "1") m_ini.SetValue(SEC_FLDSVAL, key, divisor);
    }

    if (d.loadSummary)
        printf("%s::UpdLoad  d=%d  %dms  tout=%d\n", d.name, m_iDebug, m_iDelay, m_iTimeout);
    return m_bLoaded;
}

// ---------------------------------------------------------------- registration and tables

void CSMEngine::RegDb(IDbBase* db, int force) {
    if (!db) return;
    const SMEngineDesc& d = Desc();
    if (qx::sql::Count(db, "select count(*) from tbSMType where Type=%d", m_iType) == 0) {
        std::string model = Comm("model", d.model);
        qx::sql::Exec(db, "insert into tbSMType values(%d,%d,'%s','%s')", m_iType,
                      m_iType & 0xFF00, qx::sql::Esc(model.c_str()).c_str(),
                      qx::sql::Esc(m_note).c_str());
    }
    if (qx::sql::Count(db, "select count(*) from tbSMDef where Type=%d", m_iType) > 0 && force)
        qx::sql::Exec(db, "delete from tbSMDef where Type=%d", m_iType);
    if (!NeedDef(db, force) || !m_bLoaded) return;

    for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_FLDSDEF); it != m_ini.endKey(SEC_FLDSDEF);
         ++it) {
        const std::string& key = it->first;
        const std::string& value = it->second.value;
        if (key.empty() || value.empty()) continue;
        // The field number goes into the statement unquoted: it must be a number.
        if (!IsDecimal(key) || (int)key.size() > kMaxName) {
            printf("%s: [flds.def] key '%s' is not a field number, refused\n", d.name,
                   key.size() > (size_t)kMaxName ? "..." : key.c_str());
            continue;
        }
        // Positions 4..13 are the file's own SQL literals, written as they stand.
        qx::sql::Exec(db, "insert into tbSMDef values(%d,0,%s,%s,0,NULL)", m_iType,
                      key[0] == '0' ? "0" : key.c_str(), value.c_str());
    }
}

int CSMEngine::ChkDb(tagSMItem* item) {
    if (!m_pDb) return 0;
    const SMEngineDesc& d = Desc();
    std::string devCols =
        "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTGER,Addr INTEGER,"
        "DateUpd DATETIME,State INTEGER,SnapID INTEGER";
    std::string detCols = std::string(
        "LID INTEGER PRIMARY KEY,DID INTEGER,SID INTEGER,Fld VARCHAR(64),Val INTEGER") +
        d.detailExtra;
    const qx::sql::TableDef tables[] = {{d.table, devCols.c_str()},
                                        {d.detailTable, detCols.c_str()}};
    return qx::sql::ChkDb(*this, tables, 2, item, d.table);
}

// ---------------------------------------------------------------- values

int CSMEngine::DataVal(int fld) {
    if (fld > m_iDataCnt) return -1;
    char n[16];
    snprintf(n, sizeof n, "%d", fld);
    std::string key = m_ini.GetValue(SEC_FLDS, n, "");
    if (key.empty()) return -1;
    return m_ini.GetValue<int>(SEC_VALS, key, -1);
}

int CSMEngine::VarEval(char* buf) {
    if (!buf || !buf[0]) return -1;
    std::string n = m_ini.GetValue(SEC_FLDSVAL, buf + 1, "");
    std::string key = m_ini.GetValue(SEC_FLDS, n, "");
    std::string value = m_ini.GetValue(SEC_VALS, key, "");
    if (value.empty()) return -1;
    // A value may be an agent's text of any length: the display text is bounded, cut on a
    // whole character.
    char text[kMaxDisplay + 1];
    CopyGbk(text, value.c_str(), kMaxDisplay);
    return sprintf(buf, "%s", text);
}

// ---------------------------------------------------------------- storing

bool CSMEngine::BriefText(char* out, size_t size) {
    std::string brief = Comm("brief");
    if (brief.empty()) return false;
    if (brief.size() >= size) {
        printf("%s: [comm] brief longer than %d bytes, refused\n", Desc().name, (int)size - 1);
        return false;
    }
    memcpy(out, brief.c_str(), brief.size() + 1);
    VarByIni(out, size, m_ini);
    return true;
}

int CSMEngine::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    const SMEngineDesc& d = Desc();
    int state = qx::sql::PollState(flags, alarmBits);
    int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0 && m_pItem) sid = m_pItem->SID;

    int result = 0;  // the result of the last statement kept
    if (m_pDb) {
        // The state row is the point's, by its Type.
        if (m_pItem) qx::sql::UpdState(m_pDb, state, sid, m_pItem->Type);
        result = qx::sql::Exec(m_pDb,
                               "update %s set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d where sid=%d",
                               d.table, state, snap, sid);
        // A poll without answer left no values: a file's summary then says so rather than
        // show its captions around emptied values.
        char brief[kMaxBrief];
        if (BriefText(brief, sizeof brief))
            qx::sql::UpdBrief(m_pDb, sid, alarmBits ? brief : qx::sql::NoAnswerBrief().c_str(), state);
        DataDetail(m_pDb, sid, 0);
    }
    if (hist && m_pItem) {
        result = qx::sql::Exec(hist,
                               "insert into %s(SID,Type,Port,Addr,DateUpd,State) values(%d,%d,%d,%d," QX_SQL_NOW ",%d)",
                               d.table, m_pItem->SID, m_pItem->Type, m_pItem->Port, m_pItem->Addr,
                               state);
        if (result == 0) DataDetail(hist, sid, (int)(uint32_t)hist->LastInsertId());
    }
    return result == 0 ? 1 : 0;
}

void CSMEngine::DataDetail(IDbBase* db, int sid, int did) {
    if (!db) return;
    const SMEngineDesc& d = Desc();
    if (did == 0) qx::sql::Exec(db, "delete from %s where SID=%d", d.detailTable, sid);
    for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_VALS); it != m_ini.endKey(SEC_VALS); ++it) {
        const std::string& value = it->second.value;
        // A number goes in as it stands, an empty value as NULL, any other text as a literal.
        std::string literal = value.empty() ? "null"
                            : IsInteger(value) ? value
                            : "'" + qx::sql::Esc(value.c_str()) + "'";
        qx::sql::Exec(db, "insert into %s(DID,SID,Fld,Val) values(%d,%d,'V%s',%s)", d.detailTable,
                      did, sid, qx::sql::Esc(it->first.c_str()).c_str(), literal.c_str());
    }
}
