#include "io/SMAlmGsm.h"

#include <stdio.h>
#include <string.h>

#include "QxPlatform.h"
#include "io/AtModem.h"
#include "io/SmsPdu.h"

namespace {

// Operators whose name in the AT+COPS? reply says the SIM is registered.
const char* const kOperators[] = {"China Telecom", "China Unicom", "China Mobile"};

// The centre number as the modem handlers keep it: its last 13 characters.
const size_t kSmscKeep = 13;

}  // namespace

CSMAlmGsm::CSMAlmGsm() : CSMBase(0xA01), m_iSignal(0), m_bGsmInited(0)
{
    m_iDataCnt = 1;
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALM PT");
}

void CSMAlmGsm::RegDb(IDbBase* db, int force)
{
    qx::sql::RegDb(*this, db, force, qx::alm::kModemType, &qx::alm::kSignalDef, 1);
}

int CSMAlmGsm::ChkDb(tagSMItem* item)
{
    return qx::alm::ChkDb(*this, item);
}

int CSMAlmGsm::DataGet(ISerBase* ser, int addr, int wait)
{
    return qx::alm::QuietPoll(*this, ser, addr, "SMAlmGsm", m_iSignal);
}

int CSMAlmGsm::DataVal(int fld)
{
    return fld == 1 ? m_iSignal : -1;
}

int CSMAlmGsm::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    return qx::alm::UpdAlmGsm(*this, m_iSignal, flags, alarmBits, snapId, sid, hist);
}

int CSMAlmGsm::GsmInit(ISerBase* ser)
{
    m_bGsmInited = 0;
    if (!qx::at::Expect(ser, "ATZ\r", 100, "OK") || !qx::at::Expect(ser, "ATE0\r", 100, "OK"))
        return 0;
    if (m_pItem && m_pItem->Variant == 0) {
        if (!qx::at::Expect(ser, "AT+ESIMS?\r", 100, "ESIMS: 1"))
            return 0;
        qx::at::Reply r;
        if (qx::at::Exchange(ser, "AT+COPS?\r", 100, r) <= 0)
            return 0;
        bool known = false;
        for (const char* op : kOperators)
            known = known || r.Has(op);
        if (!known)
            return 0;
    }
    // "+CSQ: <rssi>,<ber>": a signal below 6 cannot carry a message.
    qx::at::Reply r;
    int signal = 0;
    if (qx::at::Exchange(ser, "AT+CSQ\r", 100, r) <= 0 || !qx::at::CsqValue(r, &signal) ||
        signal < 6)
        return 0;
    m_iSignal = signal;
    if (!qx::at::Expect(ser, "AT+CMGF=0\r", 200, nullptr) ||
        !qx::at::Expect(ser, "AT+CMEE=2\r", 200, nullptr))
        return 0;
    m_bGsmInited = 1;
    return 1;
}

int CSMAlmGsm::GsmTest(ISerBase* ser)
{
    if (!ser)
        return 0;
    int written = ser->Write(reinterpret_cast<const unsigned char*>("AT\r"), 3);
    printf("write AT:%d\r\n", written);
    if (written != 3)
        return 0;
    qx::SleepMs(100);
    qx::at::Reply r;
    if (r.Read(ser, 16) <= 0 || !r.Has("OK"))
        return 0;

    // A signal of 9 or less fails the test; so does a reply that names no number.
    if (qx::at::Exchange(ser, "AT+CSQ\r", 100, r) <= 0)
        return 0;
    if (r.Has(": ")) {
        int signal = 0;
        if (!qx::at::NumberAfter(r, ": ", &signal) || signal <= 9)
            return 0;
    }

    if (qx::at::Exchange(ser, "AT+CPIN?\r", 100, r) <= 0)
        return 0;
    if (!r.Has("READY")) {
        // The SIM is not ready: restart the modem and initialise it again before a send.
        qx::at::Send(ser, "AT+CFUN=1,1\r");
        qx::SleepMs(500);
        m_bGsmInited = 0;
        return 0;
    }

    if (qx::at::Exchange(ser, "AT+COPS?\r", 100, r) <= 0)
        return 0;
    return r.Has(",\"") ? 1 : 0;
}

