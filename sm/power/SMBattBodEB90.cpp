#include "power/SMBattBodEB90.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "core/QxPlatform.h"
#include "core/ReplyCheck.h"
#include "core/SMSkeleton.h"
#include "power/BattTables.h"

using qx::sql::DefRow;

namespace {

const char kTbPoint[] = "tbBattEB90";
const char kTbCells[] = "tbBattEb90Val";
const char kPointColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,Volt INTEGER,Curr INTEGER";
const char kCellColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Fld INTEGER,DateUpd DATETIME,State "
    "INTEGER,Addr INTEGER,Vol INTEGER,Reg INTEGER,Tem INTEGER";

// Fields 11 to 14 are the cell polled last: its state, voltage, resistance and temperature.
const DefRow kDefs[] = {
    {0, "", 1, "整体", 0, 0, 0, "", 0, "", 0},
    {1, "BT100_Itm", 1, "电池数", 1, 0, 20, "监测电池数量(实际按Ext1(Ext1>0),最多128)", 0, "", 0},
    {0, "", 3, "单体", 0, 0, 0, "", 0, "", 0},
    {11, "St", 3, "状态", 1, 0, 0, "单体状态,0正常", 0, "", 0},
    {12, "Vol", 3, "电压", 1000, 10, 8000, "单体电压(V),一般超出范围报警", 16000, "", 0},
    {13, "Reg", 3, "内阻", 1000, 10, 1000, "单体内阻(mΩ),一般超出范围报警", 10000, "", 0},
    {14, "Tem", 3, "温度", 10, 10, 100, "单体温度(℃),一般超出范围报警", 300, "", 0},
};

constexpr uint8_t kVolt = 0x60, kTem = 0x61, kRes = 0x62;
constexpr int kWaitMs = 250;       // before a voltage or temperature reply
constexpr int kSettleMs = 5000;    // before a resistance reply: the measurement settles
constexpr int kReplyMax = 32;
constexpr int64_t kDayS = 86400;   // measuring interval unless Ext2 (minutes) is above 14

// The first cell number of the point in the summary: points named "...-k" are the k-th string
// of Ext1 cells each.
int CellOffset(const tagSMItem& item) {
    const char* name = item.ItemName;
    const char* end = (const char*)memchr(name, 0, sizeof(item.ItemName));
    const char* dash = (const char*)memchr(name, '-', end ? (size_t)(end - name) : sizeof(item.ItemName));
    if (!dash) return 0;
    char digits[12] = {};
    const char* stop = end ? end : name + sizeof(item.ItemName);
    for (size_t i = 0; dash + 1 + i < stop && i < sizeof(digits) - 1; i++) digits[i] = dash[1 + i];
    long k = strtol(digits, nullptr, 10);
    if (k <= 0) return 0;
    if (k > 100000) k = 100000;
    return qx::batt::RowCount(item.Ext1, CSMBattBodEB90::kCells) * (int)(k - 1);
}

// A cell list of the summary: its head, then the first three cell numbers, then "..." once.
struct CellList {
    explicit CellList(const char* h) : head(h) {}
    const char* head;
    int cells = 0;
    std::string text;
    void Add(int number) {
        if (cells == 0) text = head;
        char n[16];
        if (cells < 3) {
            snprintf(n, sizeof(n), " %d", number);
            text += n;
        } else if (cells == 3) {
            text += "...";
        }
        cells++;
    }
};

}  // namespace

CSMBattBodEB90::CSMBattBodEB90() : CSMBase(0x405) {
    m_iDataCnt = 14;
    m_pData = &m_v;
    snprintf(m_note, sizeof(m_note), "%s", "QX-BOD-EB90");
}

