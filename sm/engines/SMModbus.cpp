#include "SMModbus.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "BufHelper.h"
#include "ReplyCheck.h"

namespace {

const SMEngineDesc kDesc = {
    "CSMModbus", "QXMB-base", "QXMB-base", "tbModbus", "tbModbusDat", "", true, nullptr,
};

// Channel kind "network" in the channel type code.
const int kNetChannel = 1 << 21;

// Reply buffer: the longest good reply is a TCP one of 2000 coils, 9 + 250 bytes.
const int kReplySize = 260;

bool HexText(const std::string& s) {
    if (s.empty() || s.size() % 2) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

}  // namespace

ISMBase* NewModbusHandler(int type) { return NewEngine<CSMModbus>(type); }

CSMModbus::CSMModbus(int type) : CSMEngine(type, kDesc), m_iTransId(1) {
    memset(m_data, 0, sizeof m_data);
    m_pData = m_data;
}

CSMModbus::~CSMModbus() {}

const SMEngineDesc& CSMModbus::Desc() const { return kDesc; }

bool CSMModbus::Tcp(ISerBase* ser, int flags) const {
    return (ser->GetType() & kNetChannel) && !(flags & kRtuOnNet);
}

int CSMModbus::Block(int f, const std::string& key, int* start, int* count, const char** why) {
    *why = "";
    if (key.find("bit") != std::string::npos) return 0;
    char sec[8];
    snprintf(sec, sizeof sec, "regs%d", f);
    *count = m_ini.GetValue<int>(sec, key, 0);
    if (*count == 0) return 0;
    char* end = nullptr;
    long s = strtol(key.c_str(), &end, 10);
    if (key.empty() || key[0] < '0' || key[0] > '9') {
        *why = "the key is not a start address";
        return -1;
    }
    int max = f <= 2 ? kMaxBits : kMaxRegs;
    if (*count < 1 || *count > max) {
        *why = f <= 2 ? "count outside 1..2000" : "count outside 1..125";
        return -1;
    }
    if (s > 65535 || s + *count > 65536) {
        *why = "beyond address 65535";
        return -1;
    }
    *start = (int)s;
    return 1;
}

void CSMModbus::LoadEngine() {
    for (int f = 1; f <= 4; f++) {
        char sec[8];
        snprintf(sec, sizeof sec, "regs%d", f);
        for (SimpleIni::KeyIterator it = m_ini.beginKey(sec); it != m_ini.endKey(sec); ++it) {
            int start, count;
            const char* why;
            if (Block(f, it->first, &start, &count, &why) < 0)
                printf("CSMModbus: [%s] %s=%s refused: %s\n", sec, it->first.c_str(),
                       it->second.value.c_str(), why);
        }
    }
}

int CSMModbus::DataGet(ISerBase* ser, int addr, int ext) {
    ClearVals();
    if (m_bLoaded != true || !ser || !qx::AddrFits(addr) || !ser->IsOpened()) return 0;
    const bool tcp = Tcp(ser, ext);
    const qx::MbFraming framing = tcp ? qx::MbFraming::Tcp : qx::MbFraming::Rtu;
    uint8_t reply[kReplySize];

    for (int f = 1; f <= 4; f++) {
        char sec[8];
        snprintf(sec, sizeof sec, "regs%d", f);
        if (m_iDebug) printf("%s\n", sec);
        for (SimpleIni::KeyIterator it = m_ini.beginKey(sec); it != m_ini.endKey(sec); ++it) {
            int start = 0, count = 0;
            const char* why;
            int b = Block(f, it->first, &start, &count, &why);
            if (b == 0) continue;
            if (b < 0) {
                Log("[%s] %s refused: %s\n", sec, it->first.c_str(), why);
                return 0;
            }
            if (m_iDebug) printf("%d=%d\n", start, count);

            int len;
            if (tcp) {
                len = ModBusTcpCmd(m_iTransId, addr, f, start, count);
                m_iTransId = (int32_t)((uint32_t)m_iTransId + 1);
            } else {
                len = ModBusCmd(addr, f, start, count);
            }
            qx::MbReply r = qx::MbExchange(ser, framing, m_cmd, len, reply, sizeof reply, m_iDelay);
            if (m_iDebug) printf("ircv=%d\n", r.received);
            if (!r.ok()) {
                if (r.status == qx::ReplyStatus::Exception)
                    Log("[%s] %d=%d: exception %d\n", sec, start, count, r.exception);
                else
                    Log("[%s] %d=%d: %s\n", sec, start, count, qx::ReplyStatusText(r.status));
                return 0;
            }

            char key[32];
            if (f <= 2) {
                // Every bit of every data byte, also those past count in the last byte.
                for (int i = 0; i < r.dataLen; i++)
                    for (int j = 0; j < 8; j++) {
                        snprintf(key, sizeof key, "%d%04d", f - 1, i * 8 + start + j + 1);
                        SetVal(key, r.data[i] & (1 << j));
                    }
                continue;
            }
            for (int k = 0; k < count; k++) {
                snprintf(key, sizeof key, f == 3 ? "4%04d" : "3%04d", start + k + 1);
                int v = r.Word(k);
                SetVal(key, v);
                char bitKey[24];
                snprintf(bitKey, sizeof bitKey, "%dbit", start + k);
                int bits = m_ini.GetValue<int>(sec, bitKey, 0);
                bits = bits <= 0 ? 0 : bits >= 2 ? 16 : 8 * bits;
                for (int j = 0; j < bits; j++) {
                    char sub[40];
                    snprintf(sub, sizeof sub, "%s-%d", key, j);
                    SetVal(sub, (v >> j) & 1);
                }
            }
        }
    }

    if (m_iDebug) {
        printf("t=%d  iaddr=%d  iext=%d\n", m_iType, addr, ext);
        for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_VALS); it != m_ini.endKey(SEC_VALS); ++it)
            printf("%s=%s\n", it->first.c_str(), it->second.value.c_str());
    }
    return 1;
}

