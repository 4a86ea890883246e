#include "ups/SMSnmpUpsIta1620k.h"

#include <stdio.h>

CSMSnmpUpsIta1620k::CSMSnmpUpsIta1620k() : CSMUpsBase(0x327)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-ita 1620k");
}
