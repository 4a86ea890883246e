#include "aircon/SMCyberHSTXX.h"

#include <stdio.h>

CSMCyberHSTXX::CSMCyberHSTXX() : CSMBase(0x819)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-HST-XX");
}
