#include "aircon/SMCyberJADC0110.h"

#include <stdio.h>

CSMCyberJADC0110::CSMCyberJADC0110() : CSMBase(0x81C)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-JADC0110");
}