int CSMAlmGsm::GsmSmsc(ISerBase* ser)
{
    m_strSmsc.clear();
    qx::at::Reply r;
    if (qx::at::Exchange(ser, "AT+CSCS=\"GSM\";+CSCA?\r\n", 100, r) <= 0)
        return 0;
    int ok = r.Find("OK");
    if (ok < 0) {
        printf("获取当前的服务中心地址失败!\r");
        return 0;
    }
    // +CSCA: "+8613800100500",145<CR><LF><CR><LF>OK: the number between the quotes, before the
    // line ends in front of OK.
    // The answer's "+CSCA:", not an echo of the command.
    int csca = r.Find("+CSCA:");
    if (csca < 0)
        return 0;
    int from = csca + 7;
    int end = ok - 4;
    if (from >= end)
        return 0;
    std::string field(r.Text() + from, (size_t)(end - from));
    size_t open = field.find('"');
    size_t close = open == std::string::npos ? open : field.find('"', open + 1);
    if (close == std::string::npos)
        return 0;
    std::string number = field.substr(open + 1, close - open - 1);
    if (number.size() > kSmscKeep)
        number = number.substr(number.size() - kSmscKeep);
    if (!number.empty() && number[0] == '+')
        number.erase(0, 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    m_strSmsc = qx::at::With86(number.c_str());
    return (int)m_strSmsc.size();
}

bool CSMAlmGsm::GsmReady(ISerBase* ser)
{
    if (m_bGsmInited != 1)
        GsmInit(ser);
    if (m_bGsmInited != 1)
        return false;
    if (m_strSmsc.empty())
        GsmSmsc(ser);
    return !m_strSmsc.empty();
}

int CSMAlmGsm::GsmSms(ISerBase* ser)
{
    printf("[CSMAlmGsm::GsmSms] m_bGsmInited = %d\n", m_bGsmInited);
    if (!GsmReady(ser) || m_strPhone.empty() || m_strText.empty())
        return 0;
    printf("[CSMAlmGsm::GsmSms] Check Init OK!");

    SM_PARAM param;
    memset(&param, 0, sizeof(param));
    // A number or text that does not fit the record is refused, never cut.
    if (m_strSmsc.size() >= sizeof(param.Smsc) || m_strPhone.size() >= sizeof(param.Phone) ||
        m_strText.size() >= sizeof(param.Text)) {
        printf("[CSMAlmGsm::GsmSms] number or text too long\n");
        return 0;
    }
    memcpy(param.Smsc, m_strSmsc.c_str(), m_strSmsc.size());
    memcpy(param.Phone, m_strPhone.c_str(), m_strPhone.size());
    memcpy(param.Text, m_strText.c_str(), m_strText.size());
    param.Pid = 0;
    param.Dcs = 8;
    return gsmSendSms(ser, &param) == 1 ? 1 : 0;
}

int CSMAlmGsm::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    const char* text = static_cast<const char*>(buf);
    printf("[CSMAlmGsm::DoFunc] addr=%d, func=%d, buf=%s\n", addr, cmd, qx::alm::Show(text));
    qx::alm::Message msg{m_strPhone, m_strText, m_strExt};
    if (cmd == 30)
        return text ? GsmInit(ser) : 1;
    if (cmd >= 31 && cmd <= 33)
        return msg.Store(cmd, text, qx::alm::k86);

    if (!ser || !ser->IsOpened())
        return 0;
    int failed = 0;
    while (failed < 5 && !GsmTest(ser)) {
        failed++;
        qx::SleepMs(200);
    }
    printf("GsmTest try: %d \n", failed);
    if (failed >= 5)
        return 0;

    switch (cmd) {
    case 0:
        return 1;
    case 1:
        return GsmInit(ser);
    case 2:
        return GsmSmsc(ser);
    case 3:
        if (!GsmReady(ser))
            return 0;
        // A number that is not one is refused: nothing goes to it, nor to the one before.
        if (!msg.SetNumberText(text, qx::alm::k86))
            return 0;
        return GsmSms(ser);
    case 34:
        return GsmSms(ser);
    case 35:
        if (!text)
            return 0;
        m_strText = text;
        return GsmSms(ser);
    default:
        return 0;
    }
}
