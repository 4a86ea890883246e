#pragma once
#include "core/SMBase.h"

// DAS comfort air-conditioner. Type 0x701.
class CSMAircDAS : public CSMBase {
public:
    CSMAircDAS();
};
