#pragma once
#include <stddef.h>

#include "aircon/AircShape.h"

// Precision air-conditioner run by a PLC: the default handler of its category (type 0x804
// for every code of the category without a driver of its own). Modbus function 3: started
// flag, fault flag and two temperature/humidity pairs. No controls.
class CSMPlcQSM50 : public CSMAircShape {
public:
    CSMPlcQSM50();
    ~CSMPlcQSM50() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // The unit takes no command: 0, nothing sent.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

protected:
    void BriefText(char* out, size_t size, int state) override;
};
