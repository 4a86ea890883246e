#include "aircon/SMCanatal.h"

#include <stdio.h>

CSMCanatal::CSMCanatal() : CSMBase(0x807)
{
    snprintf(m_note, sizeof(m_note), "%s", "AIRC-CANATAL");
}
