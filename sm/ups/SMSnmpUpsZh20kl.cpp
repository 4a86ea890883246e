#include "ups/SMSnmpUpsZh20kl.h"

#include <stdio.h>

CSMSnmpUpsZh20kl::CSMSnmpUpsZh20kl() : CSMUpsBase(0x323)
{
    snprintf(m_note, sizeof(m_note), "%s", "QX-UPS-ZH20KL");
}
