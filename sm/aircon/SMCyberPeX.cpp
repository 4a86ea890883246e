#include "aircon/SMCyberPeX.h"

#include <stdio.h>

CSMCyberPeX::CSMCyberPeX() : CSMBase(0x808)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AIRC_PeX");
}
