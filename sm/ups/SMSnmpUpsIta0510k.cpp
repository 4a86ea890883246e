#include "ups/SMSnmpUpsIta0510k.h"

#include <stdio.h>

CSMSnmpUpsIta0510k::CSMSnmpUpsIta0510k() : CSMBase(0x31E)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-ITA0510K");
}
