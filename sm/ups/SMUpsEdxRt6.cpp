#include "ups/SMUpsEdxRt6.h"

#include <stdio.h>

CSMUpsEdxRt6::CSMUpsEdxRt6() : CSMBase(0x308)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPSEDXRT6");
}
