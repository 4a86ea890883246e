#include "power/SMBattRTVS.h"

#include <stdio.h>

CSMBattRTVS::CSMBattRTVS() : CSMBase(0x403)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-BATTRTVS");
}
