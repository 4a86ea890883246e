#include "aircon/SMCyberK200.h"

#include <stdio.h>

CSMCyberK200::CSMCyberK200() : CSMBase(0x812)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AIRCK200");
}