int CSMBattBodEB90::BodSBusCmd(unsigned char addr, unsigned char cmd, unsigned long arg) {
    const uint32_t a = (uint32_t)arg;
    m_cmd[0] = 0xEB;
    m_cmd[1] = 0x90;
    m_cmd[2] = addr;
    m_cmd[3] = cmd;
    m_cmd[4] = (uint8_t)(a >> 24);
    m_cmd[5] = (uint8_t)(a >> 16);
    m_cmd[6] = (uint8_t)(a >> 8);
    m_cmd[7] = (uint8_t)a;
    uint8_t sum = 0;
    for (int i = 2; i < 8; i++) sum = (uint8_t)(sum + m_cmd[i]);
    m_cmd[8] = sum;
    m_cmd[9] = 0x16;
    return 10;
}

bool CSMBattBodEB90::ReplyValue(const uint8_t* rx, int n, int* value) {
    // Header, address, command, three value bytes, sum and end: nothing shorter has a value.
    if (!rx || n < 9 || rx[0] != 0xEB || rx[1] != 0x90) return false;
    uint8_t sum = 0;
    for (int i = 2; i < n - 2; i++) sum = (uint8_t)(sum + rx[i]);
    if (rx[n - 2] != sum) return false;
    if (value) *value = rx[6] << 16 | rx[5] << 8 | rx[4];
    return true;
}

void CSMBattBodEB90::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, qx::batt::kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMBattBodEB90::ChkDb(tagSMItem* item) {
    if (!m_pDb) return 0;
    const qx::skel::Table tables[] = {{kTbPoint, kPointColumns, qx::skel::kBothDbs},
                                      {kTbCells, kCellColumns, qx::skel::kBothDbs}};
    int created = qx::skel::ChkDb(*this, tables, 2, nullptr, kTbPoint, true);
    if (!item) return created;
    qx::sql::Exec(m_pDb, "delete from %s where SID=%d", kTbCells, item->SID);
    const int rows = qx::batt::RowCount(item->Ext1, kCells);
    for (int i = 0; i < rows; i++)
        qx::sql::Exec(m_pDb,
                      "insert into tbBattEb90Val values(null,%d,%d,%d," QX_SQL_NOW ",-1,%d,0,0,0)",
                      item->SID, item->Type, i + 1, item->Addr + i);
    return ChkDbDatInit(kTbPoint, item);
}

int CSMBattBodEB90::DoFunc(int cmd, void* buf, int len) {
    // The host sends every battery type its cell count (command 0); this monitor takes the
    // count from its DataGet and Ext1.
    if (cmd == 0) return 1;
    return CSMBase::DoFunc(cmd, buf, len);
}

int CSMBattBodEB90::DataVal(int fld) {
    if (fld == 65535 && m_pItem) {
        auto it = m_cache.find(m_pItem->SID);
        if (it != m_cache.end()) {
            // The other cells of the string: those before the one polled last, or, once a
            // sweep is done, all of them. Alarm before fault; the state's two low bits.
            const tagDataGetEB90& rec = it->second;
            const int p = rec.index - 1;
            const int last = rec.sweeps >= 1 ? rec.count : p;
            bool alarm = false, fault = false;
            for (int i = 0; i < last && i < kCells; i++) {
                if (i == p) continue;
                alarm |= (rec.state[i] & 3) == 1;
                fault |= (rec.state[i] & 3) == 2;
            }
            return alarm ? 1 : fault ? 2 : 0;
        }
    }
    if (fld < 11) return -1;
    switch ((fld - 11) % 4) {
    case 0: return m_v.state;
    case 1: return m_v.volt;
    case 2: return m_v.res;
    default: return m_v.tem;
    }
}

