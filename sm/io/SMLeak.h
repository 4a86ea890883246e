#pragma once
#include "core/SMBase.h"

// Water leak sensor: every leak code shares this handler. Type 0x600.
class CSMLeak : public CSMBase {
public:
    CSMLeak();
};
