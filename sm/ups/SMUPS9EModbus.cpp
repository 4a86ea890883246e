#include "ups/SMUPS9EModbus.h"

#include <stdio.h>

CSMUPS9EModbus::CSMUPS9EModbus() : CSMBase(0x312)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-9E");
}