// One request to the cell at addr and its reply: -1 when the request did not go out whole,
// else the bytes read; *value set from a reply that checks.
int CSMBattBodEB90::Ask(ISerBase* ser, int addr, uint8_t cmd, int waitMs, int* value) {
    const int len = BodSBusCmd((uint8_t)addr, cmd, 0);
    if (ser->Write(m_cmd, len) != len) return -1;
    qx::SleepMs(waitMs);
    uint8_t rx[kReplyMax];
    int n = ser->Read(rx, kReplyMax, 0);
    if (n < 0) n = 0;
    if (n > kReplyMax) n = kReplyMax;
    int v;
    if (ReplyValue(rx, n, &v)) *value = v;
    if (cmd == kRes && n >= 6) {
        uint8_t sum = 0;
        for (int k = 2; k < n - 2; k++) sum = (uint8_t)(sum + rx[k]);
        printf("[CSMBattBodEB90::DataGetBy] iAddr=%d, Recv=%d, Sum=%02X, %02X, Reg=%.3f\r\n", addr,
               n, sum, rx[n - 2], *value * 0.001);
    } else if (cmd == kRes) {
        printf("[CSMBattBodEB90::DataGetBy] Error: iAddr=%d, Recv=%d\r\n", addr, n);
    }
    return n;
}

int CSMBattBodEB90::DataGetBy(ISerBase* ser, int addr, tagDataGetEB90& rec) {
    m_v = Values();
    const int i = rec.index;
    const int c = addr + i;
    if (!ser || i < 0 || i >= kCells || !qx::AddrFits(c)) return 0;
    const time_t now = qx::Now();
    if (i == 0) rec.tStart = now;
    int64_t interval = kDayS;
    if (m_pItem && m_pItem->Ext2 > 14) interval = (int64_t)m_pItem->Ext2 * 60;

    rec.measured[i] = 0;
    if ((int64_t)rec.tLas + interval <= (int64_t)rec.tStart) {
        rec.measured[i] = 1;
        if (i + 1 >= rec.count) {
            rec.tLas = now;
            printf("[CSMBattBodEB90::DataGetBy] t:%ld, uGetRegTime: %ld, aGet.tLas:%ld\r\n",
                   (long)now, (long)interval, (long)rec.tLas);
        }
        if (Ask(ser, c, kRes, kSettleMs, &m_v.res) < 0) return 0;
    }
    if (Ask(ser, c, kVolt, kWaitMs, &m_v.volt) < 4) return 0;
    if (Ask(ser, c, kTem, kWaitMs, &m_v.tem) < 4) return 0;
    return 1;
}

int CSMBattBodEB90::DataGet(ISerBase* ser, int addr, int count) {
    if (!qx::skel::Ready(ser)) return 0;
    if (!m_pItem) return 0;
    const int sid = m_pItem->SID;
    auto it = m_cache.find(sid);
    if (it == m_cache.end()) {
        tagDataGetEB90 rec;
        memset(&rec, 0, sizeof(rec));
        rec.count = count > 0 ? (count < kCells ? count : kCells) : kDefaultCount;
        it = m_cache.emplace(sid, rec).first;
    }
    tagDataGetEB90& rec = it->second;
    // A poll whose update did not follow leaves the index at the end: a new sweep begins.
    if (rec.index < 0 || rec.index >= rec.count) {
        rec.index = 0;
        rec.sweeps++;
    }
    const int i = rec.index;

    const int ok = DataGetBy(ser, addr, rec);
    rec.tries[i]++;
    if (!ok) {
        rec.errors[i]++;
        printf("[CSMBattBodEB90::DataGet] SID:%d, Addr: %d+%d=%d, TryCnt:%ld, ErrCnt:%ld\r\n", sid,
               addr, i, addr + i, (long)rec.tries[i], (long)rec.errors[i]);
    }

    m_update = 1;
    if (!ok)
        m_v.state = 2;
    else if (m_v.volt == 0 && m_v.res == 0 && m_v.tem == 0)
        m_update = 0;

    // Keep-last rules by Variant: bit 0 voltage, bit 1 temperature, bit 2 resistance.
    const int variant = m_pItem->Variant;
    struct {
        int32_t* polled;
        int32_t* kept;
        int bit;
    } pairs[] = {{&m_v.volt, &rec.volt[i], 1}, {&m_v.tem, &rec.tem[i], 2}};
    for (auto& p : pairs) {
        if (!ok && !(variant & p.bit))
            *p.kept = *p.polled;
        else if (*p.polled == 0)
            *p.polled = *p.kept;
        else
            *p.kept = *p.polled;
    }
    if (variant & 4) {
        if (m_v.res == 0)
            m_v.res = rec.res[i];
        else
            rec.res[i] = m_v.res;
    } else if (!ok || rec.measured[i]) {
        rec.res[i] = m_v.res;
    } else {
        m_v.res = rec.res[i];  // carried between measuring sweeps
    }

    rec.upd[i] = m_update;
    rec.index++;
    printf("EB90-sid%d[%d-%02d] Upd=%d,St=%d V=%d R=%d T=%d\r\n", sid, addr, i, m_update,
           m_v.state, m_v.volt, m_v.res, m_v.tem);
    return ok;
}

