#include "io/SMCardK.h"

#include <stdio.h>
#include <string.h>

#include "core/TeFrame.h"
#include "io/CardLog.h"
#include "core/SMSkeleton.h"

namespace {

const uint8_t kSoi = 0x7F;
const uint8_t kEoi = 0x0D;
const uint8_t kVer = 0x10;

bool IsDigit(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

uint8_t val2asc(uint8_t v) { return v > 15 ? 0 : TE_Hex2AsciiLow(v); }

uint8_t asc2val(uint8_t c) { return IsDigit(c) ? TE_Ascii2Hex(c) : 0; }

void num2asc(uint8_t b, uint8_t* hi, uint8_t* lo) {
    if (hi) *hi = TE_Hex2AsciiHigh(b);
    if (lo) *lo = TE_Hex2AsciiLow(b);
}

uint8_t asc2num(uint8_t hi, uint8_t lo, uint8_t* out) {
    uint8_t v = (uint8_t)(asc2val(hi) << 4 | asc2val(lo));
    if (out) *out = v;
    return v;
}

uint16_t calc_length_chksum(uint16_t lenid) { return TE_GetChkLength(lenid); }

uint16_t calc_packet_chksum(const uint8_t* p, unsigned n) {
    unsigned sum = 0;
    for (unsigned i = 0; p && i < n; i++) sum += p[i];
    return (uint16_t)(0x10000 - (sum & 0xFFFF));
}

int get_cmd_data(uint8_t* out, unsigned* outLen, uint8_t adr, uint8_t cid1, uint8_t cid2,
                 const uint8_t* info, unsigned n) {
    if (!out || n > 2047) return 0;
    int len = TE_CmdPack(out, 18 + 2 * (size_t)n, kVer, cid1, cid2, adr, info, (int)n, kSoi, kEoi);
    if (len <= 0) return 0;
    if (outLen) *outLen = (unsigned)len;
    return 1;
}

int get_monitor_req(uint8_t* out, unsigned* outLen) {
    static const uint8_t info[3] = {0xF2, 0xEE, 0x00};
    return get_cmd_data(out, outLen, 0x01, 0x80, 0x4A, info, 3);
}

int decode_recv_packet(const uint8_t* in, unsigned n, uint8_t* out, unsigned* outCount,
                       unsigned outSize) {
    if (!in || !out || n < 18 || in[0] != kSoi || in[n - 1] != kEoi) return 0;
    uint16_t got = (uint16_t)(asc2num(in[n - 5], in[n - 4], nullptr) << 8 |
                              asc2num(in[n - 3], in[n - 2], nullptr));
    if (got != calc_packet_chksum(in + 1, n - 6)) return 0;
    // The characters after 0x7F pairwise; an odd count takes one checksum character along.
    unsigned chars = n - 6, count = 0;
    for (unsigned i = 0; i < chars && count < outSize; i += 2, count++)
        asc2num(in[1 + i], in[2 + i], &out[count]);
    if (count < 6) return 0;
    uint16_t length = (uint16_t)(out[4] << 8 | out[5]);
    if (length != calc_length_chksum(length & 0x0FFF)) return 0;
    if (outCount) *outCount = count;
    return 1;
}

int handle_recv_packet(const uint8_t* in, unsigned n, uint8_t* out, int32_t* outLen) {
    if (!in || !out || n < 6) return 0;
    unsigned info = (unsigned)((in[4] << 8 | in[5]) & 0x0FFF) / 2;
    if (info != (unsigned)CSMCardK::kInfo || info > n - 6) return 0;
    memcpy(out, in + 6, info);
    if (outLen) *outLen = (int32_t)info;
    if (out[13] != 0) return 0;
    printf("卡号:%02X%02X%02X%02X 时间:%02X%02X-%02X-%02X %02X:%02X:%02X\r\n", out[1], out[2],
           out[3], out[4], out[5], out[6], out[7], out[8], out[9], out[10], out[11]);
    return 1;
}

CSMCardK::CSMCardK() : CSMBase(0xD01) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-CARD_K");
    m_iDataCnt = 9;
    m_pData = m_info;
}

void CSMCardK::RegDb(IDbBase* db, int force) {
    static const qx::sql::TypeRow type = {3329, "CardK", "485接口..."};
    qx::sql::RegDb(*this, db, force, type, nullptr, 0);
}

int CSMCardK::ChkDb(tagSMItem* item) { return qx::card::ChkDb(*this, item); }

// The request always carries ADR 01: the address and the wait are not used.
int CSMCardK::DataGet(ISerBase* ser, int addr, int wait) {
    (void)addr;
    (void)wait;
    m_newEvent = 0;
    if (!ser || !ser->IsOpened()) return 0;
    uint8_t req[24];
    unsigned len = 0;
    if (!get_monitor_req(req, &len)) return 0;
    if (ser->Write(req, (int)len) != (int)len) return 0;
    uint8_t rx[64];
    int n = ser->Read(rx, sizeof rx, 0);
    if (n <= 0) return 0;
    uint8_t dec[40];
    unsigned count = 0;
    if (!decode_recv_packet(rx, (unsigned)n, dec, &count, sizeof dec)) return 0;
    m_newEvent = handle_recv_packet(dec, count, m_info, &m_iDataCnt);
    return m_newEvent;
}

int CSMCardK::DataVal(int fld) {
    if (fld == 1) return m_info[0];
    if (fld == 2) return (int)((uint32_t)m_info[1] << 24 | m_info[2] << 16 | m_info[3] << 8 | m_info[4]);
    if (fld >= 3 && fld <= 9) return m_info[fld + 2];
    return -1;
}

// The event just read goes into the card log of the history database by the controllers'
// rule: the trim above 1500 rows, an event time not logged yet by any point, the point's SID.
// The reader has no record number and no status: both are logged as 0. Its time is the BCD
// bytes printed as hexadecimal ("2014-03-05 08:09:10"). There is no current row and no
// summary; after a poll without answer the block is cleared and nothing is logged.
int CSMCardK::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags)) {
        m_newEvent = 0;
        return 0;
    }
    if (!u.answered) memset(m_info, 0, sizeof m_info);
    m_iErrCnt = 0;
    qx::sql::UpdState(m_pDb, u.state, u.sid, u.type);
    int rc = 0;
    if (hist && m_newEvent && u.answered) {
        const uint8_t* i = m_info;
        qx::card::Event e;
        e.card = (uint32_t)DataVal(2);
        e.door = i[0];
        char date[32];
        snprintf(date, sizeof date, "%02X%02X-%02X-%02X %02X:%02X:%02X", i[5], i[6], i[7], i[8],
                 i[9], i[10], i[11]);
        int logged = qx::card::Log(hist, u.sid, u.state, u.snap, e, date);
        if (logged >= 0) rc = logged;
    }
    m_newEvent = 0;
    return rc == 0 ? 1 : 0;
}
