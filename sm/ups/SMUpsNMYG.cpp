#include "ups/SMUpsNMYG.h"

#include <stdio.h>

CSMUpsNMYG::CSMUpsNMYG() : CSMBase(0x30E)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-NMYG");
}
