#pragma once
class ISMBase;

// The factory table of device type codes: a new handler object for the code, or null when
// no class serves it (or an engine has no definition file for it). The manager registers it.
ISMBase* SMFactoryNew(int code);

// Engine factories of the generic protocol engines (category ranges 0x1000..0x17FF).
ISMBase* NewSnmpHandler(int code);
ISMBase* NewModbusHandler(int code);
ISMBase* NewYdt1363Handler(int code);
ISMBase* NewNormalHandler(int code);
