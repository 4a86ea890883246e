#include "aircon/SMTEMaster.h"

#include <stdio.h>

CSMTEMaster::CSMTEMaster() : CSMBase(0x80C)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-TEMaster");
}
