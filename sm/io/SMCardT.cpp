#include "io/SMCardT.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

namespace {

uint8_t Sum8(const uint8_t* p, int n) {
    unsigned s = 0;
    for (int i = 0; i < n; i++) s += p[i];
    return (uint8_t)s;
}

uint32_t Be32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

}  // namespace

CSMCardT::CSMCardT() : CSMBase(0xD02) {
    // Keeps the base model text.
    m_iDataCnt = 17;
    m_pData = m_reply;
}

void CSMCardT::RegDb(IDbBase* db, int force) {
    static const qx::sql::TypeRow type = {3329, "CardT", "485接口..."};
    qx::sql::RegDb(*this, db, force, type, nullptr, 0);
}

int CSMCardT::ChkDb(tagSMItem* item) { return qx::card::ChkDb(*this, item); }

int CSMCardT::CmdPack(int addr, int kind, int cmd, const void* data, int len) {
    if (!data) len = 0;
    if (len < 0 || len > kMaxData) return 0;
    m_cmd[0] = 0xA6;
    m_cmd[1] = (uint8_t)addr;
    m_cmd[2] = (uint8_t)kind;
    m_cmd[3] = (uint8_t)cmd;
    m_cmd[4] = (uint8_t)len;
    if (len) memcpy(m_cmd + 5, data, (size_t)len);
    m_cmd[5 + len] = Sum8(m_cmd, 5 + len);
    return len + 6;
}

int CSMCardT::ChkPack(const uint8_t* reply, int n) {
    if (!reply || n < 1 || reply[0] != 0xA6) return 0;
    return Sum8(reply, n - 1) == reply[n - 1] ? 1 : 0;
}

// Event report: 5 door flag (bit 0), 6 door number, 7 status, 8-11 card, 12-15 a second
// word, 16-19 the event time (seconds since 1970), 20 a last byte; all big-endian.
int CSMCardT::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    if (!qx::AddrFits(addr)) return 0;
    int len = CmdPack(addr, 1, 1, nullptr, 0);
    if (ser->Write(m_cmd, len) != len) return 0;
    int n = ser->Read(m_reply, kFrame, 0);
    if (!ChkPack(m_reply, n)) return 0;
    if (m_reply[3] != 0x42) {
        m_newEvent = 0;
        return 1;
    }
    if (n < kReport) return 0;  // bytes 5 to 20 did not arrive
    qx::card::PointLog& p = m_points.Of(qx::card::CurrentSid(*this));
    uint32_t stamp = Be32(m_reply + 16);
    if (stamp == p.mark) {
        m_newEvent = 0;
        return 1;
    }
    m_newEvent = 1;
    p.mark = stamp;
    qx::card::Event& e = p.ev;
    if (m_reply[5]) e.door = m_reply[6] << 4 | (m_reply[5] & 1);
    e.st = m_reply[7];
    e.card = Be32(m_reply + 8);
    e.extra[1] = (int)Be32(m_reply + 12);
    time_t t = (time_t)stamp;
    struct tm tm;
    if (localtime_r(&t, &tm)) {
        e.year = tm.tm_year + 1900;
        e.month = tm.tm_mon + 1;
        e.day = tm.tm_mday;
        e.hour = tm.tm_hour;
        e.minute = tm.tm_min;
        e.second = tm.tm_sec;
    }
    e.extra[2] = m_reply[20];
    printf("[A%02d] SMCardT: card=%u door=%d st=%d\r\n", addr, (unsigned)e.card, e.door, e.st);
    return 1;
}

int CSMCardT::DataVal(int fld) {
    const qx::card::Event& e = m_points.Get(qx::card::CurrentSid(*this)).ev;
    switch (fld) {
    case 1: return 0;
    case 2: return (int)e.card;
    case 3: return e.year << 16 | e.month << 8 | e.day;
    case 4: return e.hour << 16 | e.minute << 8 | e.second;
    case 5: return e.st;
    case 6:
    case 7: return 0;
    case 8: return e.door;
    case 9: return e.extra[2];
    case 17: return m_newEvent;
    default: return -1;
    }
}

int CSMCardT::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    (void)snapId;
    if (!alarmBits) memset(m_reply, 0, sizeof m_reply);
    return qx::card::Store(*this, m_points, m_newEvent, qx::card::kYearDashed, true, flags,
                           alarmBits, sid, hist);
}

// A command frame; the reply is read as the poll reads it, up to the 64-byte reply area (a
// reply carries data of its own, so its length is not the request's: a command without data
// is answered by 8 bytes), and checked whole. It must repeat the command in byte 5 and not
// carry 2 (refused) in byte 6.
int CSMCardT::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    if (!qx::skel::Ready(ser, false)) return 0;
    if (!qx::AddrFits(addr)) return 0;
    int n = CmdPack(addr, 1, cmd, buf, len);
    if (!n) return 0;
    if (ser->Write(m_cmd, n) != n) return 0;
    qx::SleepMs(100);
    int got = ser->Read(m_reply, kFrame, 0);
    if (!ChkPack(m_reply, got)) return 0;
    if (got < 8) return 0;  // bytes 5 and 6 did not arrive
    if (m_reply[5] != (uint8_t)cmd) return 0;
    return m_reply[6] == 2 ? 0 : 1;
}
