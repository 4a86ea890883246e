#include "io/SMAlmSMT120.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "QxPlatform.h"
#include "io/AlmMsg.h"

namespace {

const qx::sql::TypeRow kType = {2560, "", "232接口,支持短信 彩信 电话等"};

// Bytes of a reply read at once.
const int kReplyMax = 100;

// The seconds the unit stays busy after each action.
const int kHoldSms = 15;
const int kHoldCall = 45;
const int kHoldShort = 5;

// A text that goes between double quotes of a command: a quote, CR or LF in it would end the
// argument or the line and let the rest be read as a command of its own.
bool Quotable(const std::string& s) {
    return s.find_first_of("\"\r\n") == std::string::npos;
}

// A whole decimal value ("18", "-3"); false for anything else.
bool Decimal(const std::string& s, int32_t* v) {
    size_t i = s[0] == '-' ? 1 : 0;
    if (s.size() <= i || s.size() - i > 9 || s.find_first_not_of("0123456789", i) != std::string::npos)
        return false;
    long x = strtol(s.c_str(), nullptr, 10);
    *v = (int32_t)x;
    return true;
}

}  // namespace

CSMAlmSMT120::CSMAlmSMT120()
    : CSMBase(0xA08), m_iSignal(0), m_iValue2(0), m_iBuzzer(0), m_iInited(0), m_tLast(qx::Now()),
      m_iHold(20)
{
    m_iDataCnt = 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALM SMT-120");
}

void CSMAlmSMT120::RegDb(IDbBase* db, int force)
{
    qx::sql::RegDb(*this, db, force, kType, &qx::alm::kSignalDef, 1);
}

int CSMAlmSMT120::ChkDb(tagSMItem* item)
{
    return qx::alm::ChkDb(*this, item);
}

int CSMAlmSMT120::DataVal(int fld)
{
    return fld == 1 ? m_iSignal : -1;
}

int CSMAlmSMT120::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return qx::alm::UpdAlmGsm(*this, m_iSignal, flags, alarmBits, snapId, sid, hist);
}

std::vector<std::string> CSMAlmSMT120::GetVals(const uint8_t* p, int n)
{
    std::vector<std::string> vals;
    std::string cur;
    for (int i = 0; p && i < n; i++) {
        if (i + 2 < n && p[i] == 0x0D && p[i + 1] == 0x0D && p[i + 2] == 0x0A) {
            if (!cur.empty())
                vals.push_back(cur);
            cur.clear();
            i += 2;
            continue;
        }
        cur.push_back((char)p[i]);
    }
    return vals;
}

int CSMAlmSMT120::Command(ISerBase* ser, const std::string& line, int hold,
                          std::vector<std::string>* vals, bool wait)
{
    if (vals)
        vals->clear();
    if (!ser)
        return 0;
    if (hold > 0) {
        m_tLast = qx::Now();
        m_iHold = hold;
    }
    std::string text = line + "\r\n";
    int n = ser->Write(reinterpret_cast<const unsigned char*>(text.data()), (int)text.size());
    if (n < (int)text.size())
        return 0;
    if (wait)
        qx::SleepMs(100);
    uint8_t reply[kReplyMax];
    int got = ser->Read(reply, kReplyMax, 0);
    if (got <= 0)
        return 0;
    if (got > kReplyMax)
        got = kReplyMax;
    std::vector<std::string> v = GetVals(reply, got);
    int ok = !v.empty() && v.back() == "OK" ? 1 : 0;
    if (vals)
        *vals = v;
    return ok;
}

int CSMAlmSMT120::Csq(ISerBase* ser)
{
    std::vector<std::string> v;
    if (!Command(ser, "csq()", 0, &v))
        return 0;
    Decimal(v[0], &m_iSignal);
    return 1;
}

int CSMAlmSMT120::GetBuzzer(ISerBase* ser)
{
    std::vector<std::string> v;
    if (!Command(ser, "get_buzzer()", 0, &v))
        return 0;
    Decimal(v[0], &m_iBuzzer);
    return 1;
}

int CSMAlmSMT120::SetBuzzer(ISerBase* ser, int on)
{
    printf("AlmSMT120 set_buzzer:%d\r\n", on);
    char line[24];
    snprintf(line, sizeof line, "set_buzzer(%d)", on);
    if (!Command(ser, line, kHoldShort, nullptr))
        return 0;
    printf("AlmSMT120 set_buzzer ok\r");
    return 1;
}

int CSMAlmSMT120::Call(ISerBase* ser, const char* function, int hold)
{
    printf("AlmSMT120 %s\r", function);
    if (!Quotable(m_strPhone) || !Quotable(m_strText)) {
        printf("AlmSMT120 %s: quote or line end in the number or text, not sent\r\n", function);
        return 0;
    }
    std::string line = std::string(function) + "(\"" + m_strPhone + "\",\"" + m_strText + "\")";
    if (!Command(ser, line, hold, nullptr))
        return 0;
    printf("AlmSMT120 %s ok\r", function);
    return 1;
}

int CSMAlmSMT120::TtsPlay(ISerBase* ser, int mode, const char* buf, int len)
{
    if (!buf || len < 0)
        return 0;
    // The caller's buffer is read up to len bytes and never written.
    std::string text(buf, strnlen(buf, (size_t)len));
    if (!Quotable(text))
        return 0;
    char tail[24];
    snprintf(tail, sizeof tail, "\", %d)", mode);
    return Command(ser, "tts_play(\"" + text + tail, kHoldShort, nullptr);
}

int CSMAlmSMT120::DataGet(ISerBase* ser, int addr, int wait)
{
    if (!ser || !ser->IsOpened())
        return 0;
    int csq = Csq(ser);
    int buzzer = GetBuzzer(ser);
    printf("[P%02d] SMAlmSMT-120: s=%d \r\n", m_pItem ? m_pItem->Addr : addr, m_iSignal);
    return csq || buzzer ? 1 : 0;
}

int CSMAlmSMT120::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    const char* text = static_cast<const char*>(buf);
    qx::alm::Message msg{m_strPhone, m_strText, m_strExt};
    int stored = msg.Store(cmd, text, qx::alm::kAsGiven);
    if (stored >= 0)
        return stored;

    if (!ser || !ser->IsOpened())
        return 0;
    if (!m_iInited) {
        Command(ser, "echo(0)", 0, nullptr);
        Command(ser, "echo(0)", 0, nullptr);
        m_iInited = 1;
    }
    time_t now = qx::Now();
    if (cmd == 36)
        ser->SetTimeout(10, 1000);

    switch (cmd) {
    case 10:
    case 11:
        return SetBuzzer(ser, cmd - 10);
    case 20:
        return TtsPlay(ser, 2, text, len);
    case 30:
    case 36:
    case 40:
    case 50:
        return now - m_tLast >= m_iHold ? 1 : 0;
    case 35:
        if (!text)
            return 0;
        m_strText = text;
        return Call(ser, "send_sms", kHoldSms);
    case 34:
        return Call(ser, "send_sms", kHoldSms);
    case 53:
        return Call(ser, m_pItem && m_pItem->Ext1 ? "line_call" : "rf_call", kHoldCall);
    case 59:
        if (!Command(ser, "device_reset()", kHoldShort, nullptr, false))
            return 0;
        printf("AlmSMT120 reset\r");
        return 1;
    default:
        return 0;
    }
}
