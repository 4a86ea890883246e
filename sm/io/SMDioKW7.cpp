#include "io/SMDioKW7.h"

#include <stdio.h>
#include <string.h>

#include "QxPlatform.h"
#include "core/SMSkeleton.h"

namespace {

const int kReplyWaitMs = 150;
const uint8_t kCr = 0x0D;

// The point layout: Ext1 above 0 gives outputs * 100 + inputs, each at most 16; otherwise 10
// inputs and 6 outputs.
struct Layout {
    int inputs, outputs;
};
Layout LayoutOf(int32_t ext1) {
    if (ext1 <= 0) return {10, 6};
    return {ext1 % 100 > 16 ? 16 : ext1 % 100, ext1 / 100 > 16 ? 16 : ext1 / 100};
}

// A reply framed by its first character and a carriage return, at least min bytes long.
bool Framed(const uint8_t* rx, int n, char first, int min = 2) {
    return n >= min && rx[0] == (uint8_t)first && rx[n - 1] == kCr;
}

}  // namespace

CSMDioKW7::CSMDioKW7() : CSMDioBase(0x907) {
    m_iDataCnt = 17;
    m_iPointCnt = 16;
    m_iInCnt = 10;
    snprintf(m_note, sizeof(m_note), "%s", "QX-KW7");
}

int CSMDioKW7::GetMask() { return 166; }

int CSMDioKW7::ChkDef(IDbBase* db, int force) {
    if (!NeedDef(db, force)) return 0;
    int rows = 0;
    for (int n = 1; n <= 16; n++) {
        char name[8], note[32];
        snprintf(name, sizeof(name), "D%02d", n);
        if (n <= 10) snprintf(note, sizeof(note), "开关量输入%d", n);
        else snprintf(note, sizeof(note), "继电器输出%d", n - 10);
        // Every row alarms: which points are relays is the point's layout (Ext1), and D11..D16
        // are inputs in some. A point passes its own relays over when it stores a poll.
        const qx::sql::DefRow row = {n, name, 1, note, 1, 1, 0, "1闭合,0断开", 0, "", 0};
        rows += qx::sql::InsDef(db, m_iType, row) == 0;
    }
    return rows;
}

int CSMDioKW7::Char2Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 16;
}

uint32_t CSMDioKW7::Ascii2Num(const char* text, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n && i < 8; i++) {
        int d = Char2Hex(text[i]);
        if (d > 15) return 0;
        v = v << 4 | (uint32_t)d;
    }
    return v;
}

int CSMDioKW7::Exchange(ISerBase* ser, const char* frame, int len, uint8_t* rx, int size) {
    if (ser->Write((const unsigned char*)frame, len) != len) return -1;
    int n = ser->Read(rx, size, 0);
    return n < 0 ? 0 : n;
}

// '$AA6' + CR, 150 ms, then '!', the digits and CR. A reply too short for its digits or with
// a character that is not a hex digit fails the poll; the points stay as they were.
int CSMDioKW7::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    const Layout layout = LayoutOf(m_pItem ? m_pItem->Ext1 : 0);
    const int ins = layout.inputs, outs = layout.outputs;
    m_iInCnt = ins;
    m_iPointCnt = ins + outs;
    if (!qx::AddrFits(addr)) return 0;

    char frame[8];
    snprintf(frame, sizeof(frame), "$%02X6\r", addr & 0xFF);
    if (ser->Write((const unsigned char*)frame, 5) != 5) return 0;
    qx::SleepMs(kReplyWaitMs);
    uint8_t rx[51];
    int n = ser->Read(rx, 50, 0);
    if (n <= 0 || !Framed(rx, n, '!')) return 0;

    // Digits of each group, in reply order.
    bool outputsFirst = !m_pItem || m_pItem->Variant == 0;
    int first = outputsFirst ? 4 : (ins > 8 ? 4 : 2);
    int second = outputsFirst ? 4 : (outs > 8 ? 4 : 2);
    if (n < 1 + first + second + 1) return 0;
    const char* digits = (const char*)rx + 1;
    for (int i = 0; i < first + second; i++)
        if (Char2Hex(digits[i]) > 15) return 0;
    uint32_t a = Ascii2Num(digits, first), b = Ascii2Num(digits + first, second);
    uint32_t in = outputsFirst ? b : a, out = outputsFirst ? a : b;

    memset(m_wData, 0, sizeof(m_wData));
    for (int i = 0; i < ins; i++) m_wData[1 + i] = (in >> i) & 1;
    for (int j = 0; j < outs; j++) m_wData[1 + ins + j] = (out >> j) & 1;
    return 1;
}

// Dio and D01..D16 are stored. The point counts and the relays are the stored point's own
// layout (its Ext1), whichever point the handler polled last; its relays switched on are no
// alarm.
int CSMDioKW7::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    const Layout l = LayoutOf(m_pItem ? m_pItem->Ext1 : 0);
    DioStore how = {true, 16, true, l.inputs + l.outputs, l.inputs};
    how.outputs = OutputFields(l.inputs + 1, l.inputs + l.outputs);
    return StoreDio(how, flags, alarmBits, snapId, sid, hist);
}

// cmd: the command in bits 16-23, the channel in the low 16 bits; the value is the low byte
// of the int at buf.
//   0x80 address NN: '$AA2' reads the configuration ('!', AA, six characters, CR), then
//        '%AANN' with those six characters changes it;
//   0x70 relay c (0-15) on or off: '#AAAc01' / '#AABc00' ..., answered '>' ... CR;
//   0x60 value V: '~AA31VV' (V not 0) or '~AA1', answered '!' ... CR.
int CSMDioKW7::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    (void)len;
    if (!ser || !buf || !qx::AddrFits(addr)) return 0;
    int command = (cmd >> 16) & 0xFF, channel = cmd & 0xFFFF;
    int value;
    memcpy(&value, buf, sizeof(value));
    value &= 0xFF;
    char frame[16];
    uint8_t rx[51];
    int n;
    switch (command) {
    case 0x80: {
        snprintf(frame, sizeof(frame), "$%02X2\r", addr);
        n = Exchange(ser, frame, 5, rx, 50);
        char aa[3];
        snprintf(aa, sizeof(aa), "%02X", addr);
        // The configuration is sent back whole: '!', the address, six characters, CR.
        if (n < 10 || !Framed(rx, n, '!') || memcmp(rx + 1, aa, 2) != 0 || rx[9] != kCr) return 0;
        snprintf(frame, sizeof(frame), "%%%02X%02X", addr, value);
        memcpy(frame + 5, rx + 3, 6);
        frame[11] = '\r';
        n = Exchange(ser, frame, 12, rx, 50);
        return Framed(rx, n, '!') ? 1 : 0;
    }
    case 0x70:
        if (channel > 15) return 0;
        snprintf(frame, sizeof(frame), "#%02X%c%d%s\r", addr, channel <= 7 ? 'A' : 'B',
                 channel <= 7 ? channel : channel - 8, value ? "01" : "00");
        n = Exchange(ser, frame, 8, rx, 50);
        return Framed(rx, n, '>') ? 1 : 0;
    case 0x60:
        if (value) snprintf(frame, sizeof(frame), "~%02X31%02X\r", addr, value);
        else snprintf(frame, sizeof(frame), "~%02X1\r", addr);
        n = Exchange(ser, frame, value ? 8 : 5, rx, 50);
        return Framed(rx, n, '!') ? 1 : 0;
    default:
        return 0;
    }
}
