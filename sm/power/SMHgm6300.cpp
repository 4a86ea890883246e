#include "power/SMHgm6300.h"

#include <stdio.h>

CSMHgm6300::CSMHgm6300() : CSMBase(0x107)
{
    snprintf(m_note, sizeof(m_note), "%s", "SMHGM6300");
}
