#include "ups/SMUpsSentry.h"

#include <stdio.h>

CSMUpsSentry::CSMUpsSentry() : CSMBase(0x30A)
{
    snprintf(m_note, sizeof(m_note), "%s", "UPS-SENTRY");
}
