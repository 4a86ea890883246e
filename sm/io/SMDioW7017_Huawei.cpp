#include "io/SMDioW7017_Huawei.h"

#include <stdio.h>

#include "core/SMSkeleton.h"
#include "io/Thermistor.h"

CSMDioW7017_Huawei::CSMDioW7017_Huawei() : CSMDioW70XX(0x90B, "W7017_Huawei") {}

// Registers 0-7 (function 3): w0 and w1 the voltages (mV) across the divider and the
// thermistor, w5 checked against Ext1 (default 40, at or above is 1), w6 against Ext2
// (default 11000, below is 1).
int CSMDioW7017_Huawei::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    uint8_t rx[64];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 3, 0, 8, rx, sizeof(rx), 0);
    if (!r.ok()) return 0;
    uint16_t w[8];
    for (int i = 0; i < 8; i++) w[i] = r.Word(i);
    int t1 = m_pItem && m_pItem->Ext1 > 0 ? m_pItem->Ext1 : 40;
    int t2 = m_pItem && m_pItem->Ext2 > 0 ? m_pItem->Ext2 : 11000;
    double v0 = w[0] * 0.001, v1 = w[1] * 0.001;
    // Either voltage 0: no temperature (0).
    m_wData[1] = w[0] && w[1] ? qx::thermistor::Centi(qx::thermistor::Celsius(m_k[0] * v1 / v0)) : 0;
    m_wData[2] = 0;
    m_wData[3] = w[2];
    m_wData[4] = w[3];
    m_wData[5] = w[4];
    m_wData[6] = w[5] >= t1;
    m_wData[7] = w[6] < t2;
    m_wData[8] = w[7];
    for (int i = 9; i <= 16; i++) m_wData[i] = 0;
    return 1;
}

// The module takes no commands: nothing is sent.
int CSMDioW7017_Huawei::DoFunc(ISerBase*, int, int, void*, int) { return 0; }
