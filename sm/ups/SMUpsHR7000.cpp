#include "ups/SMUpsHR7000.h"

#include <stdio.h>

CSMUpsHR7000::CSMUpsHR7000() : CSMBase(0x30B)
{
    snprintf(m_note, sizeof(m_note), "%s", "UPS-HR7000");
}
