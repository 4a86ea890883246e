#include "aircon/SMStulzC7000.h"

#include <stdio.h>

CSMStulzC7000::CSMStulzC7000() : CSMBase(0x802)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-STULZ-C7000");
}
