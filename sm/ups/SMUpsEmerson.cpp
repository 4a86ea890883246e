#include "ups/SMUpsEmerson.h"

#include <stdio.h>

CSMUpsEmerson::CSMUpsEmerson() : CSMUpsBase(0x301)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-EMERSON");
}
