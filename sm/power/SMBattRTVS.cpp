#include "power/SMBattRTVS.h"

#include <stdio.h>
#include <string.h>

#include "core/QxPlatform.h"
#include "core/ReplyCheck.h"
#include "core/SMSkeleton.h"
#include "power/BattTables.h"

using qx::sql::DefRow;

namespace {

const char kTable[] = "tbBATTRTVS";
const char kColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,GlobalId INTEGER,MAddr INTEGER,R1 INTEGER,T1 "
    "INTEGER,T2 INTEGER,V1 INTEGER,S1 INTEGER,TV INTEGER,TI1 INTEGER,TI2 INTEGER";

#define QX_LOW_V "最小值|允许最低电压,低于此值报警"
#define QX_HIGH_V "最大值|允许最高电压,超过此值报警"
#define QX_LOW "最小值|允许最低值,低于此值报警"
#define QX_HIGH "最大值|允许最高值,超过此值报警"

// Kind 2: the cells per channel (configuration, not monitored); kind 3: the module totals;
// kind 4: the five values of cell 0, standing for every cell (fields 11 + 5c .. 15 + 5c).
// Some high limits are written with a decimal point, as stored definitions have them. The
// bulge status is an alarm flag (alarm kind 1, 0 normal): a cell's state takes the alarm bits
// of all five of its fields, and without a kind no host would raise the bulge's.
const DefRow kDefs[] = {
    {0, "", 2, "每路电池数量(不做检测)", 0, 0, 0, "", 0, "", 0},
    {1, "BR1", 2, "第1路电池数", 1, 0, 0, "第1路实际接入电池数", 0, "预留", 0},
    {2, "BR2", 2, "第2路电池数", 1, 0, 0, "第2路实际接入电池数", 0, "预留", 0},
    {3, "BR3", 2, "第3路电池数", 1, 0, 0, "第3路实际接入电池数", 0, "预留", 0},
    {4, "BR4", 2, "第4路电池数", 1, 0, 0, "第4路实际接入电池数", 0, "预留", 0},
    {0, "", 3, "总电压电流", 0, 0, 0, "", 0, "", 0},
    {5, "TI0", 3, "模块电流1(I)", 10, 10, -200, "最小值|允许最低电流,低于此值报警", 200,
     "最大值|允许最高电流,超过此值报警", 0},
    {6, "TI1", 3, "模块电流2(I)", 10, 10, -200, "最小值|允许最低电流,低于此值报警", 200,
     "最大值|允许最高电流,超过此值报警", 0},
    {7, "TV0", 3, "通道1总电压(V)", 10, 10, 0, QX_LOW_V, 125, QX_HIGH_V, 0, 0, "125.0"},
    {8, "TV1", 3, "通道2总电压(V)", 10, 10, 0, QX_LOW_V, 125, QX_HIGH_V, 0},
    {9, "TV2", 3, "通道3总电压(V)", 10, 10, 0, QX_LOW_V, 125, QX_HIGH_V, 0, 0, "125.0"},
    {10, "TV3", 3, "通道4总电压(V)", 10, 10, 0, QX_LOW_V, 125, QX_HIGH_V, 0},
    {0, "", 4, "详细信息（每5个一组）", 0, 0, 0, "", 0, "", 0},
    {11, "Res", 4, "电池内阻(mΩ)", 10, 10, 0, QX_LOW, 125, QX_HIGH, -1, 0, "125.0"},
    {12, "Tem1", 4, "模块CPU温度(℃)", 1, 10, 0, QX_LOW, 45, QX_HIGH, -1},
    {13, "Tem2", 4, "电池表面温度(℃)", 1, 10, 0, QX_LOW, 45, QX_HIGH, -1, 0, "45.0"},
    {14, "Vol", 4, "电池电压(V)", 10, 10, 0, QX_LOW_V, 125, QX_HIGH_V, -1},
    {15, "Bump", 4, "鼓包状态", 1, 1, 0, "0-正常  1-告警", 0, "", -1},
};

constexpr uint8_t kCmdCurr = 0xF1, kCmdVolt = 0x91, kCmdCells = 0xE1;
constexpr int kWaitMs = 100;  // before each channel reply
constexpr int kRowMs = 10;    // after each cell row written and after each channel

// Where a reply's data starts: after '~' one byte further; a module-current or cell reply of
// a point with Variant 0 (or none) one byte more again.
int Offset(const uint8_t* rx, bool stepped, const tagSMItem* item) {
    int d = rx[0] == '~' ? 2 : 1;
    if (stepped && (!item || item->Variant == 0)) d++;
    return d;
}

int Word(const uint8_t* rx, int n, int d) { return n >= 6 ? rx[d + 1] << 8 | rx[d + 2] : 0; }

// The statement of a row's values: the current-row update and the history insert share them.
struct RowVals {
    int state, snap, gid, maddr, r, t1, t2, v, s, tv, ti1, ti2;
};

int UpdRow(IDbBase* db, const RowVals& v, int sid) {
    return qx::sql::Exec(db,
                         "update tbBATTRTVS set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d,MAddr=%d,"
                         "R1=%d,T1=%d, T2=%d, V1=%d, S1=%d, TV=%d, TI1=%d, TI2=%d where sid=%d and "
                         "GlobalId=%d",
                         v.state, v.snap, v.maddr, v.r, v.t1, v.t2, v.v, v.s, v.tv, v.ti1, v.ti2,
                         sid, v.gid);
}

}  // namespace

