#include "SMNormal.h"

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "ReplyCheck.h"

namespace {

const SMEngineDesc kDesc = {
    "CSMNormal", "QXYD-base", "QXYD-base", "tbNormal", "tbNormalDat", "", false, nullptr,
};

// Reads gathered for one reply that arrives in parts.
const int kMaxReads = 8;

enum ChkKind : uint16_t { kNone = 0, kCrc = 1, kSum = 2, kXor = 3 };

// Pairs of hexadecimal digits (either case); the empty text is none.
bool HexText(const char* s) {
    size_t n = 0;
    for (; s[n]; n++) {
        char c = s[n];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return n % 2 == 0;
}

}  // namespace

ISMBase* NewNormalHandler(int type) { return NewEngine<CSMNormal>(type); }

CSMNormal::CSMNormal(int type)
    : CSMEngine(type, kDesc), m_sDinfo("I"), m_iDmax(200), m_iChk(0), m_iChk0(0), m_iDat0(0),
      m_iSendLen(0), m_iHeadLen(0), m_iTailLen(0), m_wChkKind(0), m_wChkDist(0) {
    memset(m_data, 0, sizeof m_data);
    m_pData = m_data;
}

CSMNormal::~CSMNormal() {}

const SMEngineDesc& CSMNormal::Desc() const { return kDesc; }

int CSMNormal::_ishex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// ---------------------------------------------------------------- loading

void CSMNormal::LoadEngine() {
    m_sDinfo = Comm("dinfo", "I");
    m_iDmax = CommInt("dmax", 200);
    m_sSnd = Comm("SND");
    m_sRcv = Comm("RCV");
    m_iChk = CommInt("chk", 0);
    m_iChk0 = CommInt("chk0", 0);
    m_iDat0 = CommInt("dat0", 0);
    if (m_iDmax < 1 || m_iDmax > kMaxReply)
        printf("CSMNormal: [comm] dmax=%d outside 1..%d, held to it\n", m_iDmax, kMaxReply);
    if (m_iDat0 < 0 || m_iDat0 > kMaxReply) {
        printf("CSMNormal: [comm] dat0=%d outside 0..%d, held to it\n", m_iDat0, kMaxReply);
        m_iDat0 = m_iDat0 < 0 ? 0 : kMaxReply;
    }

    // Every request the file describes is built once, so that a template, command or data
    // that cannot be sent is reported now rather than at each poll.
    std::string cmds = Comm("cmds");
    for (size_t i = 0; i < cmds.size(); i += 3) {
        std::string code = cmds.substr(i, 2);
        std::string sec = code + "H";
        if (NormalCmd(m_cmd, 0, code.c_str(), m_ini.GetValue(sec, "cdat", "").c_str()) == 0)
            printf("CSMNormal: command %s refused\n", code.c_str());
        int dmax = m_ini.GetValue<int>(sec, "dmax", m_iDmax);
        if (dmax < 1 || dmax > kMaxReply)
            printf("CSMNormal: [%s] dmax=%d outside 1..%d, held to it\n", sec.c_str(), dmax,
                   kMaxReply);
    }
    for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_COMM); it != m_ini.endKey(SEC_COMM); ++it) {
        const std::string& key = it->first;
        if (key.size() != 4 || key.compare(0, 2, "Yk") != 0) continue;
        const std::string& text = it->second.value;
        size_t comma = text.find(',');
        std::string code = text.substr(0, comma);
        std::string data = comma == std::string::npos ? "" : text.substr(comma + 1);
        if (!text.empty() && NormalCmd(m_cmd, 0, code.c_str(), data.c_str()) == 0)
            printf("CSMNormal: [comm] %s refused\n", key.c_str());
    }
    m_iSendLen = m_iHeadLen = m_iTailLen = 0;
    m_wChkKind = m_wChkDist = 0;
}

int CSMNormal::Dmax(const std::string& section) const {
    int dmax = m_ini.GetValue<int>(section, "dmax", m_iDmax);
    return dmax < 1 ? 1 : dmax > kMaxReply ? kMaxReply : dmax;
}

