#pragma once
// Server monitor, type 0xE10: a server's SNMP agent read once per poll, without a definition
// file. The agent is the point's address text, split as the generic SNMP engine splits it
// ("snmp10.0.0.5:161:public": four characters skipped, then host, port, community).
//
// What a poll reads: sysName, hrSystemUptime, hrSystemProcesses, six ip counters (GETs), and
// the walks of hrProcessorTable (loads) and hrStorageTable (description, allocation units,
// size, used, allocation failures). Table rows take slots in the order their indexes arrive,
// whatever the agent numbers them (agents commonly number processors from 196608 and storage
// from 1 or 31 up): at most 64 processors and 32 storage areas, further rows are ignored.
// Every poll starts from empty values, so nothing of an earlier server remains.
//
// tbSvrDat, one row per value (P processors, S storage areas):
//   1 name (text)  2 uptime (text)  3 uptime in seconds  4 processes  5..10 ip counters
//   11 P  12 S  13..12+P loads  then per storage area five fields: description (text),
//   allocation units, size, used, allocation failures
#include <stdint.h>

#include "core/SMBase.h"

class CSMSnmpSvr : public CSMBase {
public:
    static constexpr int kMaxCpu = 64;
    static constexpr int kMaxStor = 32;
    static constexpr int kMaxRepetitions = 10;
    static constexpr int kMaxWalkRequests = 1000;

    CSMSnmpSvr();
    ~CSMSnmpSvr() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    // 1 when the agent answered, 0 without a current item, when the session cannot be
    // opened or when the agent does not answer (then after one time-out: nothing further is
    // asked).
    int DataGet(ISerBase* ser, int addr, int ext) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    // The last poll's results.
    char m_sysName[32];
    char m_upTime[32];
    int32_t m_iUpTime;  // seconds
    int32_t m_iProcs;
    int32_t m_iIpStat[6];
    int32_t m_iCpuCnt;
    int32_t m_iCpuLoad[kMaxCpu];
    int32_t m_iStorCnt;
    char m_storDescr[kMaxStor][64];
    int32_t m_stor[kMaxStor][4];  // allocation units, size, used, allocation failures

private:
    void Clear();
    // The slot of a table index: the one it got earlier in this walk, else the next free
    // one; -1 when all are taken.
    static int Slot(uint32_t* indexes, int32_t* used, int max, uint32_t index);

    uint32_t m_cpuIndex[kMaxCpu];
    uint32_t m_storIndex[kMaxStor];
};
