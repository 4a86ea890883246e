#include "ups/SMUpsSymmetra.h"

#include <stdio.h>

CSMUpsSymmetra::CSMUpsSymmetra() : CSMBase(0x307)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-Symmetra");
}
