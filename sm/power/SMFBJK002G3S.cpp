#include "power/SMFBJK002G3S.h"

#include <stdio.h>

CSMFBJK002G3S::CSMFBJK002G3S() : CSMBase(0x105)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-FBJK002G3S");
}
