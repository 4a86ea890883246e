#include "io/SMAlm3000.h"

#include <stdio.h>

CSMAlm3000::CSMAlm3000() : CSMBase(0xA00)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX3000");
}
