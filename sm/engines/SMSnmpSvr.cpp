#include "engines/SMSnmpSvr.h"

#include <stdio.h>

CSMSnmpSvr::CSMSnmpSvr() : CSMBase(0xE10)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-SVRWIN");
}
