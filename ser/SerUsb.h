#pragma once
#include "SerBase.h"

// USB channel: only the base behaviour. The manager never creates one.
class QX_EXPORT CSerUsb : public CSerBase {
public:
    CSerUsb();
    ~CSerUsb() override;
};
