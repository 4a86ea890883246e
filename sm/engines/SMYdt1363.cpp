#include "SMYdt1363.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "ReplyCheck.h"
#include "TeFrame.h"

namespace {

const SMEngineDesc kDesc = {
    "CSMYdt1363", "QXYD-base", "QXYD-base", "tbYdt1363", "tbYdt1363Dat", "", true, nullptr,
};

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A code of a frame (VER, CID1, CID2): exactly two hexadecimal characters.
bool IsCode(const std::string& s) {
    return s.size() == 2 && IsHexDigit(s[0]) && IsHexDigit(s[1]);
}

// An INFO text of a request: hexadecimal characters that fit the request buffer.
bool IsInfo(const std::string& s) {
    if ((int)s.size() > CSMYdt1363::kMaxInfo) return false;
    for (char c : s)
        if (!IsHexDigit(c)) return false;
    return true;
}

}  // namespace

ISMBase* NewYdt1363Handler(int type) { return NewEngine<CSMYdt1363>(type); }

CSMYdt1363::CSMYdt1363(int type)
    : CSMEngine(type, kDesc), m_sDinfo("I"), m_iDmax(200), m_iChk(0), m_iBak(0), m_sVer(),
      m_sCid1("60") {
    memset(m_data, 0, sizeof m_data);
    m_pData = m_data;
}

CSMYdt1363::~CSMYdt1363() {}

const SMEngineDesc& CSMYdt1363::Desc() const { return kDesc; }

int CSMYdt1363::BoundDmax(int dmax, const char* where) const {
    if (dmax >= kMinRead && dmax <= kReplySize - 1) return dmax;
    int bounded = dmax < kMinRead ? kMinRead : kReplySize - 1;
    printf("CSMYdt1363: [%s] dmax=%d outside %d..%d, %d used\n", where, dmax, kMinRead,
           kReplySize - 1, bounded);
    return bounded;
}

void CSMYdt1363::LoadEngine() {
    m_sDinfo = Comm("dinfo", "I");
    m_iDmax = BoundDmax(CommInt("dmax", 200), "comm");
    m_iChk = CommInt("chk", 0);
    m_iBak = CommInt("bak", 0);
    m_sVer = Comm("ver");
    m_sCid1 = Comm("cid1", "60");
    if (!m_sVer.empty() && !IsCode(m_sVer)) {
        printf("CSMYdt1363: [comm] ver=%.16s is not two hexadecimal characters, refused\n",
               m_sVer.c_str());
        m_sVer.clear();
    }
    if (!IsCode(m_sCid1))
        printf("CSMYdt1363: [comm] cid1=%.16s is not two hexadecimal characters: no request "
               "will be sent\n",
               m_sCid1.c_str());
}

// ---------------------------------------------------------------- frames and fields

int CSMYdt1363::YdCmd(unsigned char* buf, size_t size, const char* ver, unsigned char adr,
                      const char* cid1, const char* cid2, const char* info) {
    if (!buf || !ver || !cid1 || !cid2) return 0;
    if (strlen(ver) != 2 || strlen(cid1) != 2 || strlen(cid2) != 2) return 0;
    const size_t lenid = info ? strlen(info) : 0;
    if (lenid > 0xFFF || 18 + lenid + 1 > size) return 0;
    // No INFO gives LENGTH 0000; otherwise LCHKSUM over LENID's nibbles tops it.
    const unsigned length = lenid ? TE_GetChkLength((uint16_t)lenid) : 0;
    snprintf((char*)buf, size, "~%s%02X%s%s%04X", ver, adr, cid1, cid2, length);
    if (lenid) memcpy(buf + 13, info, lenid);
    uint32_t sum = 0;
    for (size_t i = 1; i < 13 + lenid; i++) sum += buf[i];
    snprintf((char*)buf + 13 + lenid, size - 13 - lenid, "%04X\r", (unsigned)(-sum & 0xFFFF));
    return (int)(18 + lenid);
}

int CSMYdt1363::YdDatSize(const char* format) {
    char c = format ? format[0] : '\0';
    if (c == 'F' || c == 'f') return 8;
    if (c == 'I' || c == 'i') return 4;
    return 2;
}

