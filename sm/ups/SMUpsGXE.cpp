#include "ups/SMUpsGXE.h"

#include <stdio.h>

CSMUpsGXE::CSMUpsGXE() : CSMBase(0x314)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-GXE");
}
