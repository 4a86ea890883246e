#include "io/SMNetPing.h"

CSMNetPing::CSMNetPing() : CSMBase(0xD07)
{
    // Keeps the base model text.
}