CSMBattRTVS::CSMBattRTVS() : CSMBase(0x403) {
    m_iDataCnt = 2401;
    snprintf(m_note, sizeof(m_note), "%s", "QX-BATTRTVS");
    memset(&m_v, 0, sizeof(m_v));
}

int CSMBattRTVS::Channels(int ext1, int count[kChannels]) {
    int total = 0;
    for (int k = 0; k < kChannels; k++) {
        int c = (int)(((uint32_t)ext1 >> (8 * k)) & 0xFF);
        if (c > kCells - total) c = kCells - total;
        count[k] = c;
        total += c;
    }
    return total;
}

int CSMBattRTVS::FormatCmd(unsigned char addr, unsigned char cmd, unsigned char arg) {
    m_cmd[0] = 0x7E;
    m_cmd[1] = cmd;
    m_cmd[2] = addr;
    m_cmd[3] = arg;
    m_cmd[4] = (uint8_t)(addr + cmd + arg);
    m_cmd[5] = 0x0D;
    return 6;
}

int CSMBattRTVS::GetBattSt(int g, const int* alarmBits) const {
    if (!alarmBits || g < 0 || g >= kCells) return 0;
    for (int b = 10 + 5 * g; b <= 14 + 5 * g; b++)
        if ((uint32_t)alarmBits[b / 32] >> (b % 32) & 1) return 1;
    return 0;
}

void CSMBattRTVS::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, qx::batt::kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMBattRTVS::ChkDb(tagSMItem* item) {
    if (!m_pDb) return 0;
    const qx::skel::Table tables[] = {{kTable, kColumns, qx::skel::kBothDbs}};
    int created = qx::skel::ChkDb(*this, tables, 1, nullptr, kTable, true);
    if (!item) return created;
    // The point's rows: the module row, then one per configured cell.
    qx::sql::Exec(m_pDb, "delete from %s where SID=%d", kTable, item->SID);
    int count[kChannels];
    const int total = Channels(item->Ext1, count);
    for (int gid = 0; gid <= total; gid++)
        qx::sql::Exec(m_pDb,
                      "insert into %s(SID,Type,Port,Addr,DateUpd,State,SnapID,GlobalId) "
                      "values(%d,%d,%d,%d," QX_SQL_NOW ",%d,%d,%d)",
                      kTable, item->SID, item->Type, item->Port, item->Addr, -1, 0, gid);
    return ChkDbDatInit(kTable, item);
}

int CSMBattRTVS::DataVal(int fld) {
    if (fld >= 1 && fld <= 4) return m_v.cellsRead[fld - 1];
    if (fld == 5 || fld == 6) return m_v.curr[fld - 5];
    if (fld >= 7 && fld <= 10) return m_v.chanVolt[fld - 7];
    if (fld < 11 || fld > 10 + 5 * kCells) return -1;
    const int c = (fld - 11) / 5;
    switch ((fld - 11) % 5) {
    case 0: return m_v.res[c];
    case 1: return m_v.t1[c];
    case 2: return m_v.t2[c];
    case 3: return m_v.volt[c];
    default: return m_v.bulge[c];
    }
}