// ---------------------------------------------------------------- requests

int CSMNormal::NormalCmd(unsigned char* buf, int adr, const char* cmd, const char* dat) {
    m_iSendLen = m_iHeadLen = m_iTailLen = 0;
    m_wChkKind = m_wChkDist = 0;
    if (!buf) return 0;
    if (!cmd) cmd = "";
    if (!dat) dat = "";

    const char* why = nullptr;
    if (!HexText(cmd))
        why = "the command code is not pairs of hexadecimal digits";
    else if (!HexText(dat))
        why = "the data is not pairs of hexadecimal digits";

    // Positions of the check and length bytes; both are written once the layout is done.
    struct Check {
        int pos;
        uint16_t kind;
    } checks[kMaxRequest];
    int nChecks = 0;
    int lens[kMaxRequest];
    int nLens = 0;

    int n = 0, head = 0, tail = 0;
    const std::string& t = m_sSnd;
    for (size_t start = 0; !why && start <= t.size();) {
        size_t end = t.find(' ', start);
        if (end == std::string::npos) end = t.size();
        const std::string tok = t.substr(start, end - start);
        const bool last = end == t.size();
        start = end + 1;
        if (tok.empty()) {
            if (last) break;
            continue;
        }

        int width;
        const char* hex = nullptr;  // bytes written from hexadecimal text
        if (_ishex(tok[0])) {
            if (!HexText(tok.c_str())) {
                why = "a literal is not pairs of hexadecimal digits";
                break;
            }
            hex = tok.c_str();
            width = (int)tok.size() / 2;
        } else if (tok.compare(0, 4, "dlen") == 0) {
            width = 1;
        } else if (tok.compare(0, 3, "adr") == 0) {
            if (!qx::AddrFits(adr)) {
                why = "the address does not fit its byte";
                break;
            }
            width = 1;
        } else if (tok.compare(0, 3, "sum") == 0 || tok.compare(0, 3, "xor") == 0 ||
                   tok.compare(0, 3, "len") == 0) {
            width = 1;
        } else if (tok.compare(0, 3, "crc") == 0) {
            width = 2;
        } else if (tok.compare(0, 3, "cmd") == 0) {
            hex = cmd;
            width = (int)strlen(cmd) / 2;
        } else if (tok.compare(0, 3, "dat") == 0) {
            hex = dat;
            width = (int)strlen(dat) / 2;
        } else {
            continue;  // not a token of the template: no bytes
        }
        if (width > kMaxRequest - n) {
            why = "the request is longer than 64 bytes";
            break;
        }

        if (hex) {
            CBufHelper::BufFromStr(buf + n, hex, width * 2);
            if (_ishex(tok[0])) {
                if (n == 0) head = width;
                if (last) tail = width;
            }
        } else if (tok[0] == 'd') {
            buf[n] = (uint8_t)(strlen(dat) / 2);
        } else if (tok[0] == 'a') {
            buf[n] = (uint8_t)adr;
        } else if (tok[0] == 'l') {
            buf[n] = 0;
            lens[nLens++] = n;
        } else {
            buf[n] = 0;
            if (width == 2) buf[n + 1] = 0;
            checks[nChecks++] = {n, tok[0] == 'c' ? kCrc : tok[0] == 's' ? kSum : kXor};
        }
        n += width;
    }

    // The length first, then the checks in template order: a check then covers the length
    // byte and any check before it as they are sent.
    for (int i = 0; !why && i < nLens; i++) buf[lens[i]] = (uint8_t)n;
    for (int i = 0; !why && i < nChecks; i++) {
        const int pos = checks[i].pos;
        if (m_iChk0 < 0 || m_iChk0 > pos) {
            why = "chk0 lies beyond the check";
            break;
        }
        const uint8_t* from = buf + m_iChk0;
        const int count = pos - m_iChk0;
        if (checks[i].kind == kCrc)
            CBufHelper::wdToBufLH(buf + pos, CBufHelper::crc16(from, count));
        else if (checks[i].kind == kSum)
            buf[pos] = (uint8_t)CBufHelper::sum(from, count);
        else
            buf[pos] = CBufHelper::Xor(from, count);
    }
    if (why) {
        printf("CSMNormal: request refused: %s\n", why);
        return 0;
    }

    m_iHeadLen = head;
    m_iTailLen = tail;
    if (nChecks) {
        m_wChkKind = checks[nChecks - 1].kind;
        m_wChkDist = (uint16_t)(n - checks[nChecks - 1].pos);
    }
    m_iSendLen = n;
    return n;
}

