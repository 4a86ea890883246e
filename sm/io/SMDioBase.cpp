#include "io/SMDioBase.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::TypeRow kType = {2304, "开关量", "开关量输入,内置"};

// Length of the longest prefix of at most n bytes that ends on a whole GBK character.
size_t WholeChars(const char* text, size_t n) {
    size_t i = 0;
    while (text[i] && i < n) {
        uint8_t c = (uint8_t)text[i];
        size_t w = (c >= 0x81 && c <= 0xFE && text[i + 1]) ? 2 : 1;
        if (i + w > n) break;
        i += w;
    }
    return i;
}

}  // namespace

const qx::sql::TableDef CSMDioBase::kTbDio = {
    "tbDio",
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
    "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Dio INTEGER,"
    "D01 INTEGER,D02 INTEGER,D03 INTEGER,D04 INTEGER,D05 INTEGER,D06 INTEGER,D07 INTEGER,"
    "D08 INTEGER,D09 INTEGER,D10 INTEGER,D11 INTEGER,D12 INTEGER,D13 INTEGER,D14 INTEGER,"
    "D15 INTEGER,D16 INTEGER,D17 INTEGER,D18 INTEGER,D19 INTEGER,D20 INTEGER,D21 INTEGER,"
    "D22 INTEGER,D23 INTEGER,D24 INTEGER,D25 INTEGER,D26 INTEGER,D27 INTEGER,D28 INTEGER,"
    "D29 INTEGER,D30 INTEGER,D31 INTEGER,D32 INTEGER",
};

CSMDioBase::CSMDioBase(int type) : CSMBase(type), m_iPointCnt(8), m_iInCnt(8)
{
    // Zero until the first poll: an update before any answer stores zeros, never stray memory.
    memset(m_wData, 0, sizeof(m_wData));
    m_pData = m_wData;
}

void CSMDioBase::RegDb(IDbBase* db, int force)
{
    if (!db)
        return;
    qx::sql::RegType(db, m_iType, m_note, kType);
    if (force && qx::sql::Count(db, "select count(*) from tbSMDef where Type=%d", m_iType) > 0)
        qx::sql::Exec(db, "delete from tbSMDef where Type=%d", m_iType);
    ChkDef(db, force);
    // Names are added and replaced, never dropped: the map lives as long as the handler.
    qx::sql::ReadNotes(db, m_iType, m_mapNote);
}

int CSMDioBase::ChkDb(tagSMItem* item)
{
    const qx::skel::Table t = {kTbDio.name, kTbDio.columns, qx::skel::kBothDbs};
    return qx::skel::ChkDb(*this, &t, 1, item, kTbDio.name, true);
}

int CSMDioBase::DataVal(int i)
{
    if (i < 0 || i > m_iDataCnt || i > 32)
        return -1;
    return m_wData[i];
}

int CSMDioBase::VarEval(char* buf)
{
    if (!buf || !buf[0] || (buf[1] != 'D' && buf[1] != 'N'))
        return -1;
    int n = atoi(buf + 2);
    if (n < 1 || n > m_iDataCnt || n > 32)
        return -1;
    if (buf[1] == 'D') {
        memcpy(buf, m_wData[n] ? "告警" : "正常", 5);
        return 4;
    }
    // The type-wide name, cut to what a display text holds.
    std::string name = GetNoteX(n, 0);
    size_t len = WholeChars(name.c_str(), kNameMax);
    memcpy(buf, name.c_str(), len);
    buf[len] = '\0';
    return (int)len;
}

int CSMDioBase::ChkDef(IDbBase* db, int force)
{
    return 0;
}

std::string CSMDioBase::GetNoteX(int n, int sid)
{
    char def[16];
    snprintf(def, sizeof(def), "DI %d", n);
    std::string name = def;
    auto it = m_mapNote.find(n);
    if (it != m_mapNote.end())
        name = it->second;
    if (sid >= 1) {
        it = m_mapNote.find((int64_t)sid * 1000 + n);
        if (it != m_mapNote.end())
            name = it->second;
    }
    return name;
}

