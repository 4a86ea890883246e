#include "ups/SMUpsLink.h"

#include <stdio.h>

CSMUpsLink::CSMUpsLink() : CSMBase(0x30F)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-EAST");
}