// ---------------------------------------------------------------- replies

int CSMNormal::NormalChk(const unsigned char* reply, int r, int dataStart) {
    if (!reply || r <= 0) return kChkShort;
    const int p = r - m_wChkDist;  // the check's position in the reply
    if (m_wChkKind != kNone) {
        if (p < m_iChk0 || p < 0) return kChkShort;
        const uint8_t* from = reply + m_iChk0;
        const int count = p - m_iChk0;
        switch (m_wChkKind) {
        case kSum:
            if ((uint8_t)CBufHelper::sum(from, count) != reply[p]) return kChkSum;
            break;
        case kXor:
            if (CBufHelper::Xor(from, count) != reply[p]) return kChkXor;
            break;
        default: {
            uint16_t crc = CBufHelper::crc16(from, count);
            if (reply[p] != (uint8_t)crc || reply[p + 1] != (uint8_t)(crc >> 8)) return kChkCrc;
        }
        }
    }
    if ((m_iChk & 1) && m_iHeadLen) {
        if (r < m_iHeadLen) return kChkHead;
        for (int i = 0; i < m_iHeadLen && i < m_iSendLen; i++)
            if (reply[i] != m_cmd[i]) return kChkHead;
    }
    if ((m_iChk & 2) && m_iTailLen) {
        if (r < m_iTailLen) return kChkTail;
        for (int i = 0; i < m_iTailLen && i < m_iSendLen; i++)
            if (reply[r - 1 - i] != m_cmd[m_iSendLen - 1 - i]) return kChkTail;
    }
    if (p < dataStart) return kChkShort;
    return 0;
}

int CSMNormal::NormalSize(const char* format) {
    char c = format ? format[0] : '\0';
    if (c == 'F' || c == 'f') return 4;
    if (c == 'I' || c == 'i') return 2;
    return 1;
}

int CSMNormal::NormalVal(const unsigned char* bytes, const char* format, int factor, bool* ok) {
    if (ok) *ok = true;
    switch (NormalSize(format)) {
    case 4: {
        double v = (double)CBufHelper::fvFromBuf(bytes) * factor;
        if (!isfinite(v) || v <= (double)INT_MIN - 1.0 || v >= (double)INT_MAX + 1.0) {
            if (ok) *ok = false;
            return 0;
        }
        return (int)v;  // toward zero
    }
    case 2:
        return CBufHelper::wdFromBuf(bytes);
    default:
        return bytes[0];
    }
}

void CSMNormal::ValsByDefault(const unsigned char* reply, int r, const char* section,
                              const char* dinfo) {
    if (!reply || !section || !dinfo) return;
    const int dfac = m_ini.GetValue<int>(section, "dfac", 1);
    const int limit = r - m_wChkDist;  // fields lie before the check
    int p = m_iDat0;
    for (int n = 1; p < limit; n++) {
        char k[16];
        snprintf(k, sizeof k, "%d", n);
        std::string format = m_ini.GetValue(section, k, "");
        int w = NormalSize(dinfo);
        if (format[0] != '-') {
            const char* f = format.empty() ? dinfo : format.c_str();
            w = NormalSize(f);
            if (p + w > limit) {
                if (m_iDebug) Log("[%s] field %d cut short by the reply's end\n", section, n);
                break;
            }
            char key[80];
            snprintf(key, sizeof key, "%.63s%02d", section, n);
            bool ok;
            int v = NormalVal(reply + p, f, dfac, &ok);
            if (!ok) {
                Log("[%s] field %d: float beyond an integer, not stored\n", section, n);
            } else {
                SetVal(key, v);
                snprintf(k, sizeof k, "%dbit", n);
                int bytes = m_ini.GetValue<int>(section, k, 0);
                int bits = bytes <= 0 ? 0 : bytes >= 4 ? 32 : 8 * bytes;
                for (int j = 0; j < bits; j++) {
                    char sub[96];
                    snprintf(sub, sizeof sub, "%s-%d", key, j);
                    SetVal(sub, (int)(((uint32_t)v >> j) & 1));
                }
            }
        }
        p += w;
    }
}

