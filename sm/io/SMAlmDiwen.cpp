#include "io/SMAlmDiwen.h"

#include <stdio.h>

CSMAlmDiwen::CSMAlmDiwen() : CSMBase(0xB01)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Diwen");
}
