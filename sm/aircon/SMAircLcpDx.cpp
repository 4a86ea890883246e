#include "aircon/SMAircLcpDx.h"

#include <stdio.h>

CSMAircLcpDx::CSMAircLcpDx() : CSMBase(0x702)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-LCP-DX");
}
