#include "aircon/SMCyberEvoDx.h"

#include <stdio.h>

CSMCyberEvoDx::CSMCyberEvoDx() : CSMBase(0x80E)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-EVO-CyberMate-DX");
}
