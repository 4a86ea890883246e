#pragma once
#include "core/SMBase.h"

// Six-relay alarm output. Type 0xA02.
class CSMAlmDo : public CSMBase {
public:
    CSMAlmDo();
};
