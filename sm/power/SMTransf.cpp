#include "power/SMTransf.h"

#include <stdio.h>

CSMTransf::CSMTransf() : CSMBase(0x103)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Transf");
}
