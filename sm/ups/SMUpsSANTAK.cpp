#include "ups/SMUpsSANTAK.h"

#include <stdio.h>

CSMUpsSANTAK::CSMUpsSANTAK() : CSMBase(0x304)
{
    snprintf(m_note, sizeof(m_note), "%s", "RE-RIRA");
}
