#include "aircon/SMCyberStation.h"

#include <stdio.h>

CSMCyberStation::CSMCyberStation() : CSMBase(0x80B)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AIRCStation");
}
