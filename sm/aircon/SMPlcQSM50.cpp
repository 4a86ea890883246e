#include "aircon/SMPlcQSM50.h"

#include <stdio.h>

CSMPlcQSM50::CSMPlcQSM50() : CSMBase(0x804)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-PLC-QSM50-004");
}
