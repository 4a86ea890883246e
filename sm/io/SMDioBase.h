#pragma once
#include "core/SMBase.h"

// Base of the DIO module handlers.
class CSMDioBase : public CSMBase {
public:
    explicit CSMDioBase(int type);
};
