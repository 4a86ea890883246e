#include "aircon/SMCyberHiross.h"

#include <stdio.h>

CSMCyberHiross::CSMCyberHiross() : CSMBase(0x80D)
{
    snprintf(m_note, sizeof(m_note), "%s", "SMCyberHiross");
}
