// Engine factories of the engines not built into this library yet: no handler for any code,
// so the manager reports the code as unserved. Each engine's own source unit replaces its
// function here when it defines it.
#include "core/SMFactory.h"

ISMBase* NewYdt1363Handler(int)
{
    return nullptr;
}
