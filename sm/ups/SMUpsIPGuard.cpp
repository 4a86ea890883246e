#include "ups/SMUpsIPGuard.h"

#include <stdio.h>

CSMUpsIPGuard::CSMUpsIPGuard() : CSMBase(0x305)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPSIPG");
}
