#include "io/SMCardK.h"

#include <stdio.h>

CSMCardK::CSMCardK() : CSMBase(0xD01)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-CARD_K");
}
