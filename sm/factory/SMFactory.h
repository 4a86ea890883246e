#pragma once
class ISMBase;

// The factory table of device type codes: a new handler object for the code, or null when
// no class serves it (or an engine has no definition file for it). It names every handler
// class, so it lies above the handler families; the manager creates its handlers with it
// (CSMManager::m_pFactory).
ISMBase* SMFactoryNew(int code);
