#pragma once
#include "core/SMBase.h"

// Power SCADA unit. Type 0x104.
class CSMPowSCADA : public CSMBase {
public:
    CSMPowSCADA();
};
