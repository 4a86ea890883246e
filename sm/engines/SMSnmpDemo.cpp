#include "engines/SMSnmpDemo.h"

CSMSnmpDemo::CSMSnmpDemo() : CSMBase(0xF00)
{
    // Keeps the base model text.
}
