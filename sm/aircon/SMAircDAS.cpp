#include "aircon/SMAircDAS.h"

#include <stdio.h>

CSMAircDAS::CSMAircDAS() : CSMBase(0x701)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AIRCDAS");
}