void CSMBattRTVS::ClearValues() {
    uint16_t kept[kChannels];
    memcpy(kept, m_v.cellsRead, sizeof(kept));
    memset(&m_v, 0, sizeof(m_v));
    memcpy(m_v.cellsRead, kept, sizeof(kept));
}

// One request and its reply, read whole into rx (kReplyMax bytes): the bytes read, or -1 when
// the request did not go out whole.
int CSMBattRTVS::Exchange(ISerBase* ser, uint8_t addr, uint8_t cmd, int waitMs, uint8_t* rx) {
    const int len = FormatCmd(addr, cmd, 0);
    if (ser->Write(m_cmd, len) != len) return -1;
    if (waitMs > 0) qx::SleepMs(waitMs);
    int n = ser->Read(rx, kReplyMax, 0);
    return n < 0 ? 0 : n > kReplyMax ? kReplyMax : n;
}

int CSMBattRTVS::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    if (!qx::AddrFits(addr)) return 0;
    // The cells-read counts are the point's: another point's poll left none of them.
    const int sid = m_pItem ? m_pItem->SID : -1;
    if (sid != m_countsSid) {
        memset(m_v.cellsRead, 0, sizeof(m_v.cellsRead));
        m_countsSid = sid;
    }
    ClearValues();

    uint8_t* rx = m_rx;
    for (int k = 0; k < 2; k++) {
        int n = Exchange(ser, (uint8_t)addr, (uint8_t)(kCmdCurr + k), 0, rx);
        if (n < 4 || rx[n - 1] != 0x0D) return 0;
        int w = Word(rx, n, Offset(rx, true, m_pItem));
        m_v.curr[k] = (w & 0xF000) ? -(w & 0x0FFF) : (w & 0x0FFF);
    }

    if (m_pItem && m_pItem->Ext1 != 0) {
        int count[kChannels];
        Channels(m_pItem->Ext1, count);
        int o = 0;
        for (int k = 0; k < kChannels; o += count[k], k++) {
            m_v.cellsRead[k] = 0;
            if (count[k] == 0) continue;
            int n = Exchange(ser, (uint8_t)addr, (uint8_t)(kCmdVolt + k), kWaitMs, rx);
            if (n < 4) return 0;
            m_v.chanVolt[k] = Word(rx, n, Offset(rx, false, m_pItem));

            n = Exchange(ser, (uint8_t)addr, (uint8_t)(kCmdCells + k), kWaitMs, rx);
            if (n < 0) return 0;
            if (n >= 9) {
                // Only records that arrived whole, and no more than the channel has cells.
                const int d = Offset(rx, true, m_pItem);
                int records = (n - d) / 7;
                if (records > count[k]) records = count[k];
                for (int r = 0; r < records; r++) {
                    const uint8_t* p = rx + d + 7 * r;
                    const int g = o + r;
                    const int res = p[1] << 8 | p[2];
                    m_v.maddr[g] = p[0];
                    m_v.res[g] = res ? res - 10 : 0;
                    m_v.t1[g] = p[3] ? p[3] - 60 : 0;
                    m_v.t2[g] = p[4] ? p[4] - 60 : 0;
                    m_v.volt[g] = p[5];
                    m_v.bulge[g] = p[6] & 0x0F;
                    if (!m_v.res[g] && !m_v.t1[g] && !m_v.t2[g] && !m_v.volt[g] && !m_v.bulge[g])
                        m_v.state[g] = 2;
                }
                m_v.cellsRead[k] = (uint16_t)records;
            }
            for (int j = m_v.cellsRead[k]; j < count[k]; j++) m_v.state[o + j] = 2;
        }
    }
    printf("[A%02d] CSMBattRTVS: x%08X-%02d-%02d-%02d-%02d R=%d T1=%d T2=%d V=%d S=%d\r\n",
           m_pItem ? m_pItem->Addr : addr, m_pItem ? (unsigned)m_pItem->Ext1 : 0u,
           m_v.cellsRead[0], m_v.cellsRead[1], m_v.cellsRead[2], m_v.cellsRead[3], m_v.res[0],
           m_v.t1[0], m_v.t2[0], m_v.volt[0], m_v.bulge[0]);
    return 1;
}

