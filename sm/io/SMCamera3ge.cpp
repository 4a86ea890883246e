#include "io/SMCamera3ge.h"

#include <stdio.h>

SMCamera3ge::SMCamera3ge() : CSMBase(0xC01)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-CAM_3GE");
}
