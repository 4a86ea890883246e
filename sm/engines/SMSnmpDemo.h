#pragma once
// SNMP demonstration, type 0xF00: shows that an agent answers. Each poll prints the agent's
// sysDescr and sysName and every object of its storage table; nothing is stored.
//
// The agent is the host in the point's address text from its fifth character up to the
// first ':' ("snmp10.0.0.5" or "snmp10.0.0.5:anything"), at most 15 characters; port,
// community and version are the SNMP library's defaults (161, "public", version 1).
#include "core/SMBase.h"

class CSMSnmpDemo : public CSMBase {
public:
    static constexpr int kMaxHost = 15;
    static constexpr int kMaxRepetitions = 10;
    static constexpr int kMaxWalkRequests = 1000;

    CSMSnmpDemo();
    ~CSMSnmpDemo() override;

    // 1 when the agent answered; 0 without a current item, for an address text without a
    // host that fits, when the session cannot be opened or the agent does not answer.
    int DataGet(ISerBase* ser, int addr, int ext) override;

    // The host of an address text into out (kMaxHost + 1 bytes); false when there is none
    // or it is longer than kMaxHost.
    static bool HostOf(const char* addrText, char* out);
};
