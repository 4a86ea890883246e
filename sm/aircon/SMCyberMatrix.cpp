#include "aircon/SMCyberMatrix.h"

#include <stdio.h>

CSMCyberMatrix::CSMCyberMatrix() : CSMBase(0x80A)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-CyberMatrix");
}
