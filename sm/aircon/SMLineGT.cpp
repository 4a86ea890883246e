#include "aircon/SMLineGT.h"

#include <stdio.h>

CSMLineGT::CSMLineGT() : CSMBase(0x805)
{
    snprintf(m_note, sizeof(m_note), "%s", "SMLineGT");
}
