#pragma once
#include "core/SMBase.h"

// Network reachability check (ping). Type 0xD07.
class CSMNetPing : public CSMBase {
public:
    CSMNetPing();
};
