#include "ups/SMUpsITrustAdapt.h"

#include <stdio.h>

CSMUpsITrustAdapt::CSMUpsITrustAdapt() : CSMBase(0x311)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-ITrustAdapt");
}
