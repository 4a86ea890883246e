#include "io/SMDioAd5Da5Ivc.h"

#include <stdio.h>

CSMDioAd5Da5Ivc::CSMDioAd5Da5Ivc() : CSMDioBase(0x90A)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-AD5DA5-IVC");
}
