#pragma once
#include "core/SMBase.h"

// DGUS display panel. Type 0xB00.
class CSMDGusMonitor : public CSMBase {
public:
    CSMDGusMonitor();
};
