#pragma once
#include "core/SMBase.h"

// SMT-120 alarm output. Type 0xA08.
class CSMAlmSMT120 : public CSMBase {
public:
    CSMAlmSMT120();
};
