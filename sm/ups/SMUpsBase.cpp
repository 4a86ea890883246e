#include "ups/SMUpsBase.h"

#include <stdio.h>

CSMUpsBase::CSMUpsBase(int type) : CSMBase(type)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-Base");
}
