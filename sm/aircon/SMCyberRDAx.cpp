#include "aircon/SMCyberRDAx.h"

#include <stdio.h>

CSMCyberRDAx::CSMCyberRDAx() : CSMBase(0x80F)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-RDAxxx");
}
