#include "io/SMDGusMonitor.h"

#include <stdio.h>

CSMDGusMonitor::CSMDGusMonitor() : CSMBase(0xB00)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-DGus");
}
