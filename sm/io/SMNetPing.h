#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// Network reachability. Type 0xD07. Talks to no channel: a poll runs the platform's `ping`
// (one echo request) or, with Variant 1, the `nmap` port scan of the point's HostText
// ("host" or "host:port") and looks for the marker text in what the program prints. The one
// value, online (1) or offline (0), goes into tbPingNet.
class CSMNetPing : public CSMBase {
public:
    CSMNetPing();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataVal(int fld) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    // The target of a HostText: the host before the first ':' (the whole text without one)
    // and the decimal port after it (0 without ':', -1 when it is not a number in 1..65535).
    // False when the host is empty, longer than 31 characters or begins with '-' (it would be
    // read as an option): nothing is then run.
    static bool Target(const char* hostText, size_t size, char* host, size_t hostSize,
                       int* port);

    int32_t m_iPingState = 0;  // value block: 1 online, 0 offline
};
