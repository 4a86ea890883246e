#include "io/SMDio.h"

#include <stdio.h>

CSMDio::CSMDio() : CSMDioBase(0x900)
{
    snprintf(m_note, sizeof(m_note), "%s", "DI-2416");
}
