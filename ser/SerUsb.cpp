#include "SerUsb.h"

CSerUsb::CSerUsb() : CSerBase(1) {}

CSerUsb::~CSerUsb() {}
