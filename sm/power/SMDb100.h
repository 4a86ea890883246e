#pragma once
#include "core/SMBase.h"

// DB100 battery monitor. Type 0x400.
class CSMDb100 : public CSMBase {
public:
    CSMDb100();
};
