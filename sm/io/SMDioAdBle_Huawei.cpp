#include "io/SMDioAdBle_Huawei.h"

#include <stdio.h>

CSMDioAdBle_Huawei::CSMDioAdBle_Huawei() : CSMDioBase(0x90C)
{
    snprintf(m_note, sizeof(m_note), "%s", "AdBle_Huawei");
}
