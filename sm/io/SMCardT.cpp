#include "io/SMCardT.h"

CSMCardT::CSMCardT() : CSMBase(0xD02)
{
    // Keeps the base model text.
}
