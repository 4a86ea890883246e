#include "io/SMAlmDo.h"

#include <stdio.h>

CSMAlmDo::CSMAlmDo() : CSMBase(0xA02)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALMDO6");
}
