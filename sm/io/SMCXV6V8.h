#pragma once
#include "core/SMBase.h"

// CX V6/V8 door controller. Type 0xD04.
class CSMCXV6V8 : public CSMBase {
public:
    CSMCXV6V8();
};