int CSMYdt1363::YdVal(const unsigned char* text, const char* format, int factor) {
    switch (YdDatSize(format)) {
    case 8: {
        float v = CBufHelper::HexValF(text) * (float)factor;
        if (!isfinite(v)) return 0;
        if (v >= 2147483647.0f) return INT32_MAX;
        if (v <= -2147483648.0f) return INT32_MIN;
        return (int)v;
    }
    case 4: return (int)CBufHelper::HexVal(text, 4);
    default: return (int)CBufHelper::HexVal(text, 2);
    }
}

int CSMYdt1363::YdDatNone(const unsigned char* text, int size) {
    if (!text || size < 2) return 0;
    for (int i = 0; i + 1 < size; i += 2)
        if (text[i] != '2' || text[i + 1] != '0') return 0;
    return 1;
}

// ---------------------------------------------------------------- exchanges

std::string CSMYdt1363::YdVer(ISerBase* ser, int addr) {
    uint8_t req[32];
    int n = YdCmd(req, sizeof req, "00", (unsigned char)addr, m_sCid1.c_str(), "4F", "");
    if (n <= 0 || !ser) return "";
    uint8_t reply[64];
    // The reply's VER is taken only from a frame that checks and says RTN 0.
    qx::YdReply r = qx::YdExchange(ser, req, n, reply, sizeof reply, m_iDelay, 3);
    if (!r.ok()) {
        if (m_iDebug) Log("version: %s\n", qx::ReplyStatusText(r.status));
        return "";
    }
    return std::string((const char*)reply + 1, 2);
}

int CSMYdt1363::DataGet(ISerBase* ser, int addr, int ext) {
    printf("CSMYdt1363::DataGet  pSer=%p adr=%d  ext=%d\n", (void*)ser, addr, ext);
    ClearVals();
    if (m_bLoaded != true || !ser || !qx::AddrFits(addr) || !ser->IsOpened()) return 0;
    if (!IsCode(m_sCid1)) {
        Log("[comm] cid1=%.16s refused: not two hexadecimal characters\n", m_sCid1.c_str());
        return 0;
    }

    std::string ver;
    if (m_iBak == 0) {
        ver = YdVer(ser, addr);
    } else {
        if (m_sVer.empty()) m_sVer = YdVer(ser, addr);
        ver = m_sVer;
    }
    if (ver.empty()) ver = "10";

    const std::string list = Comm("cid2");
    printf("scid2=%d %s\n", (int)list.size(), list.c_str());
    int count = 0;
    int decoded = 0;  // commands whose reply was decoded
    for (size_t i = 0; i < list.size(); i += 3) {
        std::string code = list.substr(i, 2);
        if (!IsCode(code)) {
            Log("[comm] cid2 refused at %d: '%.2s' is not two hexadecimal characters\n", (int)i,
                code.c_str());
            return 0;
        }
        if (++count > kMaxCommands) {
            Log("[comm] cid2 refused: more than %d commands\n", kMaxCommands);
            return 0;
        }
        // A command that fails yields no fields of its own; the next one is still asked, and
        // the fields of those that answered are kept. A request not written whole ends the poll.
        const Outcome o = PollCommand(ser, addr, ver, code, (int)i);
        if (o == Outcome::WriteFailed) return 0;
        if (o == Outcome::Decoded) decoded++;
    }

    if (m_iDebug) {
        printf("t=%d  iaddr=%d  ver=%s\n", m_iType, addr, ver.c_str());
        for (SimpleIni::KeyIterator it = m_ini.beginKey(SEC_VALS); it != m_ini.endKey(SEC_VALS); ++it)
            printf("%s=%s\n", it->first.c_str(), it->second.value.c_str());
        char brief[kMaxBrief];
        if (BriefText(brief, sizeof brief)) printf("brief=%s\n", brief);
    }
    return decoded > 0 ? 1 : 0;
}

