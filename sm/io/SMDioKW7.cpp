#include "io/SMDioKW7.h"

#include <stdio.h>

CSMDioKW7::CSMDioKW7() : CSMDioBase(0x907)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-KW7");
}
