#include "io/SMDioAd5Da5.h"

#include <stdio.h>

CSMDioAd5Da5::CSMDioAd5Da5() : CSMDioBase(0x905)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AD5DA5");
}
