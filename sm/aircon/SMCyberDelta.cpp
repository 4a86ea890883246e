#include "aircon/SMCyberDelta.h"

#include <stdio.h>

CSMCyberDelta::CSMCyberDelta() : CSMBase(0x81E)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-Cyber-JADC0110");
}
