#include "io/SMDioRd230.h"

#include <stdio.h>

CSMDioRd230::CSMDioRd230() : CSMDioBase(0x906)
{
    snprintf(m_note, sizeof(m_note), "%s", "DI-RD230");
}
