#include "io/SMAlm3000.h"

#include <stdio.h>

#include "io/AlmMsg.h"
#include "io/card.h"

ISerBase* CSMAlm3000::_AlarmHandler = nullptr;

namespace {

const qx::sql::TypeRow kType = {2560, "", "232接口,支持短信 彩信 电话等"};

// The port functions behind the module link's transport pointers.
uint8_t OpenPort(uint8_t, uint32_t) {
    if (CSMAlm3000::_AlarmHandler) CSMAlm3000::_AlarmHandler->Open(nullptr);
    return 0;
}

int SendData(const uint8_t* buf, uint32_t len) {
    ISerBase* ser = CSMAlm3000::_AlarmHandler;
    if (!ser) return 1;
    int n = ser->Write(buf, (int)len);
    if (n < 0) {
        // The port went away: open it once more and write again.
        ser->Close();
        ser->Open(nullptr);
        n = ser->Write(buf, (int)len);
    }
    return n < 0 || (uint32_t)n != len ? 1 : 0;
}

int RecvData(uint8_t* buf, uint32_t len, uint32_t* got) {
    ISerBase* ser = CSMAlm3000::_AlarmHandler;
    int n = ser ? ser->Read(buf, (int)len, 0) : -1;
    if (got) *got = (uint32_t)n;
    return 0;
}

uint8_t ClosePort(uint8_t) {
    if (CSMAlm3000::_AlarmHandler) CSMAlm3000::_AlarmHandler->Close();
    return 0;
}

uint8_t SetTimeout(uint32_t perByte, uint32_t total) {
    if (CSMAlm3000::_AlarmHandler) CSMAlm3000::_AlarmHandler->SetTimeout((int)perByte, (int)total);
    return 0;
}

uint8_t PurgePort(uint8_t) {
    if (CSMAlm3000::_AlarmHandler) CSMAlm3000::_AlarmHandler->Purge();
    return 0;
}

int Ok(int rc) { return rc == 0 ? 1 : 0; }

}  // namespace

CSMAlm3000::CSMAlm3000() : CSMBase(0xA00), m_iSignal(0), m_iValue2(0)
{
    m_iDataCnt = 2;
    snprintf(m_note, sizeof(m_note), "%s", "QX3000");
    open_port = OpenPort;
    send_data = SendData;
    recv_data = RecvData;
    close_port = ClosePort;
    set_timeout = SetTimeout;
    purge_port = PurgePort;
}

void CSMAlm3000::RegDb(IDbBase* db, int force)
{
    qx::sql::RegDb(*this, db, force, kType, &qx::alm::kSignalDef, 1);
}

int CSMAlm3000::ChkDb(tagSMItem* item)
{
    return qx::alm::ChkDb(*this, item, false);
}

int CSMAlm3000::DoItem(tagSMItem* item, int n)
{
    if (item) _AlarmHandler = item->Ser;
    return CSMBase::DoItem(item, n);
}

int CSMAlm3000::DataGet(ISerBase* ser, int addr, int wait)
{
    return qx::alm::QuietPoll(*this, ser, addr, "SMAlm3000", m_iSignal);
}

int CSMAlm3000::DataVal(int fld)
{
    return fld == 1 ? m_iSignal : fld == 2 ? m_iValue2 : -1;
}

int CSMAlm3000::DataUpd(int, int*, int*, int, IDbBase*)
{
    return 1;
}

int CSMAlm3000::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    const char* text = static_cast<const char*>(buf);
    qx::alm::Message msg{m_strPhone, m_strText, m_strExt};
    int stored = msg.Store(cmd, text, qx::alm::k86);
    if (stored >= 0)
        return stored;

    if (!ser || !ser->IsOpened())
        return 0;
    if (cmd == 36) {
        ser->SetTimeout(10, 1000);
        return 0;
    }
    // The module link has no channel before the first DoItem with an item.
    if (!_AlarmHandler)
        return 0;
    uint8_t status[4];
    switch (cmd) {
    case 10:
    case 11:
        if (!m_pItem)
            return 0;
        return Ok(rmt_ctrl_relay(m_pItem->Ext1 ? 1 : 0, cmd == 11 ? 1 : 0));
    case 20:
        return text ? Ok(rmt_tts_local(text)) : 0;
    case 30:
        if (text)
            return Ok(rmt_reset_gsm());
        return rmt_get_status(status) == 0 && status[1] <= 14 ? 1 : 0;
    case 34:
        return Ok(rmt_send_sms(m_strPhone.c_str(), m_strText.c_str(), status));
    case 35:
        if (!text)
            return 0;
        m_strText = text;
        return Ok(rmt_send_sms(m_strPhone.c_str(), m_strText.c_str(), status));
    case 50:
        if (text)
            return Ok(rmt_reset_pstn());
        if (rmt_get_status(status) != 0)
            return 0;
        return status[2] == 0 ? 1 : status[2] == 1 ? 2 : 0;
    case 53:
        return Ok(rmt_pstn_dial(m_strPhone.c_str(), m_strText.c_str()));
    default:
        return 0;
    }
}
