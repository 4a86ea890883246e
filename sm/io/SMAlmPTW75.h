#pragma once
#include "core/SMBase.h"

// PTW75 alarm output. Type 0xA09.
class CSMAlmPTW75 : public CSMBase {
public:
    CSMAlmPTW75();
};
