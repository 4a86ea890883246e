#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// In-row air-conditioner (type 0x702): inlet, outlet and set temperature (Modbus function 4,
// registers 21..48), running state and fault flag (function 3, registers 2 and 3), and one
// control, a write of coil 29.
class CSMAircLcpDx : public CSMAircShape {
public:
    CSMAircLcpDx();
    ~CSMAircLcpDx() override;

    using CSMBase::DoFunc;
    // wait: the wait before each reply when above 100 ms, else 100 ms.
    int DataGet(ISerBase* channel, int address, int wait) override;
    // Command 5 only: function 5, coil 29, value field 0x0001 (the buffer is not read). 1
    // when the unit echoed it.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

protected:
    void BriefText(char* out, size_t size, int state) override;
};
