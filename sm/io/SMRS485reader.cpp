#include "io/SMRS485reader.h"

#include <stdio.h>

CSMRS485reader::CSMRS485reader() : CSMBase(0xD05)
{
    snprintf(m_note, sizeof(m_note), "%s", "RS485reader");
}