int CSMBattRTVS::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    qx::sql::UpdState(m_pDb, u.state, u.sid, u.type);

    // Module current 1, 2, channel 1 to 4 voltage.
    const char* words[6];
    for (const char*& w : words) w = "正常";
    if (u.state == 2) {
        ClearValues();
        for (int32_t& s : m_v.state) s = 2;
        for (const char*& w : words) w = "故障";
    }
    if (m_pDb) {
        if (u.state == 1 && alarmBits)
            for (int i = 0; i < 6; i++)
                if ((uint32_t)alarmBits[0] >> (4 + i) & 1) words[i] = "告警";
        char brief[256];
        snprintf(brief, sizeof(brief), "电流1:%s,电流2:%s,通道1电压:%s,通道2电压:%s,通道3电压:%s,通道4电压:%s",
                 words[0], words[1], words[2], words[3], words[4], words[5]);
        qx::sql::UpdBrief(m_pDb, u.sid, brief, u.state);
    }

    RowVals row = {u.state,   u.snap,        0, 0, m_v.res[0], m_v.t1[0], m_v.t2[0], m_v.volt[0],
                   m_v.bulge[0], m_v.chanVolt[0], m_v.curr[0], m_v.curr[1]};
    int rc = m_pDb ? UpdRow(m_pDb, row, u.sid) : 0;
    if (hist)
        rc = qx::sql::Exec(hist,
                           "insert into tbBATTRTVS(SID,DateUpd,State,SnapID, GlobalId, R1, T1, T2, "
                           "V1, S1,TV,TI1,TI2) values(%d," QX_SQL_NOW ",%d,%d,%d,%d,%d,%d,%d,%d,%d,"
                           "%d,%d)",
                           u.sid, row.state, row.snap, 0, row.r, row.t1, row.t2, row.v, row.s,
                           row.tv, row.ti1, row.ti2);

    int alarmed = 0;
    if (m_pDb && m_pItem->Ext1 != 0) {
        int count[kChannels];
        Channels(m_pItem->Ext1, count);
        int o = 0;
        for (int k = 0; k < kChannels; o += count[k], k++) {
            const int read = m_v.cellsRead[k] < count[k] ? m_v.cellsRead[k] : count[k];
            for (int j = 0; j < read; j++) {
                const int g = o + j;
                if (m_v.state[g] == 0) m_v.state[g] = GetBattSt(g, alarmBits);
                if (m_v.state[g] != 0) alarmed++;
                RowVals c = {m_v.state[g], u.snap,     g + 1,       m_v.maddr[g],
                             m_v.res[g],   m_v.t1[g],  m_v.t2[g],   m_v.volt[g],
                             m_v.bulge[g], m_v.chanVolt[k], m_v.curr[0], m_v.curr[1]};
                rc = UpdRow(m_pDb, c, u.sid);
                if (hist)
                    rc = qx::sql::Exec(hist,
                                       "insert into tbBATTRTVS(SID,DateUpd,State,SnapID, GlobalId, "
                                       "MAddr,R1, T1, T2, V1, S1,TV,TI1,TI2) values(%d," QX_SQL_NOW
                                       ",%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d)",
                                       u.sid, c.state, c.snap, c.gid, c.maddr, c.r, c.t1, c.t2, c.v,
                                       c.s, c.tv, c.ti1, c.ti2);
                qx::SleepMs(kRowMs);
            }
            if (read < count[k])
                rc = qx::sql::Exec(m_pDb,
                                   "update tbBATTRTVS set DateUpd=" QX_SQL_NOW ",State=2,SnapID=0,"
                                   "MAddr=0,R1=0,T1=0, T2=0, V1=0, S1=0, TV=0, TI1=0, TI2=0 where "
                                   "sid=%d and GlobalId>%d and GlobalId<=%d",
                                   u.sid, o + read, o + count[k]);
            qx::SleepMs(kRowMs);
        }
    }
    if (alarmed > 0)
        qx::sql::Exec(m_pDb, "update tbSMBrief set Brief=Brief || ',电池告警' where SID=%d", u.sid);
    return rc == 0 ? 1 : 0;
}
