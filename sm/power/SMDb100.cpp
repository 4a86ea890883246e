#include "power/SMDb100.h"

#include <stdio.h>

CSMDb100::CSMDb100() : CSMBase(0x400)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-BATTDB100");
}
