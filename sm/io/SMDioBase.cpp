#include "io/SMDioBase.h"

CSMDioBase::CSMDioBase(int type) : CSMBase(type)
{
}
