#include "aircon/SMLineGI.h"

#include <stdio.h>

CSMLineGI::CSMLineGI() : CSMBase(0x806)
{
    snprintf(m_note, sizeof(m_note), "%s", "AIRC-LINE-GI");
}
