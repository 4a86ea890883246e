#include "power/SMPowSCADA.h"

#include <stdio.h>

CSMPowSCADA::CSMPowSCADA() : CSMBase(0x104)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-PowSCADA");
}
