#pragma once
#include "core/SMBase.h"

// 3GE network camera. Type 0xC01.
class SMCamera3ge : public CSMBase {
public:
    SMCamera3ge();
};
