#include "io/SMCardA.h"

#include <stdio.h>
#include <string.h>

#include "core/QxPlatform.h"
#include "core/SMSkeleton.h"

using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

const TypeRow kType = {3329, "CardA", "485接口..."};
const DefRow kDefs[] = {
    {1, "CardId", 1, "卡号", 1, 0, 0, "卡ID|允许卡ID范围 小值", 0, "卡ID|允许卡ID范围 大值", 0},
    {17, "CardFound", 1, "进出", 1, 1, 0, "1有人进出", 0, "", 0},
};

const int kPoll = 0x1081;
const int kStatus = 0x109D;

uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

uint16_t Sum16(const uint8_t* p, int n) {
    unsigned s = 0;
    for (int i = 0; i < n; i++) s += p[i];
    return (uint16_t)s;
}

}  // namespace

CSMCardA::CSMCardA() : CSMBase(0xD00) {
    // Keeps the base model text.
    m_iDataCnt = 17;
    m_pData = m_reply;
}

void CSMCardA::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof kDefs / sizeof kDefs[0]);
}

int CSMCardA::ChkDb(tagSMItem* item) { return qx::card::ChkDb(*this, item); }

int CSMCardA::CmdPack(int addr, int cmd, const void* data, int len) {
    if (len < 0 || len > kMaxData) return 0;
    memset(m_cmd, 0, kFrame);
    m_cmd[0] = 0x7E;
    m_cmd[1] = (uint8_t)addr;
    m_cmd[2] = (uint8_t)(addr >> 8);
    m_cmd[3] = (uint8_t)cmd;
    m_cmd[4] = (uint8_t)(cmd >> 8);
    if (data && len > 0)
        memcpy(m_cmd + 5, data, (size_t)len);
    else if (data)
        m_cmd[5] = *(const uint8_t*)data;
    uint16_t sum = Sum16(m_cmd + 1, 30);
    m_cmd[31] = (uint8_t)sum;
    m_cmd[32] = (uint8_t)(sum >> 8);
    m_cmd[33] = 0x0D;
    return kFrame;
}

int CSMCardA::ChkPack(const uint8_t* reply, int n) {
    if (!reply || n != kFrame) return 0;
    return Sum16(reply + 1, 30) == Le16(reply + 31) ? 1 : 0;
}

// Reply offsets: 12-14 record number (24 bits), 15-16 a word, 17-18 and 19 the card (byte 19
// counts hundred thousands), 20 status, 21-22 the date (year since 2000 in bits 15-9, month
// 8-5, day 4-0), 23-24 the time (hour 15-11, minute 10-5, seconds / 2 in 4-0), 25, 26 door,
// 28. All little-endian.
qx::card::Event CSMCardA::Decode(const uint8_t* r) {
    qx::card::Event e;
    e.rec = (uint32_t)(r[12] | r[13] << 8 | r[14] << 16);
    e.card = (uint32_t)r[19] * 100000u + Le16(r + 17);
    e.st = r[20];
    uint16_t date = Le16(r + 21), time = Le16(r + 23);
    e.year = 2000 + (date >> 9);
    e.month = (date >> 5) & 0x0F;
    e.day = date & 0x1F;
    e.hour = time >> 11;
    e.minute = (time >> 5) & 0x3F;
    e.second = 2 * (time & 0x1F);
    e.extra[0] = Le16(r + 15);
    e.extra[1] = r[25];
    e.door = r[26];
    e.extra[2] = r[28];
    return e;
}

int CSMCardA::DataGet(ISerBase* ser, int addr, int wait) {
    if (!qx::skel::Ready(ser, false)) return 0;
    if (addr < 0 || addr > 0xFFFF) return 0;  // the frame carries 16 bits
    CmdPack(addr, kPoll, nullptr, 0);
    if (ser->Write(m_cmd, kFrame) != kFrame) return 0;
    if (wait > 200) qx::SleepMs(wait);
    int n = ser->Read(m_reply, kFrame, 0);
    if (!ChkPack(m_reply, n)) {
        printf("CSMCardA::DataGet false\r\n");
        return 0;
    }
    qx::card::PointLog& p = m_points.Of(qx::card::CurrentSid(*this));
    uint32_t rec = (uint32_t)(m_reply[12] | m_reply[13] << 8 | m_reply[14] << 16);
    if (rec == p.mark) {
        m_newEvent = 0;
        printf("CSMCardA::DataGet ok 0\r\n");
        return 1;
    }
    m_newEvent = 1;
    p.mark = rec;
    p.ev = Decode(m_reply);
    printf("CSMCardA::DataGet ok 1 cid=%d st=%d r=%02x b=%02x\r\n", (int)p.ev.card, p.ev.st,
           m_reply[25], m_reply[26]);
    return 1;
}

int CSMCardA::DataVal(int fld) {
    const qx::card::Event& e = m_points.Get(qx::card::CurrentSid(*this)).ev;
    switch (fld) {
    case 1: return (int)e.rec;
    case 2: return (int)e.card;
    case 3: return e.year << 16 | e.month << 8 | e.day;
    case 4: return e.hour << 16 | e.minute << 8 | e.second;
    case 5: return e.st;
    case 6: return e.extra[0];
    case 7: return e.extra[1];
    case 8: return e.door;
    case 9: return e.extra[2];
    case 17: return m_newEvent;
    default: break;
    }
    if (fld >= 10 && fld <= 16) return m_reply[fld - 5];
    return -1;
}

int CSMCardA::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    (void)snapId;
    return qx::card::Store(*this, m_points, m_newEvent, qx::card::kYearDashed, true, flags,
                           alarmBits, sid, hist);
}

// A command frame and its answer: 1 once a valid reply came (for the status command 0x109D
// only when the reply's status byte is 0).
int CSMCardA::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    if (!qx::skel::Ready(ser, false)) return 0;
    if (addr < 0 || addr > 0xFFFF) return 0;
    if (!CmdPack(addr, cmd, buf, len)) return 0;
    if (ser->Write(m_cmd, kFrame) != kFrame) return 0;
    qx::SleepMs(100);
    int n = ser->Read(m_reply, kFrame, 0);
    if (!ChkPack(m_reply, n)) return 0;
    if (cmd == kStatus) return m_reply[5] == 0 ? 1 : 0;
    return 1;
}
