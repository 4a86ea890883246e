#pragma once
// Text-command alarm unit SMT-120 (type 0xA08, "QX-ALM SMT-120"): driven by one-line function
// calls ("send_sms(\"...\",\"...\")\r\n", "csq()\r\n") answered by values that end CR CR LF,
// the last one "OK". Its actions take time: the handler remembers when it last started one and
// how long the unit stays busy, and answers the host's readiness probes from that. The database
// side is the GSM modem's (io/AlmMsg.h).
#include <stdint.h>
#include <time.h>

#include <string>
#include <vector>

#include "SMBase.h"

class CSMAlmSMT120 : public CSMBase {
public:
    CSMAlmSMT120();

    using CSMBase::DoFunc;
    int GetMask() override { return 31; }
    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    // The values of a reply: each CR CR LF ends the current value, which is kept when not
    // empty; bytes after the last CR CR LF are dropped.
    static std::vector<std::string> GetVals(const uint8_t* p, int n);

    // One command line (without its CR LF): hold seconds are set before the write (0: none);
    // 1 when the reply's last value is "OK". vals (may be null) gets the reply's values.
    int Command(ISerBase* ser, const std::string& line, int hold, std::vector<std::string>* vals,
                bool wait = true);
    int Csq(ISerBase* ser);
    int GetBuzzer(ISerBase* ser);
    int SetBuzzer(ISerBase* ser, int on);
    // send_sms, rf_call, line_call with the stored number and text.
    int Call(ISerBase* ser, const char* function, int hold);
    // Speaks at most len bytes of buf (up to a NUL) with the mode.
    int TtsPlay(ISerBase* ser, int mode, const char* buf, int len);

    int32_t m_iSignal;
    int32_t m_iValue2;
    int32_t m_iBuzzer;
    std::string m_strPhone;
    std::string m_strText;
    std::string m_strExt;
    int32_t m_iInited;
    time_t m_tLast;
    int32_t m_iHold;
};
