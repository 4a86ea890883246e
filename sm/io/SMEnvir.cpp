#include "io/SMEnvir.h"

#include <stdio.h>

CSMEnvir::CSMEnvir() : CSMBase(0x500)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-TH485");
}
