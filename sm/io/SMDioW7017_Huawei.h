#pragma once
#include "io/SMDioW70XX.h"

// W7017 analog input module over Modbus RTU (type 0x90B): eight registers become a
// thermistor temperature (D01, hundredths of a degree), raw values and two threshold points.
// Definition rows and update as the W70XX modules.
class CSMDioW7017_Huawei : public CSMDioW70XX {
public:
    CSMDioW7017_Huawei();

    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    // The module's constants: the voltage ratio's factor, two unused, the thermistor's B value,
    // two unused.
    double m_k[5] = {100000.0, -0.008120988, 3435.0, 6.979971e-09, -6.873625e-07};
};
