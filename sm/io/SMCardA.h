#pragma once
#include "core/SMBase.h"

// Door controller: the default handler of the door and card codes without a class of their own. Type 0xD00.
class CSMCardA : public CSMBase {
public:
    CSMCardA();
};
