#include "io/SMDioMlan7vxpxj.h"

#include <stdio.h>

CSMDioMlan7vxpxj::CSMDioMlan7vxpxj() : CSMBase(0x909)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-MLAN-7VXPXJ");
}
