#include "ups/SMUpsIII.h"

#include <stdio.h>

CSMUpsIII::CSMUpsIII() : CSMBase(0x309)
{
    snprintf(m_note, sizeof(m_note), "%s", "UPS-III");
}
