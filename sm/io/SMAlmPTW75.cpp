#include "io/SMAlmPTW75.h"

#include <stdio.h>

CSMAlmPTW75::CSMAlmPTW75() : CSMBase(0xA09)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-ALM-PTW75");
}
