#include "io/SMOnOff.h"

#include <stdio.h>

CSMOnOff::CSMOnOff() : CSMBase(0x200)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-PD220-6");
}
