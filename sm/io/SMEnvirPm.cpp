#include "io/SMEnvirPm.h"

#include <stdio.h>

CSMEnvirPm::CSMEnvirPm() : CSMBase(0x502)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-PM485");
}
