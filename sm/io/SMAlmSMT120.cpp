#include "io/SMAlmSMT120.h"

#include <stdio.h>

CSMAlmSMT120::CSMAlmSMT120() : CSMBase(0xA08)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALM SMT-120");
}
