#include "aircon/SMAircMitsubishi.h"

#include <stdio.h>

CSMAircMitsubishi::CSMAircMitsubishi() : CSMBase(0x705)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Airc-Mitsubishi");
}
