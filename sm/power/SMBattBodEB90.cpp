#include "power/SMBattBodEB90.h"

#include <stdio.h>

CSMBattBodEB90::CSMBattBodEB90() : CSMBase(0x405)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-BOD-EB90");
}
