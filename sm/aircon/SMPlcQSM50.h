#pragma once
#include "core/SMBase.h"

// QSM50 PLC precision air-conditioner: the default handler of its category. Type 0x804.
class CSMPlcQSM50 : public CSMBase {
public:
    CSMPlcQSM50();
};
