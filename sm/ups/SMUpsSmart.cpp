#include "ups/SMUpsSmart.h"

#include <stdio.h>

CSMUpsSmart::CSMUpsSmart() : CSMBase(0x303)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPSSMART");
}
