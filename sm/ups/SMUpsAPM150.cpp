#include "ups/SMUpsAPM150.h"

#include <stdio.h>

CSMUpsAPM150::CSMUpsAPM150() : CSMBase(0x30D)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-APM150");
}
