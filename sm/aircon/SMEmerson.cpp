#include "aircon/SMEmerson.h"

#include <stdio.h>

CSMEmerson::CSMEmerson() : CSMBase(0x801)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-EMERSON");
}
