#include "ups/SMSnmpUpsMgG5000.h"

#include <stdio.h>

CSMSnmpUpsMgG5000::CSMSnmpUpsMgG5000() : CSMUpsBase(0x324)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-MG Galaxy5000");
}
