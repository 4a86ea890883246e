#include "power/SMADU1000.h"

#include <stdio.h>

CSMADU1000::CSMADU1000() : CSMBase(0x401)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-BATTADU1000");
}
