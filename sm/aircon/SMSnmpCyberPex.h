#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// PeX precision air-conditioner over SNMP. Type 0x831. Each poll reads 26 integer objects of
// the unit's agent, named by the point's address text (the channel, the address and the wait
// are not used): temperatures and humidities with their set points and limits, states and
// requests. The values stay as the agent gives them; only an update in state 2 (no answer)
// empties them.
class CSMSnmpCyberPex : public CSMAircShape {
public:
    CSMSnmpCyberPex();
    ~CSMSnmpCyberPex() override;

    int DataGet(ISerBase* channel, int address, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;

protected:
    void BriefText(char* out, size_t size, int state) override;
};
