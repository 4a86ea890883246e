#include "power/SMElec.h"

#include <stdio.h>

CSMElec::CSMElec() : CSMBase(0x100)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-ELEC");
}
