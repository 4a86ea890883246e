#include "io/SMCXV6V8.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

namespace {

// Letter, complement, data bytes 5 to 12 of each request.
const uint8_t kState[10] = {'b', 0x9D, 0x65, 0x20, 0x72, 0x20, 0x72, 0x20, 0x6F, 0x72};
const uint8_t kRecord[10] = {'c', 0x9C, ' ', 's', ' ', 'a', ' ', 'v', ' ', 'e'};
const uint8_t kConfig[10] = {'e', 0x9A, 0xB2, 0xCE, 0xCA, 0xFD, 0xC9, 0xE8, 0xB6, 0xA8};
const uint8_t kAll[10] = {'f', 0x99, 0xBD, 0xF8, 0x3F, 0x3F, 0xB3, 0xF6, 0x3F, 0x3F};

const qx::sql::TypeRow kType = {3328, "门禁", "485接口,量程..."};
const qx::sql::DefRow kDefs[] = {
    {3, "EEnum", 1, "滞留人数", 1, 11, 30, "最小值|允许最低滞留人数,低于此值告警", 380,
     "最大值|允许最高滞留人数,超过此值告警", 0},
};

const qx::skel::Key kKeys[] = {
    {".当前进人数", 1, 1, 0, ""}, {".icurEnter", 1, 1, 0, ""},
    {".当前出人数", 2, 1, 0, ""}, {".icurExport", 2, 1, 0, ""},
    {".滞留人数", 3, 1, 0, ""},   {".EEnum", 3, 1, 0, ""},
};

const char kColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER NOT NULL DEFAULT 1,SnapID INTEGER,curEnter INTEGER,curExport "
    "INTEGER,EEnum INTEGER,st1 INTEGER,st2 INTEGER,st3 INTEGER,st4 INTEGER,st5 INTEGER,st6 "
    "INTEGER,st7 INTEGER,st8 INTEGER";

bool AddrOk(int addr) { return addr >= 0 && addr <= 0xFFFF; }

}  // namespace

CSMCXV6V8::CSMCXV6V8() : CSMBase(0xD04) {
    snprintf(m_note, sizeof(m_note), "%s", "CX-V6-V8");
    m_iDataCnt = 3;
    m_pData = &m_v;
}

void CSMCXV6V8::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, 1);
}

