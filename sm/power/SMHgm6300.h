#pragma once
#include "core/SMBase.h"

// HGM6300 generator set controller. Type 0x107.
class CSMHgm6300 : public CSMBase {
public:
    CSMHgm6300();
};
