#include "io/SMDioMlan7vxpxj.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/SMSkeleton.h"

namespace {

const qx::sql::TypeRow kType = {2304, "施耐德配电盘", "485接口..."};

const int kFirstReg = 1964;

// D01..D72 ("D01 INTEGER,...").
const char* Name(int n) {
    static char names[CSMDioMlan7vxpxj::kBreakers + 1][4];
    if (!names[1][0])
        for (int i = 1; i <= CSMDioMlan7vxpxj::kBreakers; i++) snprintf(names[i], 4, "D%02d", i);
    return names[n];
}

// Three rows a module, in module order: "模块m断路器b", field 3(m-1)+b.
const std::vector<qx::sql::DefRow>& Defs() {
    static std::vector<std::string> captions;
    static std::vector<qx::sql::DefRow> rows;
    if (rows.empty()) {
        for (int f = 1; f <= CSMDioMlan7vxpxj::kBreakers; f++) {
            char c[32];
            snprintf(c, sizeof(c), "模块%d断路器%d", (f - 1) / 3 + 1, (f - 1) % 3 + 1);
            captions.push_back(c);
        }
        for (int f = 1; f <= CSMDioMlan7vxpxj::kBreakers; f++)
            rows.push_back({f, Name(f), 1, captions[f - 1].c_str(), 1, 0, 0, "0未连接 1打开 2关闭", 0, "", 0});
    }
    return rows;
}

const std::string& Columns() {
    static std::string s;
    if (s.empty()) {
        s = "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
            "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Dio INTEGER";
        for (int i = 1; i <= CSMDioMlan7vxpxj::kBreakers; i++) s.append(",").append(Name(i)).append(" INTEGER");
    }
    return s;
}

}  // namespace

CSMDioMlan7vxpxj::CSMDioMlan7vxpxj() : CSMBase(0x909)
{
    memset(m_wData, 0, sizeof(m_wData));
    m_pData = m_wData;
    m_iDataCnt = kBreakers + 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-MLAN-7VXPXJ");
}

void CSMDioMlan7vxpxj::RegDb(IDbBase* db, int force)
{
    const std::vector<qx::sql::DefRow>& rows = Defs();
    qx::sql::RegDb(*this, db, force, kType, rows.data(), rows.size());
}

// The table in both databases: the history rows go to the second.
int CSMDioMlan7vxpxj::ChkDb(tagSMItem* item)
{
    const qx::skel::Table t = {"tbMlan7vxpxj", Columns().c_str(), qx::skel::kBothDbs};
    return qx::skel::ChkDb(*this, &t, 1, item, "tbMlan7vxpxj", true);
}

int CSMDioMlan7vxpxj::DataVal(int i)
{
    return i >= 0 && i <= kBreakers ? m_wData[i] : -1;
}

// Holding registers 1964..2035, one per breaker:
//   01 03 07 AC 00 48 84 A9
//   01 03 90 00 02 00 01 ... CRC     (149 bytes) module 1: breaker 1 closed, breaker 2 open
int CSMDioMlan7vxpxj::DataGet(ISerBase* ser, int addr, int wait)
{
    if (!qx::skel::Ready(ser, false))
        return 0;
    uint8_t rx[160];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 3, kFirstReg, kBreakers, rx, sizeof(rx),
                                     wait >= 101 ? wait : 100);
    if (!r.ok())
        return 0;
    m_wData[0] = 0;
    for (int i = 0; i < kBreakers; i++)
        m_wData[1 + i] = r.Word(i);
    return 1;
}

// The breakers have no summary; a silent board says so.
int CSMDioMlan7vxpxj::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    if (!alarmBits)
        memset(m_wData, 0, sizeof(m_wData));
    qx::sql::Cols cols;
    cols.Int("Dio", m_wData[0]);
    for (int i = 1; i <= kBreakers; i++)
        cols.Int(Name(i), m_wData[i]);
    qx::sql::PollRow row = {"tbMlan7vxpxj", &cols, "", true, false, "故障"};
    return qx::sql::StorePoll(*this, row, flags, alarmBits, snapId, sid, hist);
}
