#include "io/SMDioW70XX.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

namespace {

// Points with a state row and, of them, inputs, by the item's whole Variant.
struct Counts {
    int points, inputs;
};
Counts CountsOf(int variant) {
    switch (variant) {
    case 1: return {16, 16};
    case 2: return {12, 8};
    case 3: return {14, 14};
    default: return {8, 8};
    }
}

}  // namespace

CSMDioW70XX::CSMDioW70XX() : CSMDioW70XX(0x904, "W70XX") { m_hasRelays = true; }

CSMDioW70XX::CSMDioW70XX(int type, const char* note) : CSMDioBase(type) {
    m_iDataCnt = 17;
    snprintf(m_note, sizeof(m_note), "%s", note);
}

int CSMDioW70XX::ChkDef(IDbBase* db, int force) {
    if (!NeedDef(db, force)) return 0;
    int rows = 0;
    for (int n = 1; n <= 16; n++) {
        char name[8];
        snprintf(name, sizeof(name), "D%02d", n);
        // Every row alarms: D09..D12 are inputs of the 16- and 14-input modules. The relay
        // module passes its relays over when it stores a poll (DataUpd).
        const qx::sql::DefRow row = {n, name, 1, "断开标志", 1, 1, 0, "0正常", 0, "", 0};
        rows += qx::sql::InsDef(db, m_iType, row) == 0;
    }
    return rows;
}

// Inputs by function 2, relays by function 1, analog values by function 3, each reply checked
// in full. The relay module keeps its inputs when the relay read fails (the poll is 0).
int CSMDioW70XX::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    int module = m_pItem ? m_pItem->Variant & 0x7F : 0;
    if (module > 4) return 0;
    uint8_t rx[64];
    qx::MbReply r;
    if (module == 4) {
        r = qx::skel::MbPoll(*this, ser, addr, 3, 0, 8, rx, sizeof(rx), 0);
        if (!r.ok()) return 0;
        for (int i = 0; i < 16; i++) m_wData[1 + i] = i < 8 ? r.Word(i) : 0;
        return 1;
    }
    int inputs = module == 1 || module == 3 ? 16 : 8;
    r = qx::skel::MbPoll(*this, ser, addr, 2, 0, inputs, rx, sizeof(rx), 0);
    if (!r.ok()) return 0;
    for (int i = 0; i < 16; i++) m_wData[1 + i] = i < inputs ? (uint16_t)r.Bit(i) : 0;
    if (module == 3) m_wData[15] = m_wData[16] = 0;
    if (module != 2) return 1;
    // Six inputs and four relays.
    m_wData[7] = m_wData[8] = 0;
    r = qx::skel::MbPoll(*this, ser, addr, 1, 0, 4, rx, sizeof(rx), 0);
    if (!r.ok()) return 0;
    for (int i = 0; i < 4; i++) m_wData[9 + i] = (uint16_t)r.Bit(i);
    return 1;
}

// The point counts follow the point's whole Variant; its relays D09..D12 are there when its
// poll reads the relay module (the low 7 bits of Variant 2), whose relays switched on are no
// alarm.
int CSMDioW70XX::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    const int variant = m_pItem ? m_pItem->Variant : 0;
    Counts c = CountsOf(variant);
    DioStore how = {false, 16, true, c.points, c.inputs};
    if (m_hasRelays && (variant & 0x7F) == 2) how.outputs = OutputFields(9, 12);
    return StoreDio(how, flags, alarmBits, snapId, sid, hist);
}

// cmd = function << 16 | register, buf one value byte. Function 0x46 is the vendor's
// command; function 5 switches a relay of the relay module. Each answer is checked like a
// poll reply (address, function, echo, CRC; an exception is a failure).
int CSMDioW70XX::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    (void)len;
    if (!ser || !ser->IsOpened() || !buf || !qx::AddrFits(addr)) return 0;
    uint8_t v = *(const uint8_t*)buf;
    int reg = cmd & 0xFFFF, function = (cmd >> 16) & 0xFF;
    int n;
    if (function == 0x46) {
        const uint8_t frame[7] = {(uint8_t)addr, 0x46, 0x04, v, 0, 0, 0};
        memcpy(m_cmd, frame, sizeof(frame));
        uint16_t crc = CBufHelper::crc16(m_cmd, 7);
        m_cmd[7] = (uint8_t)crc;
        m_cmd[8] = (uint8_t)(crc >> 8);
        n = 9;
    } else if (function == 5 && m_pItem && m_pItem->Variant == 2) {
        int value = v == 0 ? 0 : (reg & 0xA0) ? 0xFF00 | v : 0xFF00;
        n = ModBusCmd(addr, 5, reg, value);
    } else {
        return 0;
    }
    uint8_t rx[20];
    qx::MbReply r = qx::skel::MbSend(*this, ser, n, rx, sizeof(rx), 0);
    if (!r.ok()) return 0;
    // The vendor's refusal: 0xC6 in the byte after the function.
    return function == 0x46 && r.dataLen > 0 && r.data[0] == 0xC6 ? 0 : 1;
}
