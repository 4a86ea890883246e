#pragma once
#include "core/SMBase.h"

// GSM modem alarm output (text messages). Type 0xA01.
class CSMAlmGsm : public CSMBase {
public:
    CSMAlmGsm();
};
