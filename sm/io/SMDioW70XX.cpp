#include "io/SMDioW70XX.h"

#include <stdio.h>

CSMDioW70XX::CSMDioW70XX() : CSMDioBase(0x904)
{
    snprintf(m_note, sizeof(m_note), "%s", "W70XX");
}