int CSMCXV6V8::ChkDb(tagSMItem* item) {
    const qx::skel::Table tables[] = {{"tbCXV6V8", kColumns, qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbCXV6V8");
}

int CSMCXV6V8::setCMD(uint8_t* buf, int addr, const uint8_t* cmd) {
    buf[0] = 0xFA;
    buf[1] = cmd[0];
    buf[2] = cmd[1];
    buf[3] = (uint8_t)(addr >> 8);
    buf[4] = (uint8_t)addr;
    memcpy(buf + 5, cmd + 2, 8);
    buf[13] = crcCheck(buf, 13);
    buf[14] = 0x0D;
    buf[15] = 0x0A;
    return kFrame;
}

uint8_t CSMCXV6V8::crcCheck(const uint8_t* p, int n) {
    uint8_t x = 0;
    for (int i = 0; i < n; i++) x ^= p[i];
    return x;
}

int CSMCXV6V8::ChkReply(const uint8_t* r, int n) {
    return r && n >= kFrame && crcCheck(r, 13) == r[13] ? 1 : 0;
}

int CSMCXV6V8::Exchange(ISerBase* ser, int addr, const uint8_t* cmd, uint8_t* rx) {
    if (!qx::skel::Ready(ser)) return 0;
    if (!AddrOk(addr)) return 0;
    uint8_t tx[kFrame];
    setCMD(tx, addr, cmd);
    if (ser->Write(tx, kFrame) != kFrame) return 0;
    return ChkReply(rx, ser->Read(rx, kFrame, 0));
}

int CSMCXV6V8::getDevState(ISerBase* ser, int addr) {
    uint8_t rx[kFrame];
    if (!Exchange(ser, addr, kState, rx)) return 0;
    memcpy(m_v.state, rx + 5, 8);
    const uint8_t* s = m_v.state;
    if (m_pItem)
        printf("[A%02d] SMCXV6V8: Dev State1:%X State2:%X State3:%X State4:%X State5:%X "
               "State6:%X State7:%X State8:%X \r\n",
               addr, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
    return 1;
}

int CSMCXV6V8::getConfig(ISerBase* ser, int addr) {
    uint8_t rx[kFrame];
    if (!Exchange(ser, addr, kConfig, rx)) return 0;
    memcpy(m_v.config, rx + 5, 8);
    const uint8_t* c = m_v.config;
    if (m_pItem)
        printf("[A%02d] SMCXV6V8:config:%X %X %X %X %02d:%02d-%02d:%02d\r\n", addr, c[0], c[1],
               c[2], c[3], c[4], c[5], c[6], c[7]);
    return 1;
}

int CSMCXV6V8::getAllRecord(ISerBase* ser, int addr) {
    uint8_t rx[kFrame];
    if (!Exchange(ser, addr, kAll, rx)) return 0;
    m_v.in = rx[7] << 8 | rx[8];
    m_v.out = rx[11] << 8 | rx[12];
    printf("[A%02d] SMCXV6V8:icurEnter:%d icurExport:%d \r\n", addr, m_v.in, m_v.out);
    return 1;
}

// One request, twenty replies; a reply that fails ends the read (the records read stay).
int CSMCXV6V8::getRecord(ISerBase* ser, int addr) {
    uint8_t rx[kFrame];
    if (!Exchange(ser, addr, kRecord, rx)) return 0;
    for (int i = 0; i < kRecords; i++) {
        if (i > 0 && !ChkReply(rx, ser->Read(rx, kFrame, 0))) return 0;
        Record& r = m_v.rec[i];
        // The record's 20-byte text keeps what fits of bytes a device sends above 99.
        char t[32];
        snprintf(t, sizeof t, "20%02d-%02d-%02d %02d:%02d:00", rx[4], rx[5], rx[6], rx[7], rx[8]);
        snprintf(r.time, sizeof r.time, "%.19s", t);
        r.in = rx[9] << 8 | rx[10];
        r.out = rx[11] << 8 | rx[12];
    }
    if (m_pItem)
        for (int i = 0; i < kRecords; i++)
            printf("[A%02d] SMCXV6V8: record%d:datatime:%s enter:%d export:%d", addr, i,
                   m_v.rec[i].time, m_v.rec[i].in, m_v.rec[i].out);
    return 1;
}

int CSMCXV6V8::setDevTime(ISerBase* ser, int addr, int64_t t) {
    uint8_t cmd[10] = {'a', 0x9E, 0, 0, 0, 0, 0, 0, 0, 0};
    printf("%lld\r\n", (long long)t);
    int64_t div = 10000000000LL;  // the first two-digit group of YYMMDDhhmmss
    for (int i = 0; i < 6 && div > 0; i++, div /= 100) {
        cmd[2 + i] = (uint8_t)((t / div) % 100);
        if (t % div == 0) break;  // the rest of the number is 0
    }
    uint8_t rx[kFrame];
    if (!Exchange(ser, addr, cmd, rx)) return 0;
    memcpy(m_v.clock, rx + 5, 8);
    return 1;
}

// The clock frame of the night hour, sent once per point served; its answer is read into a
// buffer of its own and not looked at.
void CSMCXV6V8::SetClock(ISerBase* ser, int addr) {
    time_t now = qx::Now();
    struct tm tm;
    if (!localtime_r(&now, &tm)) return;
    if (tm.tm_hour != 1) {
        m_v.clockSid = 0;
        return;
    }
    if (m_pItem && m_pItem->SID == m_v.clockSid) return;
    if (m_pItem) m_v.clockSid = m_pItem->SID;
    const uint8_t cmd[10] = {'a', 0x9E, (uint8_t)(tm.tm_year % 100), (uint8_t)(tm.tm_mon + 1),
                             (uint8_t)tm.tm_mday, (uint8_t)tm.tm_hour, (uint8_t)tm.tm_min,
                             (uint8_t)tm.tm_sec, 0, 0};
    uint8_t tx[kFrame], rx[64];
    setCMD(tx, addr, cmd);
    ser->Write(tx, kFrame);
    ser->Read(rx, sizeof rx, 0);
}

// The persons inside: the larger count less the smaller.
int CSMCXV6V8::Inside() const { return m_v.in > m_v.out ? m_v.in - m_v.out : m_v.out - m_v.in; }

// The persons inside follow the counts just read, so that the host judges this poll's number
// against its limits, not the one the last update of whichever point stored.
int CSMCXV6V8::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false) || !AddrOk(addr)) return 0;
    SetClock(ser, addr);
    m_v.in = m_v.out = 0;
    if (!getDevState(ser, addr) || !getAllRecord(ser, addr)) return 0;
    m_v.eenum = Inside();
    return 1;
}

int CSMCXV6V8::DataVal(int fld) {
    switch (fld) {
    case 1: return m_v.in;
    case 2: return m_v.out;
    case 3: return m_v.eenum;
    default: return -1;
    }
}

int CSMCXV6V8::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    (void)hist;  // no history rows
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapZero)) return 0;
    if (u.answered)
        m_v.eenum = Inside();
    else
        memset(&m_v, 0, sizeof m_v);
    m_iErrCnt = 0;
    IDbBase* db = m_pDb;
    qx::sql::UpdState(db, u.state, u.sid, u.type);
    const uint8_t* s = m_v.state;
    int rc = qx::sql::Exec(db,
                           "update tbCXV6V8 set DateUpd=" QX_SQL_NOW
                           ",State=%d,SnapID=%d,curEnter=%d,curExport=%d,EEnum=%d,st1=%d,st2=%d,"
                           "st3=%d,st4=%d,st5=%d,st6=%d,st7=%d,st8=%d where sid=%d",
                           u.state, u.snap, m_v.in, m_v.out, m_v.eenum, s[0] & 15, s[1] & 15,
                           s[2] & 15, s[3] & 15, s[4] & 15, s[5] & 15, s[6] & 15, s[7] & 15, u.sid);
    if (!db) rc = 0;
    qx::skel::Brief b;
    if (u.answered)
        b.Add("当前设备：%d人进，%d人出，%d人滞留", m_v.in, m_v.out, m_v.eenum);
    else
        b.Add("%s", qx::sql::NoAnswerBrief().c_str());
    qx::sql::UpdBrief(db, u.sid, b.Text(), u.state);
    return rc == 0 ? 1 : 0;
}

int CSMCXV6V8::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    (void)buf;
    (void)len;
    switch (cmd) {
    case 2: return getDevState(ser, addr);
    case 3: return getRecord(ser, addr);
    case 5: return getConfig(ser, addr);
    case 6: return getAllRecord(ser, addr);
    default: return 0;
    }
}

int CSMCXV6V8::VarEval(char* text) {
    return qx::skel::VarEval(*this, text, kKeys, sizeof kKeys / sizeof kKeys[0]);
}
