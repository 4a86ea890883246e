#include "aircon/SMCyberSunrise.h"

#include <stdio.h>

CSMCyberSunrise::CSMCyberSunrise() : CSMBase(0x810)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-Sunrise");
}
