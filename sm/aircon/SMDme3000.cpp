#include "aircon/SMDme3000.h"

#include <stdio.h>

CSMDme3000::CSMDme3000() : CSMBase(0x809)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-DME3000");
}
