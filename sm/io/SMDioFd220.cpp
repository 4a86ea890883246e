#include "io/SMDioFd220.h"

#include <stdio.h>

CSMDioFd220::CSMDioFd220() : CSMDioBase(0x902)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-FD220");
}