void CSMDioBase::UpdSt(int flags, int* alarmBits, int sid)
{
    IDbBase* db = m_pDb;
    if (!db)
        return;
    int s = qx::sql::PollState(flags, alarmBits);
    // The state rows carry the point's Type: a code served by the category's default module
    // has its own, not the module's reported type.
    if (m_pItem && m_pItem->ItemDetail)
        qx::sql::UpdState(db, s, sid, m_pItem->Type);

    // The point rows are keyed by the sid given, in the item's DetailMode.
    tagSMItem key;
    memset(&key, 0, sizeof(key));
    if (m_pItem)
        key = *m_pItem;
    key.SID = sid;

    qx::skel::Brief alarms;
    int k = 0;
    int points = m_iPointCnt < 0 ? 0 : (m_iPointCnt > 32 ? 32 : m_iPointCnt);
    for (int i = 0; i < points; i++) {
        int p = s;
        // Only the first alarm word names points.
        if (s == 1 && alarmBits && (i >= 32 || !((alarmBits[0] >> i) & 1)))
            p = 0;
        qx::sql::UpdFieldState(db, key, i + 1, p);
        if (p == 1) {
            alarms.Add("%s%s", GetNoteX(i + 1, sid).c_str(), i < m_iInCnt ? ":告警 " : ":关闭 ");
            k++;
        }
    }
    const char* text;
    std::string summary;
    if (!alarmBits) {
        // No answer: the points were not read, whatever state the host gives them.
        summary = qx::sql::NoAnswerBrief("(故障)");
        text = summary.c_str();
    } else if (k == 0) {
        text = "(全部正常)";
    } else {
        summary = alarms.Text();
        summary += "(其他正常)";
        text = summary.c_str();
    }
    qx::sql::UpdBrief(db, sid, text, s);
}

qx::sql::Cols CSMDioBase::DioCols(bool dio, int points) const
{
    qx::sql::Cols c;
    if (dio)
        c.Int("Dio", m_wData[0]);
    static const char* const kNames[32] = {
        "D01", "D02", "D03", "D04", "D05", "D06", "D07", "D08", "D09", "D10", "D11",
        "D12", "D13", "D14", "D15", "D16", "D17", "D18", "D19", "D20", "D21", "D22",
        "D23", "D24", "D25", "D26", "D27", "D28", "D29", "D30", "D31", "D32",
    };
    for (int i = 0; i < points && i < 32; i++)
        c.Int(kNames[i], m_wData[i + 1]);
    return c;
}

int CSMDioBase::InsDefs(IDbBase* db, int force, const qx::sql::DefRow* rows, size_t n)
{
    if (!db || !NeedDef(db, force))
        return 0;
    int k = 0;
    for (size_t i = 0; i < n; i++)
        k += qx::sql::InsDef(db, m_iType, rows[i]) == 0;
    return k;
}

int CSMDioBase::ModBusCmdN(int addr, int func, int reg, int count, const void* data,
                           bool byteCount)
{
    return CBufHelper::ModBusRegs(m_cmd, sizeof(m_cmd), addr, func, reg, count,
                                  static_cast<const uint8_t*>(data), byteCount);
}

int CSMDioBase::SendCmd(ISerBase* ser, int len, int waitMs)
{
    if (len <= 0)
        return 0;
    uint8_t rx[64];
    qx::MbReply r = qx::skel::MbSend(*this, ser, len, rx, sizeof(rx), waitMs);
    if (!r.ok())
        return 0;
    // The shared check compares the echo of the standard writes; a module's own function is
    // answered with the request as it was sent.
    int fn = m_cmd[1];
    bool standard = fn == 5 || fn == 6 || fn == 15 || fn == 16;
    if (!standard && (r.frameLen != len || memcmp(rx, m_cmd, (size_t)len) != 0))
        return 0;
    return 1;
}

std::vector<int> CSMDioBase::OutputFields(int first, int last)
{
    std::vector<int> fields;
    if (first < 1)
        first = 1;
    if (last > 32)
        last = 32;
    for (int f = first; f <= last; f++)
        fields.push_back(f);
    return fields;
}

int CSMDioBase::StoreDio(const DioStore& how, int flags, int* alarmBits, int* snapId, int sid,
                         IDbBase* hist)
{
    // A relay of this point that is switched on lies outside its row's limits, which are the
    // type's: its bit is no alarm of this point.
    std::vector<int> own;
    alarmBits = qx::sql::PassOver(flags, alarmBits, m_iDataCnt, how.outputs, own);
    int state = qx::sql::PollState(flags, alarmBits);
    if (!alarmBits && how.clearNoAnswer)
        memset(m_wData, 0, sizeof(m_wData));
    int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0 && m_pItem)
        sid = m_pItem->SID;
    if (how.pointCnt >= 0)
        m_iPointCnt = how.pointCnt;
    if (how.inCnt >= 0)
        m_iInCnt = how.inCnt;

    UpdSt(flags, alarmBits, sid);

    qx::sql::Cols cols = DioCols(how.dio, how.points);
    int last = 0;
    if (m_pDb)
        last = qx::sql::UpdCurrent(m_pDb, kTbDio.name, state, snap, cols, sid);
    if (hist)
        last = qx::sql::InsHistory(hist, kTbDio.name, sid, state, snap, cols);
    return last == 0 ? 1 : 0;
}

int CSMDioBase::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return StoreDio({true, 32, true}, flags, alarmBits, snapId, sid, hist);
}