int CSMModbus::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    if (m_bLoaded != true || !ser || !qx::AddrFits(addr) || !ser->IsOpened()) return 0;
    const bool tcp = Tcp(ser, len);
    if (cmd & 0xFF0000) return 0;
    char key[16];
    snprintf(key, sizeof key, "Yk%02d", cmd & 0xFFFF);
    std::string pdu = Comm(key);
    if (pdu.empty()) return 0;

    // The request must fit m_cmd: address and CRC around an RTU PDU, the MBAP header before
    // a TCP one.
    const int head = tcp ? 7 : 1, tail = tcp ? 0 : 2;
    const int maxPdu = (int)sizeof m_cmd - head - tail;
    if (!HexText(pdu) || (int)pdu.size() / 2 > maxPdu) {
        Log("[comm] %s refused: not a PDU of 1..%d bytes in hex\n", key, maxPdu);
        return 0;
    }
    int k = CBufHelper::BufFromStr(m_cmd + head, pdu.c_str(), (int)pdu.size());
    int n;
    if (tcp) {
        CBufHelper::wdToBuf(m_cmd, (uint16_t)m_iTransId);
        CBufHelper::wdToBuf(m_cmd + 2, 0);
        CBufHelper::wdToBuf(m_cmd + 4, (uint16_t)(k + 1));
        m_cmd[6] = (uint8_t)addr;
        n = k + 7;
        m_iTransId = (int32_t)((uint32_t)m_iTransId + 1);
    } else {
        m_cmd[0] = (uint8_t)addr;
        // The low-order CRC byte comes first.
        CBufHelper::wdToBufLH(m_cmd + k + 1, CBufHelper::crc16(m_cmd, k + 1));
        n = k + 3;
    }
    uint8_t reply[kReplySize];
    qx::MbReply r = qx::MbExchange(ser, tcp ? qx::MbFraming::Tcp : qx::MbFraming::Rtu, m_cmd, n,
                                   reply, sizeof reply, m_iDelay);
    if (!r.ok()) {
        if (r.status == qx::ReplyStatus::Exception)
            Log("%s: exception %d\n", key, r.exception);
        else
            Log("%s: %s\n", key, qx::ReplyStatusText(r.status));
        return 0;
    }
    return 1;
}
