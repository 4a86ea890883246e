#pragma once
#include "core/SMBase.h"

// RS-485 card reader. Type 0xD05.
class CSMRS485reader : public CSMBase {
public:
    CSMRS485reader();
};
