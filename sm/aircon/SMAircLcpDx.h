#pragma once
#include "core/SMBase.h"

// LCP DX cooling unit. Type 0x702.
class CSMAircLcpDx : public CSMBase {
public:
    CSMAircLcpDx();
};
