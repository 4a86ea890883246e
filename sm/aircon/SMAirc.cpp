#include "aircon/SMAirc.h"

#include <stdio.h>

CSMAirc::CSMAirc() : CSMBase(0x700)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AIRC");
}
