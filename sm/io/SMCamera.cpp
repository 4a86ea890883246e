#include "io/SMCamera.h"

#include <stdio.h>

CSMCamera::CSMCamera() : CSMBase(0xC00)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-CAM");
}
