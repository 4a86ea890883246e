#include "ups/SMUpsApcMegGalaxy5000.h"

#include <stdio.h>

CSMUpsApcMegGalaxy5000::CSMUpsApcMegGalaxy5000() : CSMUpsBase(0x318)
{
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-KSTAR-Modbus");
}
