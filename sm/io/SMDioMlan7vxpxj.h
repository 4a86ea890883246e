#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Distribution board on RS-485 (Modbus RTU): 24 modules of three breakers, one holding
// register per breaker from 1964 (0 not connected, 1 open, 2 closed), kept in tbMlan7vxpxj.
// Type 0x909.
class CSMDioMlan7vxpxj : public CSMBase {
public:
    CSMDioMlan7vxpxj();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int i) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    static const int kBreakers = 72;
    uint16_t m_wData[kBreakers + 1];  // word 0 Dio (0), words 1..72 D01..D72
};
