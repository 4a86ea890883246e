#include "aircon/SMCyberHaiRuiFu.h"

#include <stdio.h>

CSMCyberHaiRuiFu::CSMCyberHaiRuiFu() : CSMBase(0x815)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-Hairf");
}
