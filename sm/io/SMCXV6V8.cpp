#include "io/SMCXV6V8.h"

#include <stdio.h>

CSMCXV6V8::CSMCXV6V8() : CSMBase(0xD04)
{
    snprintf(m_note, sizeof(m_note), "%s", "CX-V6-V8");
}
