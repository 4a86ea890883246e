#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// K200 precision air-conditioner (type 0x812): one Modbus function-3 read of registers 0..7:
// set and return-air temperature and humidity, unit status, the running states of
// dehumidifier, humidifier, cooling, heating and fan, and the fault flags of four probes. A
// probe fault is stored as state 2. No controls.
class CSMCyberK200 : public CSMAircShape {
public:
    CSMCyberK200();
    ~CSMCyberK200() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // The unit takes no command: 0, nothing sent.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

protected:
    void BriefText(char* out, size_t size, int state) override;
    int StoredState(int state) override;
};
