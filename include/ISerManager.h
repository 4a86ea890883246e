#pragma once
class ISerBase;

// Channel manager interface: one slot. No virtual destructor; the host calls FreeSerManager.
class ISerManager {
public:
    virtual ISerBase* GetSer(const char* definition, int type) = 0;       // 0
};
