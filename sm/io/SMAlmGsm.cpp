#include "io/SMAlmGsm.h"

#include <stdio.h>

CSMAlmGsm::CSMAlmGsm() : CSMBase(0xA01)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALM PT");
}
