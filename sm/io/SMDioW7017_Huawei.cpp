#include "io/SMDioW7017_Huawei.h"

#include <stdio.h>

CSMDioW7017_Huawei::CSMDioW7017_Huawei() : CSMDioBase(0x90B)
{
    snprintf(m_note, sizeof(m_note), "%s", "W7017_Huawei");
}
