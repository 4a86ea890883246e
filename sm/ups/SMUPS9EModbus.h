#pragma once
#include "core/SMBase.h"

// 9E UPS over Modbus RTU and its block protocol. Type 0x312.
class CSMUPS9EModbus : public CSMBase {
public:
    CSMUPS9EModbus();
};
