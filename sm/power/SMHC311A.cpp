#include "power/SMHC311A.h"

#include <stdio.h>

CSMHC311A::CSMHC311A() : CSMBase(0x106)
{
    snprintf(m_note, sizeof(m_note), "%s", "HC-311A");
}
