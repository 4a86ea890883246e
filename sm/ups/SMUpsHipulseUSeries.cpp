#include "ups/SMUpsHipulseUSeries.h"

#include <stdio.h>

CSMUpsHipulseUSeries::CSMUpsHipulseUSeries() : CSMUpsBase(0x31A)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-Hipulse-U Series");
}
