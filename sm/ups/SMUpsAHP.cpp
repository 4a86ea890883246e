#include "ups/SMUpsAHP.h"

#include <stdio.h>

CSMUpsAHP::CSMUpsAHP() : CSMBase(0x313)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-AHP");
}
