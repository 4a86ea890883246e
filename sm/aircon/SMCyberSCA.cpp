#include "aircon/SMCyberSCA.h"

#include <stdio.h>

CSMCyberSCA::CSMCyberSCA() : CSMBase(0x81B)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-SCA");
}