CSMYdt1363::Outcome CSMYdt1363::PollCommand(ISerBase* ser, int addr, const std::string& ver,
                             const std::string& code, int index) {
    const std::string sec = code + "H";
    const std::string dinfo = m_ini.GetValue(sec, "dinfo", m_sDinfo);
    const int dflag = m_ini.GetValue<int>(sec, "dflag", 0);
    const int dfac = m_ini.GetValue<int>(sec, "dfac", 1);
    const std::string dcmd = m_ini.GetValue(sec, "dcmd", "");
    const int dmax = BoundDmax(m_ini.GetValue<int>(sec, "dmax", m_iDmax), sec.c_str());
    printf("sec=%s i=%d f=%d fac=%d\n", sec.c_str(), index, dflag, dfac);

    if (!IsInfo(dcmd)) {
        Log("[%s] dcmd refused: not a text of at most %d hexadecimal characters\n", sec.c_str(),
            kMaxInfo);
        return Outcome::Failed;
    }
    if (dflag < 0 || dflag > kReplySize / 2) {
        Log("[%s] dflag=%d refused\n", sec.c_str(), dflag);
        return Outcome::Failed;
    }
    int n = YdCmd(m_cmd, sizeof m_cmd, ver.c_str(), (unsigned char)addr, m_sCid1.c_str(),
                  code.c_str(), dcmd.c_str());
    if (n <= 0) return Outcome::Failed;
    if (m_iDebug) printf("icmd=%d %s", n, (const char*)m_cmd);

    uint8_t reply[kReplySize];
    reply[0] = '\0';
    qx::YdReply r = qx::YdExchange(ser, m_cmd, n, reply, dmax + 1, m_iDelay, 0);
    if (m_iDebug) printf("rcv=%d %s\n\n", r.received, (const char*)reply);
    if (!r.ok()) {
        if (r.status == qx::ReplyStatus::ReturnCode)
            Log("[%s] RTN %02X\n", sec.c_str(), r.rtn);
        else
            Log("[%s] %s\n", sec.c_str(), qx::ReplyStatusText(r.status));
        return r.status == qx::ReplyStatus::WriteFailed ? Outcome::WriteFailed : Outcome::Failed;
    }

    // The fields of the INFO, each taken only when it ends before the CHKSUM.
    const int end = 13 + r.infoLen;
    const int defWidth = YdDatSize(dinfo.c_str());
    int p = 13 + 2 * dflag;
    for (int fld = 1; p < end; fld++) {
        char key[16];
        snprintf(key, sizeof key, "%d", fld);
        const std::string own = m_ini.GetValue(sec, key, "");
        int w = defWidth;
        if (own != "-") {
            const std::string& format = own.empty() ? dinfo : own;
            w = YdDatSize(format.c_str());
            if (p + w > end) break;
            char name[32];
            snprintf(name, sizeof name, "%s%02d", sec.c_str(), fld);
            if (YdDatNone(reply + p, w)) {
                m_ini.SetValue(SEC_VALS, name, std::string());
            } else {
                const int v = YdVal(reply + p, format.c_str(), dfac);
                SetVal(name, v);
                snprintf(key, sizeof key, "%dbit", fld);
                const int bytes = m_ini.GetValue<int>(sec, key, 0);
                const int bits = bytes <= 0 ? 0 : bytes >= 4 ? 32 : 8 * bytes;
                for (int j = 0; j < bits; j++) {
                    char sub[40];
                    snprintf(sub, sizeof sub, "%s-%d", name, j);
                    SetVal(sub, (int)(((uint32_t)v >> j) & 1u));
                }
            }
        }
        p += w;
    }
    return Outcome::Decoded;
}

int CSMYdt1363::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) {
    if (!ser || !qx::AddrFits(addr) || !ser->IsOpened()) return 0;
    char key[16];
    snprintf(key, sizeof key, "Yk%02d", cmd);
    const std::string info = Comm(key);
    if (info.empty()) return 0;
    if (!IsInfo(info)) {
        Log("[comm] %s refused: not a text of at most %d hexadecimal characters\n", key, kMaxInfo);
        return 0;
    }
    if (!IsCode(m_sCid1)) {
        Log("[comm] cid1=%.16s refused: not two hexadecimal characters\n", m_sCid1.c_str());
        return 0;
    }
    if (m_sVer.empty()) m_sVer = YdVer(ser, addr);
    if (m_sVer.empty()) return 0;

    int n = YdCmd(m_cmd, sizeof m_cmd, m_sVer.c_str(), (unsigned char)addr,
                  m_sCid1.c_str(), "45", info.c_str());
    if (n <= 0) return 0;
    uint8_t reply[64];
    qx::YdReply r = qx::YdExchange(ser, m_cmd, n, reply, sizeof reply, m_iDelay, 0);
    if (!r.ok()) {
        if (r.status == qx::ReplyStatus::ReturnCode)
            Log("%s: RTN %02X\n", key, r.rtn);
        else
            Log("%s: %s\n", key, qx::ReplyStatusText(r.status));
        return 0;
    }
    return 1;
}
