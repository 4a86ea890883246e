#include "ups/SMSnmpUpsPowerNet3.h"

#include <stdio.h>

CSMSnmpUpsPowerNet3::CSMSnmpUpsPowerNet3() : CSMUpsBase(0x328)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-POWERNET3");
}
