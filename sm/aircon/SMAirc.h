#pragma once
#include "core/SMBase.h"

// Comfort air-conditioner: the default handler of its category. Type 0x700.
class CSMAirc : public CSMBase {
public:
    CSMAirc();
};
