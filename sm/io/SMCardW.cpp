#include "io/SMCardW.h"

#include <stdio.h>

CSMCardW::CSMCardW() : CSMBase(0xD03)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-WEIGENG");
}
