#pragma once
#include "core/SMBase.h"

// QX3000 alarm output. Type 0xA00.
class CSMAlm3000 : public CSMBase {
public:
    CSMAlm3000();
};
