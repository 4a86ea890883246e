#include "io/SMLeak.h"

#include <stdio.h>

CSMLeak::CSMLeak() : CSMBase(0x600)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-LEAK");
}
