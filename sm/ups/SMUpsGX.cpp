#include "ups/SMUpsGX.h"

#include <stdio.h>

CSMUpsGX::CSMUpsGX() : CSMBase(0x30C)
{
    snprintf(m_note, sizeof(m_note), "%s", "UPS-GX");
}