int CSMBattBodEB90::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    const tagSMItem& item = *m_pItem;
    const int offset = CellOffset(item);
    auto it = m_cache.find(u.sid);
    if (it == m_cache.end()) return 1;
    tagDataGetEB90& rec = it->second;
    int state = u.state;
    int rc = 0;

    const int p = rec.index - 1;
    if (p >= 0 && p < kCells) {
        int cell = state;
        if (state == 1) cell = alarmBits ? (alarmBits[0] >> 11) * 4 : 0;
        m_v.state = cell;
        rec.state[p] = (uint8_t)((state & 3) | cell);
        if (m_pDb && rec.upd[p])
            rc = qx::sql::Exec(m_pDb,
                               "update tbBattEb90Val set DateUpd=" QX_SQL_NOW ",State=%d,Vol=%d,"
                               "Reg=%d,Tem=%d where SID=%d and Addr=%d",
                               cell, rec.volt[p], rec.res[p], rec.tem[p], item.SID, item.Addr + p);
    }

    const int n = rec.sweeps >= 1 ? rec.count : rec.index;
    int64_t sum = 0;
    CellList alarm("告警:"), fault("故障:");
    for (int i = 0; i < n && i < kCells; i++) {
        if (!rec.upd[i]) continue;
        sum += rec.volt[i];
        if ((rec.state[i] & 3) == 1) alarm.Add(i + 1 + offset);
        if ((rec.state[i] & 3) == 2) fault.Add(i + 1 + offset);
    }
    if (alarm.cells)
        state = 1;
    else if (fault.cells)
        state = 2;
    else
        alarm.text = "正常";
    if (rec.count <= n) {
        char total[48];
        snprintf(total, sizeof(total), "总电压: %.3fV ", sum * 0.001);
        alarm.text = total + alarm.text;
    }

    if (m_pDb) {
        rc = qx::sql::UpdState(m_pDb, state, u.sid, u.type);
        qx::sql::UpdBrief(m_pDb, u.sid, (alarm.text + " " + fault.text).c_str(), state);
        rc = qx::sql::Exec(m_pDb,
                           "update tbBattEB90 set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d,"
                           "Volt=0,Curr=0 where sid=%d",
                           state, u.snap, u.sid);
    }
    if (hist) {
        rc = qx::sql::Exec(hist,
                           "insert into tbBattEB90(SID,DateUpd,State,SnapID,Volt,Curr) values(%d,"
                           QX_SQL_NOW ",%d,%d,0,0)",
                           u.sid, state, u.snap);
        for (int i = 0; i < n && i < kCells; i++)
            if (rec.upd[i])
                rc = qx::sql::Exec(hist,
                                   "insert into tbBattEb90Val values(null,%d,%d,%d," QX_SQL_NOW
                                   ",%d,%d,%d,%d,%d)",
                                   item.SID, item.Type, i + 1, rec.state[i], item.Addr + i,
                                   rec.volt[i], rec.res[i], rec.tem[i]);
    }

    if (rec.index >= rec.count) {
        rec.index = 0;
        rec.sweeps++;
    }
    return rc == 0 ? 1 : 0;
}
