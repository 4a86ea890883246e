#include "io/SMCardA.h"

CSMCardA::CSMCardA() : CSMBase(0xD00)
{
    // Keeps the base model text.
}
