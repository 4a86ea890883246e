#include "ups/SMUpsHTxx.h"

#include <stdio.h>

CSMUpsHTxx::CSMUpsHTxx() : CSMUpsBase(0x315)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-HTxx-RMX");
}
