#pragma once
// Alarm unit 3000 (type 0xA00, "QX3000"): the remote alarm module on a serial channel, sending
// alarm short messages, dialling a number and speaking a text, speaking locally and switching
// a relay. The module's link (io/card.h) reaches the channel through the exported transport
// pointers, which the constructor binds to the channel of the point served last (DoItem). A
// poll makes no traffic.
#include <stdint.h>

#include <string>

#include "SMBase.h"

class CSMAlm3000 : public CSMBase {
public:
    CSMAlm3000();

    using CSMBase::DoFunc;
    int GetMask() override { return 31; }
    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DoItem(tagSMItem* item, int n) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;

    // The channel the transport pointers use: the Ser of the item given to the last DoItem.
    static ISerBase* _AlarmHandler;

    int32_t m_iSignal;
    int32_t m_iValue2;
    std::string m_strPhone;
    std::string m_strText;
    std::string m_strExt;
};
