#include "power/SMBattBod800.h"

#include <stdio.h>

CSMBattBod800::CSMBattBod800() : CSMBase(0x404)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-BOD-800");
}
