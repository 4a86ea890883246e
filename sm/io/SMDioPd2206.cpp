#include "io/SMDioPd2206.h"

#include <stdio.h>

CSMDioPd2206::CSMDioPd2206() : CSMDioBase(0x903)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-PD220-6");
}
