#include "ups/SMSnmpUpsWebpow.h"

#include <stdio.h>

CSMSnmpUpsWebpow::CSMSnmpUpsWebpow() : CSMUpsBase(0x32C)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-WEBPOW");
}
