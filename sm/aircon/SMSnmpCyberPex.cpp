#include "aircon/SMSnmpCyberPex.h"

#include <stdio.h>

CSMSnmpCyberPex::CSMSnmpCyberPex() : CSMBase(0x831)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-CYBER-PEX");
}
