#include "power/SMBatt100.h"

#include <stdio.h>

CSMBatt100::CSMBatt100() : CSMBase(0x402)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-BAT100");
}
