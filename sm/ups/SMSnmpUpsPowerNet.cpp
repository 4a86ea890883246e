#include "ups/SMSnmpUpsPowerNet.h"

#include <stdio.h>

CSMSnmpUpsPowerNet::CSMSnmpUpsPowerNet() : CSMBase(0x31B)
{
    snprintf(m_note, sizeof(m_note), "%s", "RE-RIRA");
}