// ---------------------------------------------------------------- exchanges

int CSMNormal::Exchange(ISerBase* ser, int len, unsigned char* reply, int max, int dataStart) {
    ser->Purge();  // nothing left from an earlier answer may shift this one
    int written = ser->Write(m_cmd, len);
    if (written < len) return -1;
    if (m_iDelay) qx::SleepMs(m_iDelay);
    int got = 0;
    for (int reads = 0; reads < kMaxReads && got < max; reads++) {
        int r = ser->Read(reply + got, max - got, 0);
        if (r <= 0) break;
        got += r > max - got ? max - got : r;
        if (NormalChk(reply, got, dataStart) == 0) break;
    }
    return got;
}

int CSMNormal::DataGet(ISerBase* ser, int addr, int ext) {
    (void)ext;
    ClearVals();
    if (m_bLoaded != true || !ser || !ser->IsOpened()) return 0;

    uint8_t reply[kMaxReply];
    const std::string cmds = Comm("cmds");
    for (size_t i = 0; i < cmds.size(); i += 3) {
        const std::string code = cmds.substr(i, 2);
        const std::string sec = code + "H";
        const std::string dinfo = m_ini.GetValue(sec, "dinfo", m_sDinfo);
        const std::string cdat = m_ini.GetValue(sec, "cdat", "");
        int len = NormalCmd(m_cmd, addr, code.c_str(), cdat.c_str());
        if (len <= 0) {
            Log("command %s not sent\n", code.c_str());
            return 0;
        }
        int r = Exchange(ser, len, reply, Dmax(sec), m_iDat0);
        if (r < 0) {
            Log("command %s: request not written\n", code.c_str());
            return 0;
        }
        int chk = NormalChk(reply, r, m_iDat0);
        if (chk) {
            Log("command %s: reply of %d bytes refused (check 0x%02X)\n", code.c_str(), r, chk);
            return 0;
        }
        ValsByDefault(reply, r, sec.c_str(), dinfo.c_str());
    }

    if (m_iDebug) {
        printf("t=%d  iaddr=%d\n", m_iType, addr);
        for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_VALS); it != m_ini.endKey(SEC_VALS); ++it)
            printf("%s=%s\n", it->first.c_str(), it->second.value.c_str());
        char brief[kMaxBrief];
        if (BriefText(brief, sizeof brief)) printf("brief=%s\n", brief);
    }
    return 1;
}

int CSMNormal::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    (void)buf;
    (void)len;
    if (!ser) return 0;
    char key[16];
    snprintf(key, sizeof key, "Yk%02d", cmd);
    const std::string text = Comm(key);
    if (text.empty()) return 0;
    const size_t comma = text.find(',');
    const std::string code = text.substr(0, comma);
    const std::string data = comma == std::string::npos ? "" : text.substr(comma + 1);

    int n = NormalCmd(m_cmd, addr, code.c_str(), data.c_str());
    if (n <= 0) {
        Log("%s not sent\n", key);
        return 0;
    }
    uint8_t reply[2 * kMaxRequest];
    int r = Exchange(ser, n, reply, 2 * n, 0);
    if (r < 0) {
        Log("%s: request not written\n", key);
        return 0;
    }
    int chk = NormalChk(reply, r);
    if (chk) {
        Log("%s: reply of %d bytes refused (check 0x%02X)\n", key, r, chk);
        return 0;
    }
    return 1;
}
