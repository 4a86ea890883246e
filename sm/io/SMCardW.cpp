#include "io/SMCardW.h"

#include <stdio.h>
#include <string.h>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

int Bcd(uint8_t b) { return b - 6 * (b >> 4); }

}  // namespace

CSMCardW::CSMCardW() : CSMBase(0xD03) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-WEIGENG");
    m_iDataCnt = 17;
    m_pData = m_reply;
}

void CSMCardW::RegDb(IDbBase* db, int force) {
    static const qx::sql::TypeRow type = {3328, "CardW", "485接口..."};
    qx::sql::RegDb(*this, db, force, type, nullptr, 0);
}

int CSMCardW::ChkDb(tagSMItem* item) { return qx::card::ChkDb(*this, item); }

int CSMCardW::CmdPack(int serial, int func, const void* data, int len) {
    (void)data;
    (void)len;
    memset(m_cmd, 0, kPacket);
    m_cmd[0] = 0x17;
    m_cmd[1] = (uint8_t)func;
    for (int i = 0; i < 4; i++) m_cmd[4 + i] = (uint8_t)((uint32_t)serial >> (8 * i));
    memset(m_cmd + 8, 0xFF, 4);
    return kPacket;
}

// Record: 8-11 index, 12, 13 status, 14 door, 15, 16-19 card (little-endian), 20-26 the swipe
// time in BCD (century, year, month, day, hour, minute, second), 27.
qx::card::Event CSMCardW::Decode(const uint8_t* r) {
    qx::card::Event e;
    e.rec = Le32(r + 8);
    e.card = Le32(r + 16);
    e.year = Bcd(r[20]) * 100 + Bcd(r[21]);
    e.month = Bcd(r[22]);
    e.day = Bcd(r[23]);
    e.hour = Bcd(r[24]);
    e.minute = Bcd(r[25]);
    e.second = Bcd(r[26]);
    e.st = r[13];
    e.door = r[14];
    e.extra[0] = r[12];
    e.extra[1] = r[15];
    e.extra[2] = r[27];
    return e;
}

int CSMCardW::DataGet(ISerBase* ser, int addr, int wait) {
    if (!qx::skel::Ready(ser, false)) return 0;
    CmdPack(addr, 0xB0);
    if (ser->Write(m_cmd, kPacket) != kPacket) return 0;
    if (wait > 0) qx::SleepMs(wait);
    int n = ser->Read(m_reply, kPacket, 0);
    if (n < kRecord) return 0;
    qx::card::PointLog& p = m_points.Of(qx::card::CurrentSid(*this));
    uint32_t index = Le32(m_reply + 8);
    if (index == p.mark) {
        m_newEvent = 0;
        return 1;
    }
    m_newEvent = 1;
    p.mark = index;
    p.ev = Decode(m_reply);
    return 1;
}

// The values go to the tables only.
int CSMCardW::DataVal(int fld) {
    (void)fld;
    return -1;
}

int CSMCardW::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    (void)snapId;
    if (!alarmBits) memset(m_reply, 0, sizeof m_reply);
    return qx::card::Store(*this, m_points, m_newEvent, qx::card::kCenturyYear, m_newEvent != 0,
                           flags, alarmBits, sid, hist);
}

// The controller takes no commands here: nothing is sent.
int CSMCardW::DoFunc(ISerBase*, int, int, void*, int) { return 0; }
int CSMCardW::DoFunc(int, void*, int) { return 0; }
