#pragma once
// GSM modem alarm (type 0xA01, "QX-ALM PT"): sends the host's alarm texts as short messages in
// PDU mode. The host stores the number and the text (commands 31, 32) and orders the send (34);
// the handler brings the modem up, finds the message centre and hands the message to the PDU
// codec, which sends it as one message or in parts. A poll makes no traffic: it reports the
// signal value read at the last initialisation.
#include <stdint.h>

#include <string>

#include "SMBase.h"
#include "io/AlmMsg.h"

class CSMAlmGsm : public CSMBase {
public:
    CSMAlmGsm();

    using CSMBase::DoFunc;
    int GetMask() override { return 12; }
    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    // The modem dialogues; each answers 0 on the first missing or wrong reply.
    int GsmInit(ISerBase* ser);   // 1 when the modem is ready to send
    int GsmTest(ISerBase* ser);   // one run of the readiness test: 1 passed
    int GsmSmsc(ISerBase* ser);   // the message centre: the length of m_strSmsc
    int GsmSms(ISerBase* ser);    // sends the stored message: 1 sent
    // Brings the modem up and asks its message centre where either is missing: true when both
    // are there.
    bool GsmReady(ISerBase* ser);

    int32_t m_iSignal;
    uint8_t m_bGsmInited;
    std::string m_strSmsc;
    std::string m_strPhone;
    std::string m_strText;
    std::string m_strExt;
};
